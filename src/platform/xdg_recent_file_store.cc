// The recent file on disk: read whole with a size cap, written to a temporary file in the same
// folder and renamed over the old one.
#include "platform/xdg_recent_file_store.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "store/recent_file_format.h"

namespace kelvora::platform {
namespace {

// Closes a descriptor when the scope ends.
class Descriptor {
 public:
  explicit Descriptor(int fd) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return m_fd; }
  // Closes now; false when data written earlier could not be stored.
  bool close() {
    int fd = m_fd;
    m_fd = -1;
    return fd >= 0 && ::close(fd) == 0;
  }

 private:
  int m_fd;
};

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Creates dir and any missing parents; folders we create are private to the user, as the
// XDG rules ask for configuration folders.
bool makeFolders(const std::filesystem::path& dir) {
  struct stat info {};
  if (::stat(dir.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  if (errno != ENOENT) return false;
  std::filesystem::path parent = dir.parent_path();
  if (parent != dir && !parent.empty() && !makeFolders(parent)) return false;
  return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

// Makes a finished rename durable; a failure only weakens that, so it is not reported.
void syncFolder(const std::filesystem::path& dir) {
  Descriptor folder(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) ::fsync(folder.get());
}

bool absolute(std::string_view path) { return !path.empty() && path.front() == '/'; }

}  // namespace

XdgRecentFileStore::XdgRecentFileStore(std::filesystem::path configDir)
    : m_dir(std::move(configDir)) {}

std::optional<store::RecentFiles> XdgRecentFileStore::read() {
  if (m_dir.empty()) return std::nullopt;
  const std::filesystem::path path = m_dir / kRecentFileName;
  // Non-blocking, so that a FIFO in its place cannot hang the start of the program.
  Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0) {
    if (errno == ENOENT) return store::RecentFiles{};
    return std::nullopt;
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;

  std::string bytes;
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(file.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > store::kMaxRecentFileBytes) return std::nullopt;
  }
  return store::parseRecentFile(bytes);
}

bool XdgRecentFileStore::write(const store::RecentFiles& list) {
  if (m_dir.empty() || !makeFolders(m_dir)) return false;
  const std::filesystem::path path = m_dir / kRecentFileName;
  std::string temporary = (m_dir / (std::string(kRecentFileName) + ".XXXXXX")).native();
  Descriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
  if (file.get() < 0) return false;

  bool ok = writeAll(file.get(), store::formatRecentFile(list)) && ::fsync(file.get()) == 0;
  ok = file.close() && ok;
  ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  syncFolder(m_dir);
  return true;
}

std::optional<std::filesystem::path> configDirFor(std::string_view xdgConfigHome,
                                                  std::string_view home) {
  if (absolute(xdgConfigHome)) return std::filesystem::path(xdgConfigHome) / "kelvora";
  if (absolute(home)) return std::filesystem::path(home) / ".config" / "kelvora";
  return std::nullopt;
}

std::optional<std::filesystem::path> configDirFromEnvironment() {
  auto value = [](const char* name) {
    const char* text = ::getenv(name);
    return std::string_view(text != nullptr ? text : "");
  };
  return configDirFor(value("XDG_CONFIG_HOME"), value("HOME"));
}

}  // namespace kelvora::platform
