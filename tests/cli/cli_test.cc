// kelvora-cli as a script sees it: options in any place, and the info and list output of a
// collection written through the store.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "anki_package_builder.h"
#include "cli_options.h"
#include "item_listing.h"
#include "platform/posix_file_system.h"
#include "recording_messages.h"
#include "store/collection_opening.h"
#include "store/item_editing.h"
#include "temp_dir.h"

namespace kelvora::cli {
namespace {

struct RunResult {
  int exitCode;
  std::string out;
};

// The recent list of every run goes to a folder of the test's own, never the user's.
void useOwnConfigFolder() {
  static fakes::TempDir config;
  setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
}

RunResult runCli(const std::string& args) {
  useOwnConfigFolder();
  std::string command = std::string(KELVORA_CLI_PATH) + " " + args + " 2>&1";
  RunResult r{-1, {}};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return r;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
  int status = pclose(pipe);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(CliOptions, GlobalOptionsStandBeforeOrAfterTheCommand) {
  std::string error;
  for (const auto& argv : {std::vector<std::string>{"--today", "2004-08-14", "list", "b"},
                           std::vector<std::string>{"list", "b", "--today=2004-08-14"},
                           std::vector<std::string>{"list", "--today", "2004-08-14", "b"}}) {
    auto o = parseCliOptions(argv, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->command, "list");
    EXPECT_EQ(o->args, std::vector<std::string>{"b"});
    ASSERT_TRUE(o->today);
    EXPECT_EQ(learning::dateToDay(*o->today), 8993);
  }
}

TEST(CliOptions, RefusesDatesOutsideTheDayRangeAndUnknownOptions) {
  std::string error;
  for (const char* bad :
       {"1979-12-31", "2159-06-05", "2004-02-30", "2004-13-01", "2004-8-14", "tomorrow"}) {
    EXPECT_FALSE(parseCliOptions({"info", "b", "--today", bad}, error)) << bad;
  }
  EXPECT_TRUE(parseIsoDate("2159-06-04"));
  EXPECT_TRUE(parseIsoDate("1980-01-01"));
  EXPECT_FALSE(parseCliOptions({"info", "b", "--today"}, error));
  EXPECT_FALSE(parseCliOptions({"info", "b", "--frobnicate"}, error));
  EXPECT_FALSE(parseCliOptions({}, error));
}

// Writes a collection of two items, the second one memorized, and a third never written.
void writeDeck(const std::filesystem::path& base) {
  {
    platform::PosixFileSystem files;
    fakes::RecordingMessages messages;
    store::Collection c(files, messages, [] { return store::DayNumber{8993}; });
    ASSERT_TRUE(store::createCollection(c, base));
    const std::u16string texts[][2] = {{u"Hund", u"dog"}, {u"caf\u00E9", u"line\r\nbreak"}};
    for (std::uint16_t p = 0; p < 2; ++p) {
      ASSERT_EQ(store::addItem(c), store::AddOutcome::Added);
      c.loaded.question = texts[p][0];
      c.loaded.answer = texts[p][1];
      c.loaded.itemModified = true;
    }
    c.loaded.header.setItemId(70000);
    c.table[1] = {
        c.table[1].recordOffset, 6, 8990, 0, store::code(store::ItemStatus::Memorized), 0};
    // A third item added and left blank has no record.
    c.header.itemCount = 3;
    c.table[2].recordOffset = store::kNoRecord;
    EXPECT_TRUE(c.closeCollection());
  }
}

TEST(CliListing, InfoAndListShowACollectionWrittenByTheStore) {
  fakes::TempDir dir;
  const auto base = dir / "deck";
  writeDeck(base);

  RunResult info = runCli("info " + base.string() + " --today 2004-08-14");
  EXPECT_EQ(info.exitCode, 0) << info.out;
  EXPECT_EQ(info.out,
            "headerSize: 12\nentrySize: 12\nrecordHeaderSize: 18\nitemCount: 3\n"
            "learningDay: 0\nnextSlotNumber: 2\nmemorizedCount: 1\noutstandingCount: 0\n"
            "drillCount: 0\ndismissedCount: 0\n");

  // Three days later the memorized item is due.
  RunResult list = runCli("--today 2004-08-17 list " + base.string());
  EXPECT_EQ(list.exitCode, 0) << list.out;
  EXPECT_EQ(list.out,
            "0\t0\t0\t0\t2500\t0\t0\t0\t0\t0\tHund\tdog\n"
            "1\t3\t6\t8990\t2500\t0\t0\t70000\t1\t26\tcaf\\u00E9\tline\\r\\nbreak\n"
            "2\t0\t0\t0\t-\t-\t-\t-\t-\t4294967295\t-\t-\n");
  // Texts stay on one ASCII line.
  EXPECT_EQ(escapeText(u"a\r\nb\tc\\d\u00E9\u20AC\x01"), "a\\r\\nb\\tc\\\\d\\u00E9\\u20AC\\u0001");
}

TEST(CliCommands, GradeRebuildAndResetChangeTheCollectionOnDisk) {
  fakes::TempDir dir;
  const auto base = dir / "deck";
  writeDeck(base);
  const std::string b = base.string();

  RunResult graded = runCli("grade " + b + " 0 good --today 2004-08-14");
  EXPECT_EQ(graded.exitCode, 0) << graded.out;
  EXPECT_EQ(graded.out, "0\t2\t5\t8993\t2500\t1\t0\t0\t0\t0\tHund\tdog\n");

  std::filesystem::remove(dir / "deck.kbi");
  RunResult rebuilt = runCli("rebuild " + b + " --today 2004-08-14");
  // The item never written has no record to rebuild from; the memorized item's record still
  // says Pending, as only grades and status commands write a status into a record.
  EXPECT_EQ(rebuilt.out, "2\n");
  EXPECT_EQ(runCli("list " + b + " --today 2004-08-14").out,
            "0\t2\t5\t8993\t2500\t1\t0\t0\t0\t0\tHund\tdog\n"
            "1\t0\t6\t8990\t2500\t0\t0\t70000\t1\t26\tcaf\\u00E9\tline\\r\\nbreak\n");

  EXPECT_EQ(runCli("reset " + b + " < /dev/null").out, "Reset database? [y/N] ");
  EXPECT_NE(runCli("info " + b).out.find("memorizedCount: 1"), std::string::npos);
  EXPECT_EQ(runCli("reset --yes " + b).exitCode, 0);
  EXPECT_NE(runCli("info " + b).out.find("memorizedCount: 0"), std::string::npos);

  EXPECT_EQ(runCli("grade " + b + " 9 good").exitCode, 1);
  EXPECT_EQ(runCli("grade " + b + " 0 superb").exitCode, 2);
}

TEST(CliCommands, RebuildOfACollectionHeldElsewhereTouchesNothing) {
  fakes::TempDir dir;
  const auto base = dir / "deck";
  writeDeck(base);
  const auto indexBefore = std::filesystem::file_size(dir / "deck.kbi");
  platform::PosixFileSystem files;
  fakes::RecordingMessages messages;
  store::Collection other(files, messages, [] { return store::DayNumber{9000}; });
  ASSERT_TRUE(store::openCollection(other, base));

  RunResult rebuilt = runCli("rebuild " + base.string());
  EXPECT_EQ(rebuilt.exitCode, 1);
  EXPECT_NE(rebuilt.out.find("being used by another process"), std::string::npos) << rebuilt.out;
  ASSERT_TRUE(std::filesystem::exists(dir / "deck.kbi"));
  EXPECT_EQ(std::filesystem::file_size(dir / "deck.kbi"), indexBefore);
  EXPECT_EQ(other.header.itemCount, 3);
  EXPECT_TRUE(other.closeCollection());
  EXPECT_EQ(runCli("rebuild " + base.string()).exitCode, 0);
}

TEST(CliCommands, ImportAndExportTravelBothFormats) {
  fakes::TempDir dir;
  writeFile(dir / "deck.txt", "Q: Hund\nA: dog\n\nQ: caf\xC3\xA9\nA: coffee\n");
  const std::string d = dir.path().string();
  RunResult imported = runCli("import-qa " + d + "/deck.txt --today 2004-08-14");
  EXPECT_EQ(imported.exitCode, 0);
  EXPECT_EQ(imported.out, "Your file has been imported into:\n" + d + "/deck.kdb\n");
  EXPECT_EQ(runCli("import-qa " + d + "/deck.txt < /dev/null").exitCode, 1) << "declined";
  EXPECT_EQ(runCli("grade " + d + "/deck 1 bright --today 2004-08-14").exitCode, 0);

  RunResult exported =
      runCli("export-xml " + d + "/deck " + d + "/copy.xml --now '2004-08-14 09:05'");
  EXPECT_EQ(exported.out, "Database has been exported into:\n" + d + "/copy.xml\n");
  EXPECT_EQ(runCli("--yes import-xml " + d + "/copy.xml --today 2004-08-14").exitCode, 0);
  EXPECT_EQ(runCli("list " + d + "/copy --today 2004-08-14").out,
            "0\t0\t0\t0\t2500\t0\t0\t0\t0\t0\tHund\tdog\n"
            "1\t2\t6\t8993\t2600\t1\t0\t0\t1\t26\tcaf\\u00E9\tcoffee\n");
  EXPECT_NE(runCli("export-qa " + d + "/nothing " + d + "/x.txt").exitCode, 0);
}

TEST(CliCommands, AnImportOfCharactersTheCompressedFormLosesIsStoredInUnicode) {
  fakes::TempDir dir;
  writeFile(dir / "cjk.txt", "Q: \xE8\xAA\x9E\nA: word\n");
  const std::string d = dir.path().string();
  RunResult unicode = runCli("import-qa " + d + "/cjk.txt");
  EXPECT_EQ(unicode.exitCode, 0);
  EXPECT_NE(unicode.out.find("stored in Unicode"), std::string::npos) << unicode.out;
  EXPECT_NE(runCli("list " + d + "/cjk").out.find("\\u8A9E\tword"), std::string::npos);
  RunResult compressed = runCli("--yes --compressed import-qa " + d + "/cjk.txt");
  EXPECT_EQ(compressed.exitCode, 0);
  EXPECT_EQ(compressed.out.find("stored in Unicode"), std::string::npos) << compressed.out;
  EXPECT_NE(runCli("list " + d + "/cjk").out.find("\t?\tword"), std::string::npos);
}

TEST(CliCommands, UndoTakesBackGradesAcrossRunsAndHistoryListsThemNewestFirst) {
  fakes::TempDir dir;
  writeFile(dir / "deck.txt", "Q: one\nA: 1\n\nQ: two\nA: 2\n");
  const std::string d = dir.path().string();
  ASSERT_EQ(runCli("--yes import-qa " + d + "/deck.txt").exitCode, 0);
  const std::string fresh = runCli("list " + d + "/deck --today 2004-08-14").out;
  ASSERT_EQ(runCli("grade " + d + "/deck 0 Good --today 2004-08-14").exitCode, 0);
  ASSERT_EQ(runCli("grade " + d + "/deck 1 Fail --today 2004-08-14").exitCode, 0);
  EXPECT_EQ(runCli("history " + d + "/deck").out,
            "1\t1\tgrade 2\t0\t1\t0\t3\t0\t1\n"
            "2\t0\tgrade 4\t0\t2\t0\t5\t0\t1\n");
  RunResult undone = runCli("undo " + d + "/deck 3 --today 2004-08-14");
  EXPECT_EQ(undone.exitCode, 0) << "two of three is still an undo";
  EXPECT_NE(undone.out.find("only 2 of 3"), std::string::npos) << undone.out;
  EXPECT_EQ(runCli("list " + d + "/deck --today 2004-08-14").out, fresh);
  RunResult nothing = runCli("undo " + d + "/deck");
  EXPECT_NE(nothing.exitCode, 0);
  EXPECT_NE(nothing.out.find("nothing to undo"), std::string::npos) << nothing.out;
  EXPECT_NE(runCli("undo " + d + "/deck 0").exitCode, 0);
}

// due lists what calendar counts: today's line holds the item graded weeks ago and overdue
// since, a later day the one due then; a date outside the day range is a usage error.
TEST(CliCommands, DueListsTheItemsCalendarCountsOnEachDay) {
  fakes::TempDir dir;
  writeFile(dir / "deck.txt", "Q: one\nA: 1\n\nQ: two\nA: 2\n\nQ: three\nA: 3\n");
  const std::string d = dir.path().string() + "/deck";
  ASSERT_EQ(runCli("--yes import-qa " + d + ".txt").exitCode, 0);
  ASSERT_EQ(runCli("grade " + d + " 0 Good --today 2004-08-14").exitCode, 0);    // the 19th
  ASSERT_EQ(runCli("grade " + d + " 1 Fail --today 2004-08-14").exitCode, 0);    // the 17th
  ASSERT_EQ(runCli("grade " + d + " 2 Bright --today 2004-07-01").exitCode, 0);  // overdue
  const RunResult month = runCli("calendar " + d + " --today 2004-08-14");
  ASSERT_EQ(month.exitCode, 0);
  std::istringstream lines(month.out);
  std::string line;
  int days = 0;
  while (std::getline(lines, line)) {
    ++days;
    const std::string date = line.substr(0, 10);
    const int count = std::stoi(line.substr(11));
    const RunResult due = runCli("due " + d + " " + date + " --today 2004-08-14");
    ASSERT_EQ(due.exitCode, 0);
    EXPECT_EQ(std::count(due.out.begin(), due.out.end(), '\n'), count) << line;
  }
  EXPECT_EQ(days, 31);
  const RunResult today = runCli("due " + d + " --today 2004-08-14");
  EXPECT_NE(today.out.find("\tthree\t3\n"), std::string::npos) << today.out;
  EXPECT_EQ(runCli("due " + d + " 2004-08-19 --today 2004-08-14").out.substr(0, 2), "0\t");
  EXPECT_EQ(runCli("calendar " + d + " 2159-06").out.size(), 4 * 13u);  // 4 days of 13 bytes
  EXPECT_EQ(runCli("calendar " + d + " 2159-07").exitCode, 2);
  EXPECT_EQ(runCli("due " + d + " 2004-02-30").exitCode, 2);
}

TEST(CliCommands, UpdateXmlTakesTheFilesTextsAndKeepsEachItemsProgress) {
  fakes::TempDir dir;
  const std::string d = dir.path().string();
  const auto element = [](const std::string& id, const std::string& question) {
    return "<KelvoraElement><ID>" + id + "</ID><Content><Question>" + question +
           "</Question><Answer>a</Answer></Content><LearningData><Repetitions>0</Repetitions>"
           "<Lapses>0</Lapses><AFactor>2.5</AFactor></LearningData></KelvoraElement>\n";
  };
  writeFile(dir / "deck.xml", "<KelvoraCollection>" + element("7", "one") + element("8", "two") +
                                  "</KelvoraCollection>");
  ASSERT_EQ(runCli("import-xml " + d + "/deck.xml --today 2004-08-14").exitCode, 0);
  ASSERT_EQ(runCli("grade " + d + "/deck 0 Good --today 2004-08-14").exitCode, 0);
  writeFile(dir / "v2.xml", "<KelvoraCollection>" + element("7", "one, mended") +
                                element("9", "three") + "</KelvoraCollection>");
  const RunResult updated = runCli("update-xml " + d + "/deck " + d + "/v2.xml --today 2004-08-14");
  EXPECT_EQ(updated.exitCode, 0) << updated.out;
  EXPECT_EQ(updated.out, "The collection has been updated from:\n" + d +
                             "/v2.xml\n\nItems updated: 1\nItems added: 1\nItems left alone: 1\n");
  EXPECT_EQ(runCli("list " + d + "/deck --today 2004-08-14").out,
            "0\t2\t5\t8993\t1756\t1\t0\t7\t0\t44\tone, mended\ta\n"
            "1\t0\t0\t0\t1756\t0\t0\t8\t1\t22\ttwo\ta\n"
            "2\t0\t0\t0\t1756\t0\t0\t9\t2\t74\tthree\ta\n");
  const RunResult missing = runCli("update-xml " + d + "/deck " + d + "/none.xml");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.out.find("Error while updating database!"), std::string::npos) << missing.out;
  EXPECT_EQ(runCli("update-xml " + d + "/deck").exitCode, 2);
}

TEST(CliCommands, ImportAnkiMakesANewCollectionAndLeavesThePackageAsItWas) {
  fakes::TempDir dir;
  const std::string d = dir.path().string();
  setenv("TZ", "UTC", 1);  // the local day of a review is the day the test means
  testing::PackageContents contents;
  contents.noteTypes = {
      {1, false, {"Front", "Back"}, {{"{{Front}}", "{{FrontSide}}<hr id=answer>{{Back}}"}}}};
  contents.notes = {{1, "a", 1, {"one", "eins"}, ""}, {2, "b", 1, {"two", "zwei"}, ""}};
  // Card 10 was last reviewed on 4 August 2004 (day 8983) with an interval of 30 days.
  contents.cards = {{10, 1, 0, 2, 2, 0, 30, 2300, 2}, {11, 2, 0, 0, 0, 1}};
  contents.reviews = {{(8983 + 3651) * std::int64_t{86400000} + 3600000, 10, 3, 1}};
  testing::writePackage(contents, dir / "deck.apkg");
  std::ifstream before(dir / "deck.apkg", std::ios::binary);
  const std::string packageBytes((std::istreambuf_iterator<char>(before)), {});

  const RunResult imported = runCli("import-anki " + d + "/deck.apkg " + d + "/new");
  EXPECT_EQ(imported.exitCode, 0) << imported.out;
  EXPECT_EQ(imported.out,
            "Your file has been imported into:\n" + d +
                "/new.kdb\n\nItems added: 2\n\n"
                "Not kept (a collection cannot hold them):\n  review history entries: 1\n");
  const std::string list = runCli("list " + d + "/new --today 2004-08-14").out;
  // Memorized, 30 days from 4 August, factor 2300, one repetition, two lapses.
  EXPECT_EQ(list.rfind("0\t2\t30\t8983\t2300\t1\t2\t", 0), 0u) << list;
  EXPECT_NE(list.find("\tone\teins\n"), std::string::npos) << list;
  EXPECT_NE(list.find("\ttwo\tzwei\n"), std::string::npos) << list;

  // Into the collection it made, the same package changes nothing; a mended note updates its item.
  const RunResult again = runCli("import-anki " + d + "/deck.apkg " + d + "/new");
  EXPECT_EQ(again.exitCode, 0) << again.out;
  EXPECT_NE(again.out.find("merged into:\n" + d +
                           "/new.kdb\n\nItems added: 0\nItems updated: 0\n"
                           "Items unchanged: 2\n"),
            std::string::npos)
      << again.out;
  contents.notes[0].fields[1] = "eins, mended";
  testing::writePackage(contents, dir / "mended.apkg");
  const RunResult mended = runCli("import-anki " + d + "/mended.apkg " + d + "/new");
  EXPECT_NE(mended.out.find("Items updated: 1\n"), std::string::npos) << mended.out;
  const std::string merged = runCli("list " + d + "/new --today 2004-08-14").out;
  // Its progress is kept; the merge ran today, long after it fell due, so it is Outstanding.
  EXPECT_EQ(merged.rfind("0\t3\t30\t8983\t2300", 0), 0u) << merged;
  EXPECT_NE(merged.find("\tone\teins, mended\n"), std::string::npos) << merged;
  writeFile(dir / "broken.apkg", "not a zip at all");
  const RunResult broken = runCli("import-anki " + d + "/broken.apkg " + d + "/other");
  EXPECT_EQ(broken.exitCode, 1);
  EXPECT_NE(broken.out.find("The file cannot be imported: the file is not a readable package"),
            std::string::npos)
      << broken.out;
  EXPECT_FALSE(std::filesystem::exists(dir / "other.kdb"));
  std::ifstream after(dir / "deck.apkg", std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), {}), packageBytes);

