// The store on real files: a child process killed with SIGKILL at each write of a change, and
// a tmpfs that is really full. The collection always opens with every item as before or after.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/posix_file_system.h"
#include "recording_messages.h"
#include "store/collection.h"
#include "store/collection_opening.h"
#include "temp_dir.h"

namespace kelvora::platform {
namespace {

using store::Collection;

store::DayNumber fixedToday() { return 9000; }

// The POSIX port, with the process killed just before its write operation number killAt.
class KillingFileSystem final : public store::FileSystem {
 public:
  explicit KillingFileSystem(long killAt) : m_killAt(killAt) {}

  std::unique_ptr<store::BinaryFile> openExclusive(const std::filesystem::path& path,
                                                   store::OpenError& error) override {
    if (!std::filesystem::exists(path)) step();
    auto file = m_posix.openExclusive(path, error);
    return file ? std::make_unique<File>(*this, std::move(file)) : nullptr;
  }
  std::unique_ptr<store::BinaryFile> openForReading(const std::filesystem::path& path,
                                                    store::OpenError* error) override {
    return m_posix.openForReading(path, error);
  }
  std::unique_ptr<store::BinaryFile> createForWriting(const std::filesystem::path& path,
                                                      store::OpenError* error) override {
    step();
    auto file = m_posix.createForWriting(path, error);
    return file ? std::make_unique<File>(*this, std::move(file)) : nullptr;
  }
  store::IoResult remove(const std::filesystem::path& path) override {
    step();
    return m_posix.remove(path);
  }
  store::IoResult rename(const std::filesystem::path& from,
                         const std::filesystem::path& to) override {
    step();
    return m_posix.rename(from, to);
  }
  store::IoResult syncFolder(const std::filesystem::path& folder) override {
    step();
    return m_posix.syncFolder(folder);
  }
  bool exists(const std::filesystem::path& path) override { return m_posix.exists(path); }
  store::IoResult createFolder(const std::filesystem::path& folder) override {
    step();
    return m_posix.createFolder(folder);
  }

  long steps() const { return m_steps; }

 private:
  class File final : public store::BinaryFile {
   public:
    File(KillingFileSystem& owner, std::unique_ptr<store::BinaryFile> file)
        : m_owner(owner), m_file(std::move(file)) {}
    store::IoResult readAt(std::uint64_t offset, std::span<std::uint8_t> into) override {
      return m_file->readAt(offset, into);
    }
    store::IoResult writeAt(std::uint64_t offset, std::span<const std::uint8_t> from) override {
      m_owner.step();
      return m_file->writeAt(offset, from);
    }
    std::optional<std::uint64_t> size() override { return m_file->size(); }
    store::IoResult truncate(std::uint64_t size) override {
      m_owner.step();
      return m_file->truncate(size);
    }
    store::IoResult sync() override {
      m_owner.step();
      return m_file->sync();
    }
    store::IoResult close() override { return m_file->close(); }

   private:
    KillingFileSystem& m_owner;
    std::unique_ptr<store::BinaryFile> m_file;
  };

  void step() {
    if (m_steps++ == m_killAt) kill(getpid(), SIGKILL);
  }

