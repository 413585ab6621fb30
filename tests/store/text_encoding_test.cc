// Both stored text forms: what each decodes back, the borrowing of a byte at the end of the
// question, and the limits that keep every record readable.
#include "store/text_encoding.h"

#include <gtest/gtest.h>

namespace kelvora::store {
namespace {

constexpr auto kCompressed = TextEncoding::CompressedUnicode;
constexpr auto kUnicode = TextEncoding::Unicode;

Bytes encoded(std::u16string_view text, TextEncoding enc, EncodeReport* report = nullptr) {
  Bytes out;
  std::uint16_t n = encodeText(out, text, enc, report);
  EXPECT_EQ(n, out.size());
  return out;
}

TEST(TextEncoding, BothFormsDecodeWhatTheyEncode) {
  struct Case {
    std::u16string text;
    Bytes compressed;
    Bytes unicode;
  };
  const Case cases[] = {
      // The format page's table is pinned as it stands; these add decoding and the edges.
      {u"\u00E9", {0x00, 0xE9}, {0xE9, 0x00}},
      {u"", {}, {}},
      {u"a\u7FFFz", {0xE1, 0x7F, 0xFF, 0xFA}, {0x61, 0, 0xFF, 0x7F, 0x7A, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(encoded(c.text, kCompressed), c.compressed);
    EXPECT_EQ(encoded(c.text, kUnicode), c.unicode);
    std::u16string back;
    EXPECT_EQ(decodeText(back, c.compressed, c.compressed.size(), kCompressed),
              c.compressed.size());
    EXPECT_EQ(back, c.text);
    EXPECT_EQ(decodeText(back, c.unicode, c.unicode.size(), kUnicode), c.unicode.size());
    EXPECT_EQ(back, c.text);
  }
}

TEST(TextEncoding, UnitsCompressedCannotHoldBecomeQuestionMarks) {
  EncodeReport report;
  Bytes out = encoded(u"x\u8A9E\U0001F600y", kCompressed, &report);
  EXPECT_EQ(out, (Bytes{0xF8, 0xBF, 0xBF, 0xBF, 0xF9}));
  EXPECT_EQ(report.replacedUnits, 3u);
  EXPECT_FALSE(report.truncated);
  EncodeReport none;
  encoded(u"x\u4E2D", kUnicode, &none);
  EXPECT_EQ(none.replacedUnits, 0u);
}

TEST(TextEncoding, StoredFormIsCutAtTheLastWholeUnitWithin10000Bytes) {
  struct Case {
    std::u16string text;
    TextEncoding enc;
    std::size_t bytes;
    bool truncated;
  };
  const Case cases[] = {
      {std::u16string(10000, u'a'), kCompressed, 10000, false},
      {std::u16string(10001, u'a'), kCompressed, 10000, true},
      {std::u16string(9999, u'a') + u"\u00E9", kCompressed, 9999, true},
      {std::u16string(5000, u'a'), kUnicode, 10000, false},
      {std::u16string(9999, u'a'), kUnicode, 10000, true},
  };
  for (const Case& c : cases) {
    EncodeReport report;
    Bytes out = encoded(c.text, c.enc, &report);
    EXPECT_EQ(out.size(), c.bytes);
    EXPECT_EQ(report.truncated, c.truncated);
    std::u16string back;
    decodeText(back, out, out.size(), c.enc);
    EXPECT_EQ(back, c.text.substr(0, back.size()));
  }
}

TEST(TextEncoding, TextEndsAtItsFirstNul) {
  EXPECT_EQ(encoded(std::u16string(u"ab\0cd", 5), kCompressed), (Bytes{0xE1, 0xE2}));
  std::u16string back;
  Bytes stored = {0xE1, 0x80, 0xE2};
  EXPECT_EQ(decodeText(back, stored, 3, kCompressed), 3u);
  EXPECT_EQ(back, u"a");
}

TEST(TextEncoding, PairAtTheEndOfTheQuestionBorrowsTheAnswersFirstByte) {
  // Question stored length 3 whose last byte starts a pair; the answer follows.
  Bytes record = {0xE1, 0xE2, 0x01, 0x02, 0xE3, 0xE4};
  std::u16string question, answer;
  std::size_t used = decodeText(question, record, 3, kCompressed);
  EXPECT_EQ(used, 4u);
  EXPECT_EQ(question, u"ab\u0102");
  decodeText(answer, std::span(record).subspan(used), 2, kCompressed);
  EXPECT_EQ(answer, u"cd");
}

TEST(TextEncoding, DecodingNeverReadsPastTheBuffer) {
  std::u16string back;
  Bytes lonePair = {0xE1, 0x20};
  EXPECT_EQ(decodeText(back, lonePair, 2, kCompressed), 2u);
  EXPECT_EQ(back, u"a\u2000");
  Bytes odd = {0x61, 0x00, 0x62};
  EXPECT_EQ(decodeText(back, odd, 3, kUnicode), 3u);
  EXPECT_EQ(back, u"a");
  EXPECT_EQ(decodeText(back, odd, 50, kUnicode), 3u);
  EXPECT_EQ(decodeText(back, odd, 50, kCompressed), 3u);
}

}  // namespace
}  // namespace kelvora::store
