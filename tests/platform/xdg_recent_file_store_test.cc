// The recent file on a real disk: round trips, a missing or unusable file, and where the
// configuration folder is.
#include "platform/xdg_recent_file_store.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/documents_folder.h"
#include "store/recent_file_format.h"
#include "temp_dir.h"

namespace kelvora::platform {
namespace {

using store::RecentFiles;

std::string fileText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(XdgRecentFileStore, SaveCreatesTheFolderAndLoadReadsTheSameBytesBack) {
  fakes::TempDir tmp;
  XdgRecentFileStore store(tmp / "home/.config/kelvora");
  const RecentFiles list{{"/c/deck one", "/c/\xFF\xFE-latin1", ""}};
  ASSERT_TRUE(store.write(list));
  EXPECT_EQ(fileText(tmp / "home/.config/kelvora/recent"),
            "File1=/c/deck one\nFile2=/c/\xFF\xFE-latin1\nFile3=\n");
  EXPECT_EQ(store.read(), list);

  // A second save replaces the file and leaves no temporary file behind.
  ASSERT_TRUE(store.write(RecentFiles{{"/z", "", ""}}));
  EXPECT_EQ(store.read(), (RecentFiles{{"/z", "", ""}}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp / "home/.config/kelvora"),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(XdgRecentFileStore, AMissingFileIsAnEmptyListAndUnusablePlacesAreSkippedUntouched) {
  fakes::TempDir tmp;
  EXPECT_EQ(XdgRecentFileStore(tmp / "kelvora").read(), RecentFiles{});

  // A plain file where a folder should be: nothing can be created below it, even for root.
  std::ofstream(tmp / "blocker") << "x";
  XdgRecentFileStore blocked(tmp / "blocker/kelvora");
  EXPECT_FALSE(blocked.write(RecentFiles{{"/a", "", ""}}));
  EXPECT_EQ(blocked.read(), std::nullopt);

  // A folder named like the file cannot be read as a list nor replaced by one.
  std::filesystem::create_directories(tmp / "kelvora/recent");
  XdgRecentFileStore occupied(tmp / "kelvora");
  EXPECT_EQ(occupied.read(), std::nullopt);
  EXPECT_FALSE(occupied.write(RecentFiles{{"/a", "", ""}}));
  EXPECT_TRUE(std::filesystem::is_directory(tmp / "kelvora/recent"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp / "kelvora"),
                          std::filesystem::directory_iterator()),
            1);

  std::ofstream(tmp / "recent") << "File1=/a\n" << std::string(store::kMaxRecentFileBytes, '#');
  EXPECT_EQ(XdgRecentFileStore(tmp.path()).read(), std::nullopt);  // too long to be ours

  XdgRecentFileStore nowhere{std::filesystem::path()};
  EXPECT_EQ(nowhere.read(), std::nullopt);
  EXPECT_FALSE(nowhere.write(RecentFiles{}));
}

TEST(XdgRecentFileStore, ConfigFolderFollowsXdgConfigHomeThenHome) {
  struct Case {
    const char* xdgConfigHome;
    const char* home;
    const char* expected;  // nullptr: no folder
  };
  const Case cases[] = {
      {"/x/", "", "/x/kelvora"},
      {"", "/h", "/h/.config/kelvora"},
      {"rel/x", "/h", "/h/.config/kelvora"},
      {"", "rel", nullptr},
  };
  for (const Case& c : cases) {
    std::optional<std::filesystem::path> dir = configDirFor(c.xdgConfigHome, c.home);
    if (c.expected == nullptr) {
      EXPECT_EQ(dir, std::nullopt) << c.xdgConfigHome << " " << c.home;
    } else {
      EXPECT_EQ(dir.value_or("").native(), c.expected) << c.xdgConfigHome << " " << c.home;
    }
  }
}

TEST(DocumentsFolder, XdgFirstThenTheDesktopsChoiceThenHomeAndNothingRelative) {
  struct Row {
    std::string_view xdg;
    std::filesystem::path desktop;
    std::string_view home;
    std::filesystem::path folder;
  };
  for (const Row& r : {Row{"/d", "/desk", "/h", "/d"}, Row{"rel", "/desk", "/h", "/desk"},
                       Row{"", "", "/h", "/h/Documents"}, Row{"", "", "h", ""}}) {
    EXPECT_EQ(documentsFolderFor(r.xdg, r.desktop, r.home), r.folder) << r.xdg << r.home;
  }
}

}  // namespace
}  // namespace kelvora::platform