  PosixFileSystem m_posix;
  long m_killAt;
  long m_steps = 0;
};

// Question texts and intervals of every item, as a fresh program finds them.
std::vector<std::string> listAt(const std::filesystem::path& base) {
  PosixFileSystem files;
  fakes::RecordingMessages messages;
  Collection c(files, messages, fixedToday);
  if (!store::openCollection(c, base)) return {"does not open"};
  std::vector<std::string> out;
  for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
    c.currentPosition = p;
    if (!c.readItem(p)) out.push_back("unreadable");
    out.push_back(std::string(c.loaded.question.begin(), c.loaded.question.end()) + " " +
                  std::to_string(c.table[p].interval) + " " +
                  std::to_string(c.loaded.header.repetitions));
  }
  if (!c.closeCollection()) out.push_back("close failed");
  return out;
}

void makeCollection(const std::filesystem::path& base) {
  PosixFileSystem files;
  fakes::RecordingMessages messages;
  Collection c(files, messages, fixedToday);
  ASSERT_TRUE(store::createCollection(c, base));
  for (std::uint16_t p = 0; p < 3; ++p) {
    c.header.itemCount = p + 1;
    c.table[p].recordOffset = store::kNoRecord;
    c.currentPosition = p;
    c.readItem(p);
    c.loaded.question = u"question " + std::u16string(1, char16_t(u'0' + p));
    c.loaded.answer = u"answer";
    c.loaded.itemModified = true;
    ASSERT_TRUE(c.flushItem());
  }
  ASSERT_TRUE(c.closeCollection());
}

// A learning step and an edit that moves its record, then the close.
void change(Collection& c) {
  c.currentPosition = 1;
  c.readItem(1);
  c.table[1].interval = 4;
  c.table[1].status = store::code(store::ItemStatus::Memorized);
  c.loaded.header.repetitions = 1;
  if (!c.writeItem(1)) _exit(3);
  c.currentPosition = 2;
  c.readItem(2);
  c.loaded.question = u"question 2, much longer now";
  c.loaded.itemModified = true;
  if (!c.flushItem()) _exit(3);
  if (!c.closeCollection()) _exit(3);
}

TEST(RealKill, EveryWriteOfAGradeAnEditAndTheCloseLeavesAWholeCollection) {
  fakes::TempDir dir;
  const auto base = dir / "deck";
  makeCollection(base);
  const auto before = listAt(base);
  const std::vector<std::string> after = {"question 0 0 0", "question 1 4 1",
                                          "question 2, much longer now 0 0"};
  ASSERT_EQ(before.size(), 3u);
  for (long k = 0;; ++k) {
    std::filesystem::remove_all(dir / "run");
    std::filesystem::create_directory(dir / "run");
    for (const char* ext : {".kdb", ".kbi", ".cfg"}) {
      std::filesystem::copy_file(dir / ("deck" + std::string(ext)),
                                 dir / ("run/deck" + std::string(ext)));
    }
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      KillingFileSystem files(k);
      fakes::RecordingMessages messages;
      Collection c(files, messages, fixedToday);
      if (!store::openCollection(c, dir / "run/deck")) _exit(2);
      change(c);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    const auto found = listAt(dir / "run/deck");
    ASSERT_EQ(found.size(), 3u) << "killed at " << k;
    for (std::size_t p = 0; p < 3; ++p) {
      EXPECT_TRUE(found[p] == before[p] || found[p] == after[p])
          << "killed at " << k << ": " << found[p];
    }
    if (WIFEXITED(status)) {
      ASSERT_EQ(WEXITSTATUS(status), 0);
      EXPECT_EQ(found, after);
      EXPECT_GT(k, 5);
      break;
    }
  }
}

// A tmpfs of its own, where the machine lets the tests mount one.
class SmallDisk {
 public:
  explicit SmallDisk(const std::filesystem::path& at) : m_at(at) {
    std::filesystem::create_directory(at);
    m_mounted = ::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=256k") == 0;
  }
  ~SmallDisk() {
    if (m_mounted) ::umount(m_at.c_str());
  }
  bool mounted() const { return m_mounted; }
  // Fills every free byte with a file that freeSpace() removes again.
  void fill() {
    std::ofstream filler(m_at / "filler", std::ios::binary);
    std::string block(4096, 'x');
    while (filler.write(block.data(), block.size())) {
    }
  }
  void freeSpace() { std::filesystem::remove(m_at / "filler"); }

 private:
  std::filesystem::path m_at;
  bool m_mounted = false;
};

TEST(RealFullDisk, ChangesThatDoNotFitAreReportedAndTheCollectionListsAsBefore) {
  fakes::TempDir dir;
  SmallDisk disk(dir / "small");
  if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
  const auto base = dir / "small/deck";
  makeCollection(base);
  const auto before = listAt(base);
  disk.fill();
  {
    PosixFileSystem files;
    fakes::RecordingMessages messages;
    Collection c(files, messages, fixedToday);
    ASSERT_TRUE(store::openCollection(c, base));
    c.currentPosition = 0;
    c.readItem(0);
    c.loaded.question = std::u16string(3000, u'x');  // grows: needs room the disk does not have
    c.loaded.itemModified = true;
    EXPECT_FALSE(c.flushItem());
    EXPECT_EQ(messages.texts().back(), u"Error while saving database!");
    EXPECT_TRUE(c.closeCollection());
  }
  disk.freeSpace();
  EXPECT_EQ(listAt(base), before);
}

}  // namespace
}  // namespace kelvora::platform
