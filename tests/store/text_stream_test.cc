// The text-mode streams: what bytes on disk read as, what text writes as, and how failures
// and buffer boundaries are handled.
#include "store/text_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "memory_file_system.h"
#include "store/utf8.h"

namespace kelvora::store {
namespace {

using fakes::MemoryFileSystem;

MemoryFileSystem::Bytes bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

std::u16string readAll(MemoryFileSystem& files, std::string_view bytes) {
  files.put("in.txt", bytesOf(bytes));
  std::optional<TextReader> reader = openTextReader(files, "in.txt");
  std::u16string text;
  while (std::optional<char16_t> c = reader->get()) text.push_back(*c);
  EXPECT_TRUE(reader->atEnd());
  return text;
}

std::string writeAll(MemoryFileSystem& files, const std::vector<std::u16string>& pieces) {
  std::optional<TextWriter> writer = createTextWriter(files, "out.txt");
  for (const std::u16string& piece : pieces) writer->write(piece);
  EXPECT_TRUE(writer->close());
  const MemoryFileSystem::Bytes& bytes = files.bytes("out.txt");
  return {bytes.begin(), bytes.end()};
}

TEST(TextStream, ReadsBytesAsText) {
  struct Case {
    const char* name;
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"byte-order mark only", "\xEF\xBB\xBF", u""},
      {"byte-order mark skipped", "\xEF\xBB\xBFx", u"x"},
      {"byte-order mark later is a character", "x\xEF\xBB\xBF", u"x\uFEFF"},
      {"cr lf folds", "a\r\nb\r\n", u"a\nb\n"},
      {"lone cr stays", "a\rb\r", u"a\rb\r"},
      {"cr cr lf", "a\r\r\nb", u"a\r\nb"},
      {"lf cr", "\n\r", u"\n\r"},
  };
  for (const Case& c : cases) {
    MemoryFileSystem files;
    EXPECT_EQ(readAll(files, c.bytes), c.text) << c.name;
  }
}

TEST(TextStream, SequencesAcrossBufferBoundariesStayWhole) {
  // Repeating a 13-byte pattern over several buffers, shifted by 0..12 bytes, puts every
  // buffer boundary at every position inside a multi-byte sequence and between CR and LF.
  const std::string pattern = "\xF0\x9F\x98\x80\xE2\x82\xAC\r\n\xC3\xA9\r\n";
  const std::u16string patternText = u"\xD83D\xDE00\u20AC\n\u00E9\n";
  const std::size_t repeats = 3 * kTextBufferBytes / pattern.size();
  for (std::size_t shift = 0; shift < pattern.size(); ++shift) {
    std::string bytes(shift, 'a');
    std::u16string expected(shift, u'a');
    for (std::size_t i = 0; i < repeats; ++i) {
      bytes += pattern;
      expected += patternText;
    }
    MemoryFileSystem files;
    EXPECT_TRUE(readAll(files, bytes) == expected) << "shift " << shift;
  }
}

// The rules of reading applied to the whole file at once.
std::u16string decodeWhole(const std::string& text) {
  std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                      text.size());
  if (bytes.size() >= 3 && std::equal(bytes.begin(), bytes.begin() + 3, kUtf8ByteOrderMark))
    bytes = bytes.subspan(3);
  std::u16string out;
  while (!bytes.empty()) {
    if (bytes.size() >= 2 && bytes[0] == '\r' && bytes[1] == '\n') {
      out.push_back(u'\n');
      bytes = bytes.subspan(2);
      continue;
    }
    const DecodedChar c = decodeUtf8Char(bytes);
    appendUtf16(out, c.codePoint);
    bytes = bytes.subspan(c.length);
  }
  return out;
}

