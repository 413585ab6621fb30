// Both stored text forms: what each decodes back, the borrowing of a byte at the end of the
// question, and the limits that keep every record readable.
#include "store/text_encoding.h"

#include <gtest/gtest.h>

#include <random>

#include "store/utf16_text.h"

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

// The stored forms one unit at a time, as the format defines them.
std::u16string decodeByUnit(const Bytes& stored) {
  std::u16string out;
  for (std::size_t i = 0; i < stored.size();) {
    if (stored[i] & 0x80) {
      out.push_back(stored[i] & 0x7F);
      ++i;
    } else {
      const std::uint8_t second = i + 1 < stored.size() ? stored[i + 1] : 0;
      out.push_back(static_cast<char16_t>((stored[i] << 8) | second));
      i += 2;
    }
  }
  return out.substr(0, out.find(u'\0'));
}

TEST(TextEncoding, LongRunsReadAndWriteAsUnitByUnit) {
  std::mt19937 random(12);
  for (int round = 0; round < 2000; ++round) {
    // Mostly one-byte units, so the runs are long, with the odd pair, 0x80 and 0x00 0x00.
    Bytes stored(random() % 300);
    for (std::uint8_t& b : stored) {
      const unsigned pick = random() % 64;
      b = pick == 0 ? 0x80 : pick == 1 ? 0x00 : pick < 5 ? random() % 0x80 : 0x81 + random() % 0x7F;
    }
    std::u16string back;
    EXPECT_EQ(decodeText(back, stored, stored.size(), kCompressed), stored.size());
    ASSERT_TRUE(back == decodeByUnit(stored)) << round;
    // Encoding what was read gives the stored bytes back up to the text's end.
    const Bytes again = encoded(back, kCompressed);
    std::u16string twice;
    decodeText(twice, again, again.size(), kCompressed);
    ASSERT_TRUE(twice == back) << round;
  }
}

TEST(TextEncoding, AsciiBytesStoreAsTheUnitsTheyAre) {
  std::mt19937 random(31);
  for (int round = 0; round < 300; ++round) {
    // Around both limits of the stored length, with the odd NUL that ends the text.
    std::string bytes(random() % 3 == 0 ? 4990 + random() % 5020 : random() % 80, 'a');
    for (char& b : bytes) b = static_cast<char>(random() % 200 == 0 ? 0 : 1 + random() % 0x7F);
    const std::u16string units(bytes.begin(), bytes.end());
    for (const TextEncoding enc : {kCompressed, kUnicode}) {
      EncodeReport fromBytes;
      EncodeReport fromUnits;
      Bytes out = {0xAB};  // appended after what is there
      const std::uint16_t n = encodeAsciiText(out, bytes, enc, &fromBytes);
      ASSERT_EQ(n + std::size_t{1}, out.size());
      Bytes expected = {0xAB};
      encodeText(expected, units, enc, &fromUnits);
      ASSERT_EQ(out, expected) << round;
      ASSERT_EQ(fromBytes.truncated, fromUnits.truncated) << round;
    }
  }
}

TEST(Utf16Text, RunsAndSearchesStopAtTheFirstStopOrWideUnit) {
  std::mt19937 random(3);
  const char16_t kinds[] = {u'a',  u'\n',  u'\r',  0x00,   0x7F,   0x80,  0xFF,
                            0x100, 0x7F80, 0x8000, 0xFFFF, 0x0A0A, 0x0D00};
  for (int round = 0; round < 4000; ++round) {
    std::u16string text(random() % 24, u'a');
    for (char16_t& u : text) u = random() % 3 ? u'a' : kinds[random() % std::size(kinds)];
    const char16_t stop = kinds[random() % 3];
    std::size_t expected = 0;
    while (expected < text.size() && text[expected] < 0x80 && text[expected] != stop &&
           text[expected] != u'\r')
      ++expected;
    ASSERT_EQ(asciiUnitsBefore(text, stop, u'\r'), expected) << round;
    ASSERT_EQ(findUnit(text, stop), std::min(text.find(stop), text.size())) << round;
  }
}

}  // namespace
}  // namespace kelvora::store
