// Collections on a real disk: the lock that keeps a collection open in one place, and the
// messages when it is taken.
#include "platform/posix_file_system.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "recording_messages.h"
#include "store/collection.h"
#include "store/collection_opening.h"
#include "temp_dir.h"

namespace kelvora::platform {
namespace {

using store::Collection;
using store::OpenError;

store::DayNumber fixedToday() { return 9000; }

// Waits for a child and tells whether it ended the way the test expects.
int waitFor(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

TEST(PosixFiles, ExclusiveOpenRefusesASecondOpeningUntilClosed) {
  fakes::TempDir dir;
  PosixFileSystem files;
  OpenError error = OpenError::None;
  auto first = files.openExclusive(dir / "x.kdb", error);
  ASSERT_TRUE(first);
  EXPECT_FALSE(files.openExclusive(dir / "x.kdb", error));
  EXPECT_EQ(error, OpenError::SharingViolation);
  EXPECT_TRUE(first->close().ok());
  EXPECT_TRUE(files.openExclusive(dir / "x.kdb", error));
  EXPECT_EQ(error, OpenError::None);
}

TEST(PosixFiles, OddPathsFailToOpenWithoutCrashing) {
  fakes::TempDir dir;
  PosixFileSystem files;
  OpenError error = OpenError::None;
  EXPECT_FALSE(files.openExclusive(dir.path(), error));  // a folder
  EXPECT_NE(error, OpenError::None);
  EXPECT_FALSE(files.openExclusive(dir / "missing/x.kdb", error));
  EXPECT_EQ(error, OpenError::Other);
  EXPECT_FALSE(files.openForReading(dir.path()));
  EXPECT_FALSE(files.createForWriting(dir / "missing/x.txt"));
}

TEST(PosixFiles, ReadOnlyFileIsAccessDenied) {
  fakes::TempDir dir;
  PosixFileSystem files;
  files.createForWriting(dir / "ro.kdb");
  namespace fs = std::filesystem;
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  fs::permissions(dir / "ro.kdb",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  // Permissions do not bind the superuser, so the check runs as an ordinary user.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    OpenError error = OpenError::None;
    auto file = files.openExclusive(dir / "ro.kdb", error);
    _exit(!file && error == OpenError::AccessDenied ? 0 : 1);
  }
  int status = waitFor(child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "cannot drop privileges here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(PosixFiles, CollectionOpenInAnotherProcessGivesTheSharingMessage) {
  fakes::TempDir dir;
  const auto base = dir / "held";
  int ready[2];
  int release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    PosixFileSystem files;
    fakes::RecordingMessages messages;
    Collection c(files, messages, fixedToday);
    bool ok = store::createCollection(c, base);
    char byte = ok ? 1 : 0;
    (void)!write(ready[1], &byte, 1);
    (void)!read(release[0], &byte, 1);
    EXPECT_TRUE(c.closeCollection());
    _exit(ok ? 0 : 1);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 1);

  PosixFileSystem files;
  fakes::RecordingMessages messages;
  Collection c(files, messages, fixedToday);
  EXPECT_FALSE(store::openCollection(c, base));
  EXPECT_EQ(messages.texts(),
            (std::vector<std::u16string>{
                u"Cannot access the file because\nit is being used by another process!",
                u"Error while opening database!"}));

  (void)!write(release[1], &byte, 1);
  int status = waitFor(child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  messages.shown.clear();
  EXPECT_TRUE(store::openCollection(c, base));
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace kelvora::platform