std::string randomBytes(std::mt19937& random) {
  static const std::vector<std::string> kPieces = {"a",
                                                   "<",
                                                   "&",
                                                   "\r",
                                                   "\n",
                                                   "\r\n",
                                                   "\xC3\xA9",
                                                   "\xE2\x82\xAC",
                                                   "\xF0\x9F\x98\x80",
                                                   "\xF0\x9F",
                                                   "\x80",
                                                   "\xFF",
                                                   "\x01",
                                                   "\x7F",
                                                   "\xEF\xBB\xBF",
                                                   "plain words ",
                                                   "\t"};
  std::string out;
  const std::size_t pieces = random() % 200;
  for (std::size_t i = 0; i < pieces; ++i) out += kPieces[random() % kPieces.size()];
  return out;
}

TEST(TextStream, UnitsLinesAndByteRunsReadAlikeAtAnyBufferSize) {
  std::mt19937 random(31);
  for (int round = 0; round < 600; ++round) {
    const std::string bytes = randomBytes(random);
    const std::u16string expected = decodeWhole(bytes);
    const std::size_t buffer = 8 + random() % 24;
    MemoryFileSystem files;
    files.put("in.txt", bytesOf(bytes));
    SCOPED_TRACE(testing::Message() << "round " << round << " buffer " << buffer);

    TextReader byUnit(files.openForReading("in.txt"), buffer);
    std::u16string units;
    while (std::optional<char16_t> c = byUnit.get()) units.push_back(*c);
    EXPECT_TRUE(byUnit.atEnd());
    EXPECT_TRUE(units == expected);

    TextReader byLine(files.openForReading("in.txt"), buffer);
    std::u16string lines;
    std::u16string line;
    while (byLine.readLine(line)) lines += line + u"\n";
    std::u16string expectedLines = expected;
    if (!expectedLines.empty() && expectedLines.back() != u'\n') expectedLines += u'\n';
    EXPECT_TRUE(lines == expectedLines);

    // Runs of plain ASCII taken from the buffer, the rest unit by unit, as the readers do.
    TextReader byRun(files.openForReading("in.txt"), buffer);
    std::u16string runs;
    for (;;) {
      const std::span<const std::uint8_t> view = byRun.bufferedBytes();
      const std::size_t n = asciiRunBefore(view, '\r', random() % 2 ? '<' : '&');
      appendAscii(runs, view.first(n));
      byRun.skipBytes(n);
      const std::optional<char16_t> c = byRun.get();
      if (!c) break;
      runs.push_back(*c);
    }
    EXPECT_TRUE(runs == expected);
  }
}

TEST(TextStream, AsciiRunStopsAtTheFirstStopOrWideByte) {
  std::mt19937 random(5);
  const std::uint8_t kinds[] = {'a', '<', '\r', 0x00, 0x01, 0x7F, 0x80, 0xFF, 0x3B, 0x3D};
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::uint8_t> bytes(random() % 40);
    for (std::uint8_t& b : bytes) b = random() % 3 ? 'a' : kinds[random() % std::size(kinds)];
    const std::uint8_t stop = kinds[random() % std::size(kinds)];
    std::size_t expected = 0;
    while (expected < bytes.size() && bytes[expected] < 0x80 && bytes[expected] != stop &&
           bytes[expected] != '\r')
      ++expected;
    ASSERT_EQ(asciiRunBefore(bytes, stop, '\r'), expected) << round;
  }
}

TEST(TextStream, ReadLineSplitsAtLineEnds) {
  struct Case {
    std::string bytes;
    std::vector<std::u16string> lines;
  } cases[] = {
      {"", {}},
      {"\r\n", {u""}},
      {"a\r\n\r\nb", {u"a", u"", u"b"}},
      {"a\rb\r\n", {u"a\rb"}},
  };
  for (const Case& c : cases) {
    MemoryFileSystem files;
    files.put("in.txt", bytesOf(c.bytes));
    std::optional<TextReader> reader = openTextReader(files, "in.txt");
    std::vector<std::u16string> lines;
    std::u16string line = u"stale";
    while (reader->readLine(line)) lines.push_back(line);
    EXPECT_EQ(lines, c.lines) << c.bytes;
    EXPECT_TRUE(line.empty());
  }
}