  // Back out to Anki, and in again as a new collection with the same items.
  const RunResult exported = runCli("export-anki " + d + "/new " + d + "/out.apkg");
  EXPECT_EQ(exported.exitCode, 0) << exported.out;
  EXPECT_EQ(exported.out, "Database has been exported into:\n" + d + "/out.apkg\n\nNotes: 2\n");
  EXPECT_EQ(runCli("import-anki " + d + "/out.apkg " + d + "/back").exitCode, 0);
  const std::string back = runCli("list " + d + "/back").out;
  EXPECT_NE(back.find("\t30\t8983\t2300\t1\t2\t"), std::string::npos) << back;
  EXPECT_NE(back.find("\tone\teins, mended\n"), std::string::npos) << back;
  const RunResult none = runCli("export-anki " + d + "/none " + d + "/none.apkg");
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "none.apkg"));
}

TEST(CliCommands, ImportCsvTakesTheColumnsAndSeparatorGiven) {
  fakes::TempDir dir;
  const std::string d = dir.path().string();
  writeFile(dir / "t.csv", "n|q|a\n1|one|eins\n2|two|zwei\n");
  const RunResult imported =
      runCli("import-csv " + d + "/t.csv " + d + "/t --separator '|' --columns 2,3");
  EXPECT_EQ(imported.exitCode, 0) << imported.out;
  const std::string list = runCli("list " + d + "/t").out;
  EXPECT_NE(list.find("\tq\ta\n"), std::string::npos) << list;
  EXPECT_NE(list.find("\ttwo\tzwei\n"), std::string::npos) << list;
  EXPECT_EQ(runCli("import-csv " + d + "/t.csv " + d + "/u --columns 0,1").exitCode, 2);
  EXPECT_EQ(runCli("import-kvtml " + d + "/t.csv " + d + "/u --pair 1").exitCode, 2);
  const RunResult notKvtml = runCli("import-kvtml " + d + "/t.csv " + d + "/u");
  EXPECT_EQ(notKvtml.exitCode, 1);
  EXPECT_NE(notKvtml.out.find("cannot be imported"), std::string::npos) << notKvtml.out;
  EXPECT_FALSE(std::filesystem::exists(dir / "u.kdb"));
}

