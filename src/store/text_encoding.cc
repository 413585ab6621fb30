// Encoding and decoding of the stored text forms, bounded on both sides.
#include "store/text_encoding.h"

#include <algorithm>
#include <cstring>

#include "store/collection_format.h"
#include "store/utf16_text.h"

namespace kelvora::store {

namespace {

// Room for the longest form first, two bytes a unit, then written through a pointer.
template <typename Text, typename Encode>
std::uint16_t appendEncoded(Bytes& out, Text text, Encode encode) {
  const std::size_t start = out.size();
  out.resize(start + std::min<std::size_t>(2 * text.size(), kMaxStoredLength));
  const std::uint16_t written = encode(out.data() + start, text);
  out.resize(start + written);
  return written;
}

}  // namespace

std::uint16_t encodeText(Bytes& out, std::u16string_view text, TextEncoding encoding,
                         EncodeReport* report) {
  return appendEncoded(out, text, [&](std::uint8_t* to, std::u16string_view t) {
    return encodeTextAt(to, t, encoding, report);
  });
}

std::uint16_t encodeTextAt(std::uint8_t* to, std::u16string_view text, TextEncoding encoding,
                           EncodeReport* report) {
  const std::size_t end = findUnit(text, u'\0');
  std::size_t written = 0;
  std::size_t i = 0;
  if (encoding == TextEncoding::Unicode) {
    const std::size_t units = std::min<std::size_t>(end, kMaxStoredLength / 2);
    for (; i < units; ++i) {
      to[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
      to[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    written = 2 * units;
    if (units < end && report) report->truncated = true;
  } else {
    while (i < end) {
      // A run of ASCII is a byte a unit, found four units at a time and copied in one loop.
      const std::size_t run = asciiUnitsBefore(
          text.substr(i, std::min(end - i, kMaxStoredLength - written)), u'\0', u'\0');
      for (std::size_t k = 0; k < run; ++k) {
        to[written + k] = static_cast<std::uint8_t>(text[i + k] | 0x80);
      }
      written += run;
      i += run;
      if (i == end) break;
      char16_t unit = text[i++];
      if (unit >= 0x8000) {
        unit = u'?';
        if (report) ++report->replacedUnits;
      }
      const std::size_t size = unit < 0x80 ? 1 : 2;
      if (written + size > kMaxStoredLength) {
        if (report) report->truncated = true;
        break;
      }
      if (size == 1) {
        to[written] = static_cast<std::uint8_t>(unit | 0x80);
      } else {
        to[written] = static_cast<std::uint8_t>((unit >> 8) & 0x7F);
        to[written + 1] = static_cast<std::uint8_t>(unit & 0xFF);
      }
      written += size;
    }
  }
  return static_cast<std::uint16_t>(written);
}

std::uint16_t encodeAsciiText(Bytes& out, std::string_view text, TextEncoding encoding,
                              EncodeReport* report) {
  return appendEncoded(out, text, [&](std::uint8_t* to, std::string_view t) {
    return encodeAsciiTextAt(to, t, encoding, report);
  });
}

std::uint16_t encodeAsciiTextAt(std::uint8_t* to, std::string_view text, TextEncoding encoding,
                                EncodeReport* report) {
  std::size_t end = text.find('\0');
  if (end == std::string_view::npos) end = text.size();
  // One byte a unit in the compressed form, two in Unicode; what does not fit is cut.
  const std::size_t unitBytes = encoding == TextEncoding::Unicode ? 2 : 1;
  const std::size_t units = std::min<std::size_t>(end, kMaxStoredLength / unitBytes);
  if (units < end && report) report->truncated = true;
  if (unitBytes == 1) {
    for (std::size_t i = 0; i < units; ++i) {
      to[i] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(text[i]) | 0x80);
    }
  } else {
    for (std::size_t i = 0; i < units; ++i) {
      to[2 * i] = static_cast<std::uint8_t>(text[i]);
      to[2 * i + 1] = 0;
    }
  }
  return static_cast<std::uint16_t>(units * unitBytes);
}

std::size_t decodeText(std::u16string& dest, std::span<const std::uint8_t> source,
                       std::size_t length, TextEncoding encoding) {
  std::size_t consumed = 0;
  std::size_t produced = 0;
  if (encoding == TextEncoding::Unicode) {
    const std::size_t n = std::min(length, source.size());
    dest.resize(n / 2);
    char16_t* out = dest.data();
    for (std::size_t i = 0; i + 1 < n; i += 2) {
      out[produced++] = static_cast<char16_t>(source[i] | (source[i + 1] << 8));
    }
    consumed = n;
  } else {
    // At most one unit a byte; a run of one-byte units is the common case. A unit 0 (byte 0x80,
    // or 0x00 0x00) ends the text, but the whole length is still taken.
    const std::size_t end = std::min(length, source.size());
    dest.resize(end);
    char16_t* out = dest.data();
    std::size_t firstNul = end;
    while (consumed < end) {
      const std::uint8_t b = source[consumed];
      if (b & 0x80) {
        // The run of one-byte units, found eight bytes at a time and then copied in one loop.
        std::size_t run = 1;
        constexpr std::uint64_t kHighBits = 0x8080808080808080;
        for (std::uint64_t word; consumed + run + 8 <= end; run += 8) {
          std::memcpy(&word, source.data() + consumed + run, sizeof word);
          if ((word & kHighBits) != kHighBits) break;
        }
        while (consumed + run < end && (source[consumed + run] & 0x80)) ++run;
        for (std::size_t k = 0; k < run; ++k) {
          out[produced + k] = static_cast<char16_t>(source[consumed + k] & 0x7F);
        }
        if (firstNul == end) {
          if (const void* zero = std::memchr(source.data() + consumed, 0x80, run)) {
            firstNul = produced + static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) -
                                                           (source.data() + consumed));
          }
        }
        produced += run;
        consumed += run;
      } else {
        const std::uint8_t second = consumed + 1 < source.size() ? source[consumed + 1] : 0;
        out[produced] = static_cast<char16_t>((b << 8) | second);
        if (out[produced] == 0 && firstNul == end) firstNul = produced;
        ++produced;
        consumed = std::min(consumed + 2, source.size());
      }
    }
    dest.resize(std::min(produced, firstNul));
    return consumed;
  }
  dest.resize(produced);
  const std::size_t nul = dest.find(u'\0');
  if (nul != std::u16string::npos) dest.resize(nul);
  return consumed;
}

}  // namespace kelvora::store
