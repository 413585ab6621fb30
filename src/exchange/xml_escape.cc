// Escaping and unescaping of item texts, and the number readers of the XML collection format.
#include "exchange/xml_escape.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

#include "store/utf16_text.h"

namespace kelvora::exchange {

namespace {

using store::isAsciiDigit;
using store::isWhiteSpace;

struct NamedEntity {
  std::u16string_view name;  // without the character that follows it
  char16_t unit;
};

constexpr std::array<NamedEntity, 3> kNamedEntities = {{
    {u"&lt", u'<'},
    {u"&gt", u'>'},
    {u"&amp", u'&'},
}};

// Adds a decimal digit to a count kept at most at kCap, which is all the caller needs to know
// of exponents and digit runs far beyond what a double can show.
constexpr long long kCap = 1'000'000'000;
long long addCapped(long long count, long long step) {
  const long long sum = count + step;
  return sum > kCap ? kCap : (sum < -kCap ? -kCap : sum);
}

}  // namespace

std::u16string escapeXmlText(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 4);
  std::array<char16_t, kMaxEscapedUnit> piece{};
  for (const char16_t unit : text) {
    const std::size_t length = escapeXmlUnit(unit, piece);
    out.append(piece.data(), length);
  }
  return out;
}

std::u16string unescapeXmlText(std::u16string_view text) {
  std::u16string out;
  unescapeXmlText(text, out);
  return out;
}

void unescapeXmlText(std::u16string_view text, std::u16string& out) {
  out.clear();
  // Where the next ";" stands, looked for again only once passed, so a text full of "&#" and
  // short of ";" is still read in one pass.
  std::size_t semicolon = 0;
  bool semicolonKnown = false;
  std::size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if (c != u'&') {
      // Everything up to the next "&" is copied as it stands.
      const std::size_t amp = i + store::findUnit(text.substr(i), u'&');
      out.append(text.substr(i, amp - i));
      i = amp;
      continue;
    }
    const std::u16string_view rest = text.substr(i);
    if (rest.starts_with(u"&#")) {
      if (!semicolonKnown || (semicolon != std::u16string_view::npos && semicolon < i + 2)) {
        semicolon = text.find(u';', i + 2);
        semicolonKnown = true;
      }
      if (semicolon != std::u16string_view::npos) {
        const auto value =
            static_cast<std::uint64_t>(readXmlInteger(text.substr(i + 2, semicolon - (i + 2))));
        const auto unit = static_cast<char16_t>(value & 0xFFFF);
        if (unit == 0) return;
        out.push_back(unit);
        i = semicolon + 1;
        continue;
      }
    }
    bool named = false;
    for (const NamedEntity& entity : kNamedEntities) {
      if (rest.starts_with(entity.name)) {
        out.push_back(entity.unit);
        i += entity.name.size() + 1;
        named = true;
        break;
      }
    }
    if (!named) {
      out.push_back(c);
      ++i;
    }
  }
}

namespace {

// Where a number's digits start: after leading white space and an optional sign.
std::size_t skipSpaceAndSign(std::u16string_view text, bool& negative) {
  std::size_t i = 0;
  while (i < text.size() && isWhiteSpace(text[i])) ++i;
  negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  return i;
}

// A decimal without exponent of at most 15 digits, 22 of them at most after the point, is
// M / 10^k with both M and 10^k exact doubles: one correctly rounded division gives the
// nearest double, as from_chars does, without its cost. Anything else is left to from_chars.
std::optional<double> exactDecimal(std::u16string_view digits) {
  constexpr std::size_t kMostDigits = 15;  // below 2^53
  constexpr std::array<double, 23> kPowers = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  std::uint64_t mantissa = 0;
  std::size_t count = 0;
  std::size_t after = 0;
  bool point = false;
  for (const char16_t c : digits) {
    if (c == u'.' && !point) {
      point = true;
      continue;
    }
    if (!isAsciiDigit(c) || ++count > kMostDigits) return std::nullopt;
    mantissa = mantissa * 10 + (c - u'0');
    if (point) ++after;
  }
  if (count == 0 || after >= kPowers.size()) return std::nullopt;
  return static_cast<double>(mantissa) / kPowers[after];
}

}  // namespace

std::int64_t readXmlInteger(std::u16string_view text) {
  bool negative = false;
  std::size_t i = skipSpaceAndSign(text, negative);
  std::uint64_t value = 0;  // unsigned arithmetic wraps modulo 2^64 by definition
  for (; i < text.size() && isAsciiDigit(text[i]); ++i) value = value * 10 + (text[i] - u'0');
  if (negative) value = 0 - value;
  return static_cast<std::int64_t>(value);
}

double readXmlReal(std::u16string_view text) {
  bool negative = false;
  std::size_t i = skipSpaceAndSign(text, negative);
  const std::size_t begin = i;
  // The decimal exponent of the leading significant digit, to tell an overflow from an
  // underflow when the value is out of a double's range.
  long long magnitude = 0;
  bool significant = false;
  std::size_t digits = 0;
  for (; i < text.size() && isAsciiDigit(text[i]); ++i, ++digits) {
    if (text[i] != u'0') significant = true;
    if (significant) magnitude = addCapped(magnitude, 1);
  }
  if (i < text.size() && text[i] == u'.') {
    ++i;
    for (; i < text.size() && isAsciiDigit(text[i]); ++i, ++digits) {
      if (!significant && text[i] != u'0') significant = true;
      if (!significant) magnitude = addCapped(magnitude, -1);
    }
  }
  if (digits == 0) return 0.0;
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    std::size_t j = i + 1;
    bool negativeExponent = false;
    if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) {
      negativeExponent = text[j] == u'-';
      ++j;
    }
    if (j < text.size() && isAsciiDigit(text[j])) {
      long long exponent = 0;
      for (; j < text.size() && isAsciiDigit(text[j]); ++j) {
        exponent = addCapped(exponent * 10 > kCap ? kCap : exponent * 10, text[j] - u'0');
      }
      magnitude = addCapped(magnitude, negativeExponent ? -exponent : exponent);
      i = j;
    }
  }
  if (const std::optional<double> exact = exactDecimal(text.substr(begin, i - begin))) {
    return negative ? -*exact : *exact;
  }
  std::string ascii;
  ascii.reserve(i - begin);
  for (std::size_t k = begin; k < i; ++k) ascii.push_back(static_cast<char>(text[k]));
  double value = 0.0;
  const auto [end, error] =
      std::from_chars(ascii.data(), ascii.data() + ascii.size(), value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    value = significant && magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc{}) {
    value = 0.0;
  }
  return negative ? -value : value;
}

}  // namespace kelvora::exchange
