// The settings file: what each kind of line does to the settings, the exact bytes written,
// and what happens when the file is missing or cannot be written.
#include "store/settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "memory_file_system.h"
#include "store/utf8.h"

namespace kelvora::store {
namespace {

using fakes::MemoryFileSystem;

std::string describe(const Settings& s) {
  auto font = [](const FontSetting& f) {
    return encodeUtf8(f.face) + "/" + std::to_string(f.size) + "/" + std::to_string(f.weight);
  };
  return font(s.questionFont) + " " + font(s.answerFont) + " utf8=" + std::to_string(s.utf8) +
         " html=" + std::to_string(s.html) + " ratio=" + std::to_string(s.ratio) +
         (s.settingsChanged ? " changed" : "");
}

std::string fileText(MemoryFileSystem& files, const char* path) {
  const MemoryFileSystem::Bytes& bytes = files.bytes(path);
  return {bytes.begin(), bytes.end()};
}

// Settings as a collection opened earlier may have left them.
Settings earlierSettings() {
  Settings s;
  s.questionFont = {u"Old Face", 30, 400};
  s.answerFont = {u"Other", 8, 100};
  s.utf8 = 1;
  s.html = 1;
  s.ratio = 4;
  s.settingsChanged = true;
  return s;
}

TEST(Settings, ReadingAppliesEachLine) {
  struct Case {
    const char* file;
    std::function<void(Settings&)> expect;  // applied to the defaults with the old byte values
  } cases[] = {
      {"", [](Settings&) {}},
      {"QuestionFont Courier_New 10 400\r\nAnswerFont Arial_Black 20 900\r\n",
       [](Settings& s) {
         s.questionFont = {u"Courier New", 10, 400};
         s.answerFont = {u"Arial Black", 20, 900};
       }},
      {"Ratio 2\nHTML 0\nUTF8 0", [](Settings& s) { s.ratio = 2, s.html = 0, s.utf8 = 0; }},
      {"Ratio 5\r\nRatio 3\r\n", [](Settings& s) { s.ratio = 3; }},
      {"UTF8 257\r\nHTML -1\r\nRatio 4294967298\r\n",
       [](Settings& s) {
         s.utf8 = 1;
         s.html = 255;
         s.ratio = 2;
       }},
      {"Rat 3\r\nU 0\r\nA Arial 1 2\r\n",
       [](Settings& s) {
         s.ratio = 3;
         s.utf8 = 0;
         s.answerFont = {u"Arial", 1, 2};
       }},
      {"HTML x\r\nUTF8\r\nUTF8\t0\r\nRatioX 1\r\nratio 1\r\n UTF8 0\r\nHTML \r\n",
       [](Settings&) {}},
      {"Ratio  +2 junk\r\nAnswerFont Arial 20\r\nQuestionFont Sans x 900\r\n",
       [](Settings& s) {
         s.ratio = 2;
         s.answerFont = {u"Arial", 20, 700};
         s.questionFont = {u"Sans", 13, 700};
       }},
      {"QuestionFont \r\nAnswerFont 0123456789012345678901234567890123456789 1 1\r\n",
       [](Settings& s) {
         s.answerFont = {u"0123456789012345678901234567890", 1, 1};
       }},
      {"\xEF\xBB\xBFQuestionFont Caf\xC3\xA9 8 1\r\nAnswerFont Caf\xE9 9 2\r\n",
       [](Settings& s) {
         s.questionFont = {u"Caf\u00E9", 8, 1};
         s.answerFont = {u"Caf\u00E9", 9, 2};
       }},
  };
  for (const Case& c : cases) {
    MemoryFileSystem files;
    files.put("deck.cfg", {c.file, c.file + std::char_traits<char>::length(c.file)});
    Settings actual = earlierSettings();
    readSettings(actual, files, "deck");

    Settings expected = earlierSettings();
    expected.resetFonts();
    expected.settingsChanged = false;
    c.expect(expected);
    EXPECT_EQ(describe(actual), describe(expected)) << c.file;
  }
}

TEST(Settings, MissingFileResetsFontsAndMarksChanged) {
  MemoryFileSystem files;
  Settings actual = earlierSettings();
  actual.settingsChanged = false;
  readSettings(actual, files, "deck");

  Settings expected = earlierSettings();
  expected.resetFonts();
  EXPECT_EQ(describe(actual), describe(expected));
}

TEST(Settings, WrittenFileHasExactBytesAndReadsBack) {
  MemoryFileSystem files;
  Settings written;
  written.questionFont = {u"Courier New", 10, -400};
  written.answerFont = {u"Caf\u00E9", 13, 700};
  written.utf8 = 1;
  written.ratio = 3;
  written.settingsChanged = true;
  ASSERT_TRUE(writeSettings(written, files, "deck"));
  EXPECT_FALSE(written.settingsChanged);
  EXPECT_EQ(written.questionFont.face, u"Courier New");
  EXPECT_EQ(fileText(files, "deck.cfg").substr(0, 33), "QuestionFont Courier_New 10 -400\r");

  Settings read = earlierSettings();
  readSettings(read, files, "deck");
  EXPECT_EQ(describe(read), describe(written));
}

TEST(Settings, EmptyFaceIsWrittenAsTheDefaultFace) {
  MemoryFileSystem files;
  Settings written;
  written.answerFont = {u"", 20, 400};
  ASSERT_TRUE(writeSettings(written, files, "deck"));
  EXPECT_NE(fileText(files, "deck.cfg").find("AnswerFont Tahoma 20 400\r\n"), std::string::npos);
}

TEST(Settings, FailedWriteKeepsSettingsChanged) {
  struct Case {
    const char* name;
    bool createFails;
    std::size_t writeBudget;
  } cases[] = {
      {"cannot create", true, SIZE_MAX},
      {"disk full", false, 20},
  };
  for (const Case& c : cases) {
    MemoryFileSystem files;
    if (c.createFails) files.openFailures["deck.cfg.tmp"] = OpenError::AccessDenied;
    files.writeBudget = c.writeBudget;
    Settings settings;
    settings.settingsChanged = true;
    EXPECT_FALSE(writeSettings(settings, files, "deck")) << c.name;
    EXPECT_TRUE(settings.settingsChanged) << c.name;
  }
}

}  // namespace
}  // namespace kelvora::store
