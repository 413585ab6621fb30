// Small rules on UTF-16 text shared by every subsystem: decimal numbers as text, cutting a text
// to a length without parting a surrogate pair, the ASCII character classes the readers use.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kelvora::store {

// Where unit first stands in text, or text.size(): eight units are looked at in one step with
// SSE2 (every x86-64 processor), one at a time elsewhere.
inline std::size_t findUnit(std::u16string_view text, char16_t unit) {
  std::size_t n = 0;
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi16(static_cast<short>(unit));
  for (; n + 8 <= text.size(); n += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + n));
    const int hits = _mm_movemask_epi8(_mm_cmpeq_epi16(v, wanted));
    if (hits != 0)
      return n + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(hits))) / 2;
  }
#endif
  while (n < text.size() && text[n] != unit) ++n;
  return n;
}

// How many leading units of text are ASCII other than stop and alsoStop; four units are looked
// at in one step.
inline std::size_t asciiUnitsBefore(std::u16string_view text, char16_t stop, char16_t alsoStop) {
  constexpr std::uint64_t kLaneOnes = 0x0001000100010001;
  constexpr std::uint64_t kLaneHighBits = 0x8000800080008000;
  constexpr std::uint64_t kLaneUpper = 0x7F807F807F807F80;
  // The top bit of each 16-bit lane that is zero; no lane below the lowest zero one is marked.
  const auto zeroLanes = [](std::uint64_t w) { return (w - kLaneOnes) & ~w & kLaneHighBits; };
  std::size_t n = 0;
#if defined(__SSE2__)
  // Eight units a step: a lane is marked when it is not below 0x80 or is a stop.
  const __m128i upper = _mm_set1_epi16(static_cast<short>(0xFF80));
  const __m128i stops = _mm_set1_epi16(static_cast<short>(stop));
  const __m128i alsoStops = _mm_set1_epi16(static_cast<short>(alsoStop));
  for (; n + 8 <= text.size(); n += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + n));
    const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, upper), _mm_setzero_si128());
    const __m128i stopped = _mm_or_si128(_mm_cmpeq_epi16(v, stops), _mm_cmpeq_epi16(v, alsoStops));
    const int marks = 0xFFFF & ~_mm_movemask_epi8(_mm_andnot_si128(stopped, ascii));
    if (marks != 0)
      return n + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(marks))) / 2;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    for (; n + 4 <= text.size(); n += 4) {
      std::uint64_t w;
      std::memcpy(&w, text.data() + n, sizeof w);
      // A lane from 0x80 up has a bit in 0x7F80 (adding 0x7F80 carries it into the top bit)
      // or the top bit itself.
      const std::uint64_t wide = (((w & kLaneUpper) + kLaneUpper) | w) & kLaneHighBits;
      const std::uint64_t marks =
          wide | zeroLanes(w ^ (kLaneOnes * stop)) | zeroLanes(w ^ (kLaneOnes * alsoStop));
      if (marks != 0) return n + static_cast<std::size_t>(std::countr_zero(marks)) / 16;
    }
  }
  while (n < text.size() && text[n] < 0x80 && text[n] != stop && text[n] != alsoStop) ++n;
  return n;
}

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
