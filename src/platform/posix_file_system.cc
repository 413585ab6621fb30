// Descriptor-backed files. Transfers loop over short counts and EINTR so that a short result
// always means the end of the file or a real error.
#include "platform/posix_file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kelvora::platform {
namespace {

constexpr std::uint64_t kMaxOffset = static_cast<std::uint64_t>(INT64_MAX) / 2;

class PosixFile final : public store::BinaryFile {
 public:
  explicit PosixFile(int fd) : m_fd(fd) {}
  ~PosixFile() override { close(); }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  std::size_t read(std::span<std::uint8_t> into) override {
    std::size_t done = 0;
    while (m_fd >= 0 && done < into.size()) {
      ssize_t n = ::read(m_fd, into.data() + done, into.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    m_position += done;
    return done;
  }

  std::size_t write(std::span<const std::uint8_t> from) override {
    std::size_t done = 0;
    while (m_fd >= 0 && done < from.size()) {
      ssize_t n = ::write(m_fd, from.data() + done, from.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        m_writeFailed = true;
        break;
      }
      done += static_cast<std::size_t>(n);
    }
    m_position += done;
    return done;
  }

  bool seek(std::uint64_t offset) override {
    if (m_fd < 0 || offset > kMaxOffset) return false;
    off_t at = ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET);
    if (at < 0) return false;
    m_position = static_cast<std::uint64_t>(at);
    return true;
  }

  std::optional<std::uint64_t> seekToEnd() override {
    if (m_fd < 0) return std::nullopt;
    off_t at = ::lseek(m_fd, 0, SEEK_END);
    if (at < 0) return std::nullopt;
    m_position = static_cast<std::uint64_t>(at);
    return m_position;
  }

  std::uint64_t position() const override { return m_position; }

  std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> into) override {
    std::size_t done = 0;
    while (m_fd >= 0 && done < into.size() && offset + done <= kMaxOffset) {
      ssize_t n =
          ::pread(m_fd, into.data() + done, into.size() - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

  std::size_t writeAt(std::uint64_t offset, std::span<const std::uint8_t> from) override {
    std::size_t done = 0;
    while (m_fd >= 0 && done < from.size() && offset + done <= kMaxOffset) {
      ssize_t n =
          ::pwrite(m_fd, from.data() + done, from.size() - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    if (done < from.size()) m_writeFailed = true;
    return done;
  }

  bool truncate(std::uint64_t size) override {
    if (m_fd < 0 || size > kMaxOffset) return false;
    int rc;
    do {
      rc = ::ftruncate(m_fd, static_cast<off_t>(size));
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
  }

  bool close() override {
    if (m_fd < 0) return !m_writeFailed;
    // Closing the descriptor also releases the flock.
    int rc = ::close(m_fd);
    m_fd = -1;
    return rc == 0 && !m_writeFailed;
  }

 private:
  int m_fd;
  std::uint64_t m_position = 0;
  bool m_writeFailed = false;
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

bool PosixFileSystem::remove(const std::filesystem::path& path) {
  return ::unlink(path.c_str()) == 0;
}

}  // namespace kelvora::platform
