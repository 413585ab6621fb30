// The recent list: its order after each opening, what a load drops, and the file's lines.
#include "store/recent_files.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "memory_recent_file_store.h"
#include "store/recent_file_format.h"

namespace kelvora::store {
namespace {

RecentFiles listOf(const std::string& a, const std::string& b, const std::string& c) {
  return {{std::filesystem::path(a), std::filesystem::path(b), std::filesystem::path(c)}};
}

std::string describe(const RecentFiles& list) {
  return list.entries[0].native() + "|" + list.entries[1].native() + "|" + list.entries[2].native();
}

TEST(RecentFiles, OpeningsKeepTheListInRecencyOrderWithoutDuplicates) {
  struct Case {
    std::vector<std::string> opened;
    std::string expected;
  };
  const Case cases[] = {
      {{"/W", "/X", "/Y", "/Z"}, "/Z|/Y|/X"},
      {{"/X", "/W", "/X"}, "/X|/W|"},
      {{"/W", "/W"}, "/W||"},
      {{"/X", "/Y", "/Z", "/X"}, "/X|/Z|/Y"},  // the third entry moves to the top
      {{"/c/Deck", "/c/deck"}, "/c/deck|/c/Deck|"},
      {{"/c/a//b", "/c/a/b"}, "/c/a/b|/c/a//b|"},  // spelling counts, not what it points at
  };
  for (const Case& c : cases) {
    RecentFiles list;
    for (const std::string& base : c.opened) updateRecentList(list, base);
    EXPECT_EQ(describe(list), c.expected) << c.opened.size() << " openings";
  }
  // The base may be one of the list's own entries.
  RecentFiles list = listOf("/a", "/b", "/c");
  updateRecentList(list, list.entries[2]);
  EXPECT_EQ(describe(list), "/c|/a|/b");
}

TEST(RecentFiles, LoadDropsVanishedCollectionsAndClosesTheGaps) {
  struct Case {
    RecentFiles stored;
    std::set<std::string> missing;
    std::string expected;
  };
  const Case cases[] = {
      {listOf("/a", "/b", "/c"), {}, "/a|/b|/c"},
      {listOf("/a", "/b", "/c"), {"/c"}, "/a|/b|"},
      {listOf("/a", "/b", "/c"), {"/b"}, "/a|/c|"},
      {listOf("/a", "/b", "/c"), {"/a"}, "/b|/c|"},
      {listOf("/a", "/b", "/c"), {"/a", "/b"}, "/c||"},
      {listOf("/a", "/b", "/c"), {"/a", "/b", "/c"}, "||"},
      // An empty entry is never looked up (a ".kdb" in the working folder must not keep it).
      {listOf("", "/b", ""), {}, "/b||"},
      {listOf("", "", "/c"), {}, "/c||"},
  };
  for (const Case& c : cases) {
    fakes::MemoryRecentFileStore store;
    store.stored = c.stored;
    std::vector<std::string> asked;
    RecentFiles list = listOf("/old", "/old", "/old");
    loadRecentFiles(list, store, [&](const std::filesystem::path& p) {
      asked.push_back(p.native());
      return !c.missing.contains(p.native());
    });
    EXPECT_EQ(describe(list), c.expected) << describe(c.stored) << " missing " << c.missing.size();
    // Each entry is looked up once at most, an empty one never.
    std::set<std::string> distinct(asked.begin(), asked.end());
    EXPECT_EQ(distinct.size(), asked.size());
    EXPECT_FALSE(distinct.contains(""));
  }
}

TEST(RecentFiles, UnreadableStoreLeavesTheListAndSaveReportsFailure) {
  fakes::MemoryRecentFileStore store;
  store.failing = true;
  RecentFiles list = listOf("/a", "/b", "");
  loadRecentFiles(list, store, [](const std::filesystem::path&) { return false; });
  EXPECT_EQ(describe(list), "/a|/b|");
  EXPECT_FALSE(saveRecentFiles(list, store));
  store.failing = false;
  EXPECT_TRUE(saveRecentFiles(list, store));
  EXPECT_EQ(store.stored, list);
}

TEST(RecentFileFormat, ParsingToleratesWhatEditorsAndOtherToolsLeave) {
  struct Case {
    std::string bytes;
    std::string expected;
  };
  const Case cases[] = {
      {"", "||"},
      {"File1=/a\nFile2=/b\nFile3=/c\n", "/a|/b|/c"},
      {"File3=/c\r\nFile1=/a\r\n", "/a||/c"},
      {"\xEF\xBB\xBF"
       "File1=/a",
       "/a||"},
      {"# note\nFile9=/z\nfile1=/x\nFile1\n=/y\nFile2=/b", "|/b|"},
      {"File1=/a\nFile1=/b\n", "/b||"},
      {"File1= /a b \n", " /a b ||"},
      {"File1=/\xFF\xFE\xC3\n", "/\xFF\xFE\xC3||"},
  };
  for (const Case& c : cases) EXPECT_EQ(describe(parseRecentFile(c.bytes)), c.expected) << c.bytes;
}

TEST(RecentFileFormat, WritesThreeLfLinesAndBlanksPathsWithLineBreaks) {
  EXPECT_EQ(formatRecentFile(listOf("/a b=c", "", "/\xFF")), "File1=/a b=c\nFile2=\nFile3=/\xFF\n");
  EXPECT_EQ(formatRecentFile(listOf("/a\nb", "/c\rd", "/e")), "File1=\nFile2=\nFile3=/e\n");
  const RecentFiles odd = listOf(" /lead", "/x=y", "/\xEF\xBB\xBF\xFF");
  EXPECT_EQ(parseRecentFile(formatRecentFile(odd)), odd);
}

}  // namespace
}  // namespace kelvora::store