TEST(TextStream, WritesUtf8WithCrLf) {
  struct Case {
    const char* name;
    std::vector<std::u16string> pieces;
    std::string bytes;
  } cases[] = {
      {"lf becomes cr lf", {u"a\nb\n"}, "a\r\nb\r\n"},
      {"cr stays, so cr lf gains a cr", {u"a\r\nb\r"}, "a\r\r\nb\r"},
      {"pair split between writes", {u"x\xD83D", u"\xDE00y"}, "x\xF0\x9F\x98\x80y"},
      {"high surrogate left at close", {u"x\xD83D"}, "x\xEF\xBF\xBD"},
      {"high surrogate then text",
       {u"\xD83D", u"a"},
       "\xEF\xBF\xBD"
       "a"},
  };
  for (const Case& c : cases) {
    MemoryFileSystem files;
    EXPECT_EQ(writeAll(files, c.pieces), c.bytes) << c.name;
  }
}

// The writer against the rule unit by unit (ASCII a byte, "\n" as CR LF, pairs joined, a lone
// surrogate as U+FFFD), over pieces cut anywhere, bytes written between them and a text several
// buffers long, so that every run meets a buffer's edge somewhere.
TEST(TextStream, WritesWhatTheRuleGivesUnitByUnitAtAnyCut) {
  std::mt19937 random(11);
  const char16_t units[] = {u'a', u'<', u'\n', u'\r', 0xE9, 0x8A9E, 0xD83D, 0xDE00, u' '};
  for (int round = 0; round < 4; ++round) {
    std::u16string text;
    while (text.size() < 3 * kTextBufferBytes) {
      const char16_t unit = units[random() % std::size(units)];
      text.append(random() % 4 == 0 ? 1 + random() % 3000 : 1, unit);
    }
    std::string expected;
    std::u16string pending;  // a high surrogate not yet followed
    MemoryFileSystem files;
    std::optional<TextWriter> writer = createTextWriter(files, "out.txt");
    std::size_t at = 0;
    auto model = [&expected](std::u16string_view piece, char16_t& high) {
      for (const char16_t u : piece) {
        if (high != 0) {
          const char16_t h = high;
          high = 0;
          if (u >= 0xDC00 && u < 0xE000) {
            appendUtf8(expected, 0x10000 + ((h - 0xD800) << 10) + (u - 0xDC00));
            continue;
          }
          appendUtf8(expected, 0xFFFD);
        }
        if (u == u'\n') {
          expected += "\r\n";
        } else if (u >= 0xD800 && u < 0xDC00) {
          high = u;
        } else if (u >= 0xDC00 && u < 0xE000) {
          appendUtf8(expected, 0xFFFD);
        } else {
          appendUtf8(expected, u);
        }
      }
    };
    char16_t high = 0;
    while (at < text.size()) {
      const std::size_t length = std::min<std::size_t>(text.size() - at, random() % 70000);
      const std::u16string_view piece(text.data() + at, length);
      writer->write(piece);
      model(piece, high);
      at += length;
      if (random() % 3 == 0) {
        writer->writeBytes("<b>\r\n");
        if (high != 0) appendUtf8(expected, 0xFFFD);
        high = 0;
        expected += "<b>\r\n";
      }
    }
    if (high != 0) appendUtf8(expected, 0xFFFD);
    ASSERT_TRUE(writer->close());
    const MemoryFileSystem::Bytes& bytes = files.bytes("out.txt");
    ASSERT_EQ(std::string(bytes.begin(), bytes.end()), expected) << "round " << round;
  }
}

