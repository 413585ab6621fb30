// UTF-8 decoding with a Windows-1252 fallback for stray bytes, and UTF-8 encoding of UTF-16.
#include "store/utf8.h"

#include "store/utf16_text.h"

namespace kelvora::store {

namespace {

// Windows-1252 for 0x80..0x9F; the rest of the upper half equals Latin-1.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

bool isContinuation(std::uint8_t byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

char32_t windows1252ToUnicode(std::uint8_t byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kWindows1252High[byte - 0x80];
  return byte;
}

DecodedChar decodeUtf8Char(std::span<const std::uint8_t> bytes) {
  const std::uint8_t lead = bytes[0];
  const DecodedChar single{windows1252ToUnicode(lead), 1};
  if (lead < 0x80) return single;

  // The range allowed for the second byte is what rules out overlong forms, surrogates and
  // code points above U+10FFFF.
  std::size_t length;
  std::uint8_t secondLow = 0x80;
  std::uint8_t secondHigh = 0xBF;
  char32_t codePoint;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0F;
    if (lead == 0xE0) secondLow = 0xA0;
    if (lead == 0xED) secondHigh = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07;
    if (lead == 0xF0) secondLow = 0x90;
    if (lead == 0xF4) secondHigh = 0x8F;
  } else {
    return single;
  }
  if (bytes.size() < length || bytes[1] < secondLow || bytes[1] > secondHigh) return single;
  for (std::size_t i = 1; i < length; ++i) {
    if (!isContinuation(bytes[i])) return single;
    codePoint = (codePoint << 6) | (bytes[i] & 0x3F);
  }
  return {codePoint, length};
}

void appendUtf8(std::string& out, char32_t codePoint) {
  auto put = [&out](unsigned value) { out.push_back(static_cast<char>(value)); };
  if (codePoint < 0x80) {
    put(codePoint);
  } else if (codePoint < 0x800) {
    put(0xC0 | (codePoint >> 6));
    put(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    put(0xE0 | (codePoint >> 12));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  } else {
    put(0xF0 | (codePoint >> 18));
    put(0x80 | ((codePoint >> 12) & 0x3F));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  }
}

std::u16string decodeTextBytes(std::string_view bytes) {
  std::span<const std::uint8_t> rest(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                     bytes.size());
  std::u16string text;
  text.reserve(bytes.size());
  while (!rest.empty()) {
    const DecodedChar decoded = decodeUtf8Char(rest);
    appendUtf16(text, decoded.codePoint);
    rest = rest.subspan(decoded.length);
  }
  return text;
}

std::string encodeUtf8(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit < 0x80) {
      bytes.push_back(static_cast<char>(unit));  // most text: one byte, nothing to work out
    } else if (isHighSurrogate(unit) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      appendUtf8(bytes, combineSurrogates(unit, text[i + 1]));
      ++i;
    } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
      appendUtf8(bytes, kReplacementCharacter);
    } else {
      appendUtf8(bytes, unit);
    }
  }
  return bytes;
}

std::u16string pathText(const std::filesystem::path& path) {
  return decodeTextBytes(path.string());
}

}  // namespace kelvora::store
