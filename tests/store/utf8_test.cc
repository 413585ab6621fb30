// Decoding of text-file bytes (UTF-8 with Windows-1252 for stray bytes) and UTF-8 encoding.
#include "store/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace kelvora::store {
namespace {

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::u16string text;
};

TEST(Utf8, DecodesValidSequencesAndReadsOtherBytesAsWindows1252) {
  const DecodeCase cases[] = {
      {"highest code point", "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
      {"cp1252 punctuation", "\x93x\x94\x80", u"\u201Cx\u201D\u20AC"},
      {"cp1252 undefined bytes", "\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D"},
      {"overlong two bytes", "\xC0\xAF", u"\u00C0\u00AF"},
      {"overlong three bytes", "\xE0\x80\xAF", u"\u00E0\u20AC\u00AF"},
      {"encoded surrogate", "\xED\xA0\x80", u"\u00ED\u00A0\u20AC"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\u00F4\u0090\u20AC\u20AC"},
      {"broken by ascii", "\xE2\x82x", u"\u00E2\u201Ax"},
      {"cut off at the end", "a\xF0\x9F\x98", u"a\u00F0\u0178\u02DC"},
      {"bytes that never start a sequence", "\xF5\xFE", u"\u00F5\u00FE"},
      {"nul is a character", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  for (const DecodeCase& c : cases) {
    EXPECT_EQ(decodeTextBytes(c.bytes), c.text) << c.name;
  }
}

TEST(Utf8, EncodesPairsAndReplacesUnpairedSurrogates) {
  const DecodeCase cases[] = {
      {"high then ascii",
       "\xEF\xBF\xBD"
       "a",
       u"\xD800"
       u"a"},
      {"lone low", "\xEF\xBF\xBD", u"\xDC00"},
      {"high at the end", "a\xEF\xBF\xBD", u"a\xDBFF"},
      {"reversed pair", "\xEF\xBF\xBD\xEF\xBF\xBD", u"\xDE00\xD83D"},
  };
  for (const DecodeCase& c : cases) {
    EXPECT_EQ(encodeUtf8(c.text), c.bytes) << c.name;
  }
}

TEST(Utf8, EveryCharacterSurvivesARoundTrip) {
  std::u16string all;
  for (char32_t c = 0; c <= 0x10FFFF; c += (c < 0x10000 ? 1 : 0x3FF)) {
    if (c < 0xD800 || c > 0xDFFF) appendUtf16(all, c);
  }
  EXPECT_EQ(decodeTextBytes(encodeUtf8(all)), all);
}

}  // namespace
}  // namespace kelvora::store
