// Files on a real disk: the lock that keeps a collection open in one place, and how refused
// openings are told apart. The lock held by another process is in the command-line tests.
#include "platform/posix_file_system.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "temp_dir.h"

namespace kelvora::platform {
namespace {

using store::OpenError;

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

}  // namespace
}  // namespace kelvora::platform
