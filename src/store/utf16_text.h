// Small rules on UTF-16 text shared by every subsystem: decimal numbers as text, cutting a text
// to a length without parting a surrogate pair, the ASCII character classes the readers use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvora::store {

// What a surrogate without its partner becomes when a text is written as UTF-8.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// '0'..'9' only; other Unicode digits are not numbers in any of our files.
constexpr bool isAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The white space a formatted read skips: blank, tab, line feed, vertical tab, form feed and
// carriage return.
constexpr bool isWhiteSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// The decimal digits of value, a minus sign first when it is negative ("-12", "0", "30000"),
// zero-padded to at least width units as "%0*d" pads (the sign counts in the width: "-05").
std::u16string decimalText(std::int64_t value, std::size_t width = 0);

// How many leading code units of text to keep so that at most maxUnits remain: all of them when
// the text fits, else maxUnits, or one unit fewer when the cut would leave the first half of a
// surrogate pair as the last unit.
std::size_t lengthWithinUnits(std::u16string_view text, std::size_t maxUnits);

// text cut to lengthWithinUnits(text, maxUnits).
std::u16string cutWithinUnits(std::u16string text, std::size_t maxUnits);

}  // namespace kelvora::store
