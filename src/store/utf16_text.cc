// Decimal text and pair-safe cutting of UTF-16 text.
#include "store/utf16_text.h"

#include <array>
#include <charconv>

#include "store/utf8.h"

namespace kelvora::store {

std::u16string decimalText(std::int64_t value, std::size_t width) {
  std::array<char, 24> digits{};
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  char* first = digits.data();
  std::u16string text;
  if (value < 0) text.push_back(*first++);
  const auto length = static_cast<std::size_t>(result.ptr - digits.data());
  if (length < width) text.append(width - length, u'0');
  text.append(first, result.ptr);
  return text;
}

std::size_t lengthWithinUnits(std::u16string_view text, std::size_t maxUnits) {
  if (text.size() <= maxUnits) return text.size();
  if (maxUnits > 0 && isHighSurrogate(text[maxUnits - 1])) return maxUnits - 1;
  return maxUnits;
}

std::u16string cutWithinUnits(std::u16string text, std::size_t maxUnits) {
  text.resize(lengthWithinUnits(text, maxUnits));
  return text;
}

}  // namespace kelvora::store