TEST(TextStream, LargeTextRoundTripsLineByLine) {
  MemoryFileSystem files;
  std::optional<TextWriter> writer = createTextWriter(files, "big.txt");
  std::vector<std::u16string> lines;
  for (int i = 0; i < 30000; ++i) {
    std::string digits = std::to_string(i);
    lines.push_back(u"line \u00E9\xD83D\xDE00\r " + std::u16string(digits.begin(), digits.end()));
    writer->write(lines.back() + u"\n");
  }
  ASSERT_TRUE(writer->close());
  ASSERT_GT(files.bytes("big.txt").size(), 4 * kTextBufferBytes);

  std::optional<TextReader> reader = openTextReader(files, "big.txt");
  std::u16string line;
  for (const std::u16string& expected : lines) {
    ASSERT_TRUE(reader->readLine(line));
    ASSERT_EQ(line, expected);
  }
  EXPECT_FALSE(reader->readLine(line));
}

TEST(TextStream, FailedWritesAreReportedByClose) {
  struct Case {
    const char* name;
    std::size_t budget;
    std::size_t textUnits;
    bool okBeforeClose;
  } cases[] = {
      {"nothing stored, seen at close", 0, 10, true},
      {"short final write", kTextBufferBytes + 5, kTextBufferBytes + 10, true},
      {"short write while buffering", kTextBufferBytes - 1, 2 * kTextBufferBytes, false},
  };
  for (const Case& c : cases) {
    MemoryFileSystem files;
    files.writeBudget = c.budget;
    std::optional<TextWriter> writer = createTextWriter(files, "out.txt");
    writer->write(std::u16string(c.textUnits, u'x'));
    EXPECT_EQ(writer->ok(), c.okBeforeClose) << c.name;
    writer->write(u"more");
    EXPECT_FALSE(writer->close()) << c.name;
    EXPECT_FALSE(writer->ok()) << c.name;
  }
}

TEST(TextStream, FailedSyncOrRenameKeepsTheEarlierFile) {
  // The last write operations of a whole-file write: sync of the temporary, rename, folder.
  for (long failing = 0; failing < 3; ++failing) {
    MemoryFileSystem files;
    files.put("out.txt", {'o', 'l', 'd'});
    std::optional<TextWriter> writer = createTextWriter(files, "out.txt");
    writer->write(u"text\n");
    EXPECT_TRUE(writer->ok());
    // close() writes what is buffered, then syncs, renames and syncs the folder.
    files.failWriteOp = files.writeOps + 1 + failing;
    const bool closed = writer->close();
    if (failing < 2) {
      EXPECT_FALSE(closed) << failing;
      EXPECT_EQ(files.bytes("out.txt"), (MemoryFileSystem::Bytes{'o', 'l', 'd'})) << failing;
      EXPECT_FALSE(files.exists("out.txt.tmp")) << failing;
    } else {
      // The rename happened; only the folder's sync failed, and that is reported.
      EXPECT_FALSE(closed);
    }
  }
}

TEST(TextStream, AbandonedWriterLeavesTheTargetAsItWas) {
  MemoryFileSystem files;
  files.put("out.txt", {'o', 'l', 'd'});
  {
    std::optional<TextWriter> writer = createTextWriter(files, "out.txt");
    writer->write(u"half an export");
  }
  EXPECT_EQ(files.bytes("out.txt"), (MemoryFileSystem::Bytes{'o', 'l', 'd'}));
  EXPECT_FALSE(files.exists("out.txt.tmp"));
}

TEST(TextStream, ReadErrorIsNotTheEndOfTheFile) {
  MemoryFileSystem files;
  files.put("in.txt", MemoryFileSystem::Bytes(200000, 'a'));
  std::optional<TextReader> reader = openTextReader(files, "in.txt");
  files.failReadCall = files.readCalls + 1;  // the second buffer's read
  std::u16string line;
  while (reader->readLine(line)) {
  }
  EXPECT_TRUE(reader->failed());
}

}  // namespace
}  // namespace kelvora::store
