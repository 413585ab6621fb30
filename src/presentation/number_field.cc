// Reading and filling the digits-only number fields of the dialogs.
#include "presentation/number_field.h"

#include <algorithm>
#include <limits>

#include "store/utf16_text.h"

namespace kelvora::presentation {

std::int32_t readNumberField(std::u16string_view text) {
  const std::size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) return 0;
  text = text.substr(first, text.find_last_not_of(u' ') - first + 1);
  constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
  std::int64_t value = 0;
  for (char16_t c : text) {
    if (!store::isAsciiDigit(c)) return 0;
    value = std::min(value * 10 + (c - u'0'), kLargest + 1);
  }
  return static_cast<std::int32_t>(std::min(value, kLargest));
}

std::u16string numberFieldText(std::uint32_t number) { return store::decimalText(number); }

}  // namespace kelvora::presentation
