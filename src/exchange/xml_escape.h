// The character and number forms of the XML collection format: how item texts are escaped into
// plain ASCII and read back, and how the reader takes numbers out of element texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kelvora::exchange {

// Longest escaped form of one code unit: "&#65535;".
inline constexpr std::size_t kMaxEscapedUnit = 8;

// Writes the escaped form of one code unit into out and returns its length: a unit above 127
// becomes "&#" + its decimal value + ";" (so a character outside the basic plane becomes two
// references), "<", ">" and "&" become "&lt;", "&gt;" and "&amp;", and every other unit (CR, LF,
// tab and quotes included) stays as it is.
inline std::size_t escapeXmlUnit(char16_t unit, std::span<char16_t, kMaxEscapedUnit> out) {
  auto named = [&out](std::u16string_view entity) {
    for (std::size_t i = 0; i < entity.size(); ++i) out[i] = entity[i];
    return entity.size();
  };
  if (unit < 0x80) {
    if (unit == u'<') return named(u"&lt;");
    if (unit == u'>') return named(u"&gt;");
    if (unit == u'&') return named(u"&amp;");
    out[0] = unit;
    return 1;
  }
  char16_t digits[5] = {};
  std::size_t count = 0;
  for (unsigned value = unit; value != 0; value /= 10) {
    digits[count++] = static_cast<char16_t>(u'0' + value % 10);
  }
  std::size_t length = 0;
  out[length++] = u'&';
  out[length++] = u'#';
  while (count > 0) out[length++] = digits[--count];
  out[length++] = u';';
  return length;
}

// The text as the writer puts it between the Question or Answer tags: up to kMaxEscapedUnit
// times as long as the text.
std::u16string escapeXmlText(std::u16string_view text);

// Reads an element text back into an item text, from left to right:
// - "&#" up to the first later ";" becomes one code unit, the low 16 bits of readXmlInteger of
//   what stands between them; a unit of 0 (a reference that is not decimal, such as "&#x42;")
//   ends the text there. "&#" with no ";" anywhere after it stays as it is.
// - "&lt", "&gt" and "&amp" and the one character after them (normally ";", not examined)
//   become "<", ">" and "&"; at the very end of the text, with no character after them, they
//   still do.
// - Every other character, "&" included, is copied; no other named entity is known.
std::u16string unescapeXmlText(std::u16string_view text);
// The same into out, which keeps its storage from call to call.
void unescapeXmlText(std::u16string_view text, std::u16string& out);

// A decimal number in the reader's way: leading white space (space, tab, LF, VT, FF, CR) is
// skipped, then an optional sign and the digits up to the first other character are taken; no
// digits give 0. The value is kept modulo 2^64 as two's complement, so any run of digits is read
// without overflow and the low bits the fields keep are exact; texts of up to 18 digits read as
// their exact value.
std::int64_t readXmlInteger(std::u16string_view text);

// A decimal floating-point number in the reader's way, independent of any locale: leading white
// space, an optional sign, digits with an optional fraction after ".", and an optional exponent
// ("e" or "E", optional sign, at least one digit); reading stops at the first character that
// does not fit, and nothing readable gives 0.0. The value is the nearest double; one too large
// for a double is an infinity, one too small a zero, each with its sign.
double readXmlReal(std::u16string_view text);

}  // namespace kelvora::exchange
