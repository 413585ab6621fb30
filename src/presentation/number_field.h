// Reading and filling the digits-only number fields of the dialogs (the Go to item number and
// the font size), which the user may also paste any text into.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvora::presentation {

// The field's text as an unsigned decimal number. Spaces around the digits are ignored; an
// empty field, a sign or any other character makes it "no number" and reads as 0. A number
// above INT32_MAX reads as INT32_MAX, so that it stays positive and means "as far as it goes".
std::int32_t readNumberField(std::u16string_view text);

// The text a field shows for a number, in unsigned decimal.
std::u16string numberFieldText(std::uint32_t number);

}  // namespace kelvora::presentation
