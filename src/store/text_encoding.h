// The two stored forms of an item text. "Unicode": two bytes per UTF-16 code unit, low byte
// first. "Compressed Unicode": a unit below 0x80 as one byte with its top bit set, any other
// unit as two bytes, (unit >> 8) & 0x7F then unit & 0xFF. No terminator is stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "store/byte_io.h"

namespace kelvora::store {

enum class TextEncoding { CompressedUnicode, Unicode };

// The collection's UTF8 setting: 0 selects Compressed Unicode, any other value Unicode.
constexpr TextEncoding encodingForFlag(std::uint8_t utf8) {
  return utf8 == 0 ? TextEncoding::CompressedUnicode : TextEncoding::Unicode;
}

// What encoding had to give up, so that callers can tell the user.
struct EncodeReport {
  // Code units from 0x8000 up, which Compressed Unicode cannot hold; each was stored as "?".
  std::size_t replacedUnits = 0;
  // The stored form would have passed kMaxStoredLength bytes and was cut after the last
  // whole code unit that fits.
  bool truncated = false;
};

// Appends the stored form of text (up to, not including, its first NUL) to out and returns its
// length in bytes, at most kMaxStoredLength, so that every record written reads back as written.
// The report, when given, accumulates over calls.
std::uint16_t encodeText(Bytes& out, std::u16string_view text, TextEncoding encoding,
                         EncodeReport* report = nullptr);

// The same for a text of ASCII bytes, each the code unit it is: the stored form is the one
// encodeText gives for those units, taken straight from the bytes.
std::uint16_t encodeAsciiText(Bytes& out, std::string_view text, TextEncoding encoding,
                              EncodeReport* report = nullptr);

// Both written at to, which has room for the longest stored form (twice the text's length in
// bytes, at most kMaxStoredLength), instead of appended.
std::uint16_t encodeTextAt(std::uint8_t* to, std::u16string_view text, TextEncoding encoding,
                           EncodeReport* report = nullptr);
std::uint16_t encodeAsciiTextAt(std::uint8_t* to, std::string_view text, TextEncoding encoding,
                                EncodeReport* report = nullptr);

// Decodes length stored bytes from the start of source into dest and returns how many bytes
// were consumed. source may run on beyond length: in the compressed form a pair whose first
// byte is the last of the length bytes takes its second byte from there, and the consumed count
// is then length + 1. Nothing past the end of source is read; a pair cut off there takes 0 as
// its second byte. The text ends at the first NUL unit, as the stored texts are C strings.
std::size_t decodeText(std::u16string& dest, std::span<const std::uint8_t> source,
                       std::size_t length, TextEncoding encoding);

}  // namespace kelvora::store