TEST(CliScript, UnansweredQuestionsAndLeftoverAnswersEndWithStatusThree) {
  fakes::TempDir dir;
  auto script = [&](const std::string& text) {
    writeFile(dir / "s", text);
    return runCli("script " + (dir / "s").string());
  };
  RunResult unanswered = script("command 40004\n");
  EXPECT_EQ(unanswered.exitCode, 3);
  EXPECT_EQ(unanswered.out,
            "dialog Open database...\nerror: no answer for dialog Open database...\n");
  RunResult leftover = script("yes\n");
  EXPECT_EQ(leftover.exitCode, 3);
  EXPECT_EQ(script("frobnicate\n").exitCode, 2);
  EXPECT_EQ(script("cancel\ncommand 40004\nkey Enter\ntimer\n").exitCode, 0);
}

TEST(CliListing, MissingCollectionsAndBadUsageFail) {
  fakes::TempDir dir;
  RunResult missing = runCli("info " + (dir / "nothing").string());
  EXPECT_NE(missing.exitCode, 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "nothing.kdb")) << "inspecting creates nothing";
  EXPECT_EQ(runCli("frob x").exitCode, 2);
  RunResult help = runCli("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("info BASE"), std::string::npos);
}

}  // namespace
}  // namespace kelvora::cli
