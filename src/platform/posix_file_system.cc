// Descriptor-backed files. Transfers loop over short counts and EINTR so that a short read
// always means the end of the file, and every failure carries its errno.
#include "platform/posix_file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kelvora::platform {
namespace {

using store::IoResult;

constexpr std::uint64_t kMaxOffset = static_cast<std::uint64_t>(INT64_MAX) / 2;

IoResult retrying(int (*call)(int), int fd) {
  int rc;
  do {
    rc = call(fd);
  } while (rc != 0 && errno == EINTR);
  return rc == 0 ? IoResult::done(0) : IoResult::failure(errno);
}

class PosixFile final : public store::BinaryFile {
 public:
  explicit PosixFile(int fd) : m_fd(fd) {}
  ~PosixFile() override { (void)close(); }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  IoResult readAt(std::uint64_t offset, std::span<std::uint8_t> into) override {
    if (m_fd < 0) return IoResult::failure(EBADF);
    std::size_t done = 0;
    while (done < into.size()) {
      if (offset + done > kMaxOffset) return IoResult::ended(done);
      ssize_t n =
          ::pread(m_fd, into.data() + done, into.size() - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return IoResult::failure(errno, done);
      if (n == 0) return IoResult::ended(done);
      done += static_cast<std::size_t>(n);
    }
    return IoResult::done(done);
  }

  IoResult writeAt(std::uint64_t offset, std::span<const std::uint8_t> from) override {
    if (m_fd < 0) return IoResult::failure(EBADF);
    std::size_t done = 0;
    while (done < from.size()) {
      if (offset + done > kMaxOffset) return fail(EFBIG, done);
      ssize_t n =
          ::pwrite(m_fd, from.data() + done, from.size() - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return fail(errno, done);
      if (n == 0) return fail(ENOSPC, done);
      done += static_cast<std::size_t>(n);
    }
    return IoResult::done(done);
  }

  std::optional<std::uint64_t> size() override {
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
  }

  IoResult truncate(std::uint64_t size) override {
    if (m_fd < 0) return IoResult::failure(EBADF);
    if (size > kMaxOffset) return IoResult::failure(EFBIG);
    int rc;
    do {
      rc = ::ftruncate(m_fd, static_cast<off_t>(size));
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? IoResult::done(0) : fail(errno, 0);
  }

  IoResult sync() override {
    if (m_fd < 0) return IoResult::failure(EBADF);
    IoResult r = retrying(::fsync, m_fd);
    if (r.failed()) m_writeError = r.error;
    return r;
  }

  void startWriteback(std::uint64_t offset, std::uint64_t length) override {
#if defined(__linux__)
    if (m_fd >= 0 && offset <= kMaxOffset && length <= kMaxOffset) {
      (void)::sync_file_range(m_fd, static_cast<off_t>(offset), static_cast<off_t>(length),
                              SYNC_FILE_RANGE_WRITE);
    }
#else
    (void)offset;
    (void)length;
#endif
  }

  IoResult close() override {
    if (m_fd < 0) return m_writeError != 0 ? IoResult::failure(m_writeError) : IoResult::done(0);
    // Closing the descriptor also releases the flock.
    int rc = ::close(m_fd);
    if (rc != 0 && m_writeError == 0 && errno != EINTR) m_writeError = errno;
    m_fd = -1;
    return m_writeError != 0 ? IoResult::failure(m_writeError) : IoResult::done(0);
  }

 private:
  IoResult fail(int err, std::size_t done) {
    m_writeError = err;
    return IoResult::failure(err, done);
  }

  int m_fd;
  int m_writeError = 0;  // the first write error, reported again by close()
};

store::OpenError classify(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
      return store::OpenError::AccessDenied;
    case EWOULDBLOCK:
      return store::OpenError::SharingViolation;
    default:
      return store::OpenError::Other;
  }
}

}  // namespace

std::unique_ptr<store::BinaryFile> PosixFileSystem::openExclusive(const std::filesystem::path& path,
                                                                  store::OpenError& error) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = classify(errno);
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    error = store::OpenError::Other;
    return nullptr;
  }
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    int err = errno;
    ::close(fd);
    error = err == EWOULDBLOCK ? store::OpenError::SharingViolation : classify(err);
    return nullptr;
  }
  error = store::OpenError::None;
  return std::make_unique<PosixFile>(fd);
}

std::unique_ptr<store::BinaryFile> PosixFileSystem::openForReading(
    const std::filesystem::path& path, store::OpenError* error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (error) *error = classify(errno);
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    if (error) *error = store::OpenError::Other;
    return nullptr;
  }
  if (error) *error = store::OpenError::None;
  return std::make_unique<PosixFile>(fd);
}

std::unique_ptr<store::BinaryFile> PosixFileSystem::createForWriting(
    const std::filesystem::path& path, store::OpenError* error) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (error) *error = classify(errno);
    return nullptr;
  }
  if (error) *error = store::OpenError::None;
  return std::make_unique<PosixFile>(fd);
}

store::IoResult PosixFileSystem::remove(const std::filesystem::path& path) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return IoResult::done(0);
  return IoResult::failure(errno);
}

store::IoResult PosixFileSystem::rename(const std::filesystem::path& from,
                                        const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) == 0) return IoResult::done(0);
  return IoResult::failure(errno);
}

store::IoResult PosixFileSystem::createFolder(const std::filesystem::path& folder) {
  if (::mkdir(folder.c_str(), 0777) == 0) return IoResult::done(0);
  const int error = errno;
  struct stat st {};
  if (error == EEXIST) {
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? IoResult::done(0)
                                                                   : IoResult::failure(ENOTDIR);
  }
  return IoResult::failure(error);
}

store::IoResult PosixFileSystem::syncFolder(const std::filesystem::path& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return IoResult::failure(errno);
  IoResult r = retrying(::fsync, fd);
  ::close(fd);
  // Some file systems cannot sync a folder; their entries are as durable as they get.
  if (r.failed() && (r.error == EINVAL || r.error == ENOTSUP)) return IoResult::done(0);
  return r;
}

bool PosixFileSystem::exists(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

}  // namespace kelvora::platform
