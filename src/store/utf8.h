// Conversion between the UTF-8 bytes of our text files and the UTF-16 text held in memory.
// Decoding never fails: bytes that do not form valid UTF-8 are read one by one as
// Windows-1252, so files written by older tools in that code page still read sensibly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace kelvora::store {

// The UTF-8 encoding of U+FEFF that may open a text file.
inline constexpr std::uint8_t kUtf8ByteOrderMark[3] = {0xEF, 0xBB, 0xBF};

// Longest UTF-8 sequence in bytes; an incremental decoder that holds at least this many bytes
// (or all that remain) can always decode the next character.
inline constexpr std::size_t kMaxUtf8SequenceLength = 4;

struct DecodedChar {
  char32_t codePoint;
  std::size_t length;  // bytes taken, 1..4
};

// The Unicode character a single Windows-1252 byte stands for. The five bytes that code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value.
char32_t windows1252ToUnicode(std::uint8_t byte);

// Decodes the character that starts at bytes[0]; bytes must not be empty. A valid sequence
// (shortest form, no surrogate, at most U+10FFFF) lying wholly within bytes gives its code
// point; anything else gives the first byte alone, read as Windows-1252. A sequence cut off by
// the end of bytes therefore counts as invalid: incremental callers pass at least
// kMaxUtf8SequenceLength bytes unless the input really ends sooner.
DecodedChar decodeUtf8Char(std::span<const std::uint8_t> bytes);

// Appends a code point (at most U+10FFFF) as one UTF-16 unit or a surrogate pair.
inline void appendUtf16(std::u16string& out, char32_t codePoint) {
  if (codePoint < 0x10000) {
    out.push_back(static_cast<char16_t>(codePoint));
  } else {
    codePoint -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
  }
}

// Appends a code point (at most U+10FFFF) as UTF-8.
void appendUtf8(std::string& out, char32_t codePoint);

std::u16string decodeTextBytes(std::string_view bytes);
// A path as the user reads it in a message: its bytes decoded as above.
std::u16string pathText(const std::filesystem::path& path);

// UTF-16 to UTF-8; a surrogate without its partner becomes U+FFFD.
std::string encodeUtf8(std::u16string_view text);

inline bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

inline char32_t combineSurrogates(char16_t high, char16_t low) {
  return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (low - 0xDC00);
}

}  // namespace kelvora::store
