// A zip archive written through libzip. libzip writes the whole archive to a file of its own
// beside path when it is closed (path + "." + six random characters) and renames that over path;
// the result is then synced, so a true return means the archive is on the disk. Such a file left
// by a write that was killed is removed by the next write to the same path.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/peer_libraries.h"

namespace kelvora::platform {
namespace {

constexpr zip_uint32_t kFastestDeflate = 1;

// The length libzip takes for "the whole file".
constexpr zip_int64_t kWholeFile = -1;

std::string systemError(int error) { return std::strerror(error); }

// A file an entry is read from must be a regular file this process can open: checked before
// the archive is written, so that the user is told which file it was.
bool checkReadable(const std::filesystem::path& file, std::string& error) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "the file " + file.string() + " cannot be read (" + systemError(errno) + ")";
    return false;
  }
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  if (!regular) {
    error = "the file " + file.string() + " cannot be read (it is not a plain file)";
    return false;
  }
  return true;
}

bool syncFile(const std::filesystem::path& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "the written file cannot be opened again (" + systemError(errno) + ")";
    return false;
  }
  int result = 0;
  do {
    result = ::fsync(fd);
  } while (result != 0 && errno == EINTR);
  const int syncError = errno;
  ::close(fd);
  if (result != 0) {
    error = "the written file did not reach the disk (" + systemError(syncError) + ")";
    return false;
  }
  return true;
}

// Removes what libzip leaves of a write to path killed while closing: path + "." + six letters or
// digits. Nothing else beside path is touched; a leftover that cannot be removed stays.
void removeLeftovers(const std::filesystem::path& path) {
  const std::string prefix = path.filename().string() + ".";
  constexpr std::size_t kRandomPart = 6;
  const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
  std::error_code error;
  std::vector<std::filesystem::path> leftovers;
  // Stepped with an error code: a folder that cannot be read throws nothing, it is left alone.
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::filesystem::directory_entry& entry = *it;
    const std::string name = entry.path().filename().string();
    if (name.size() != prefix.size() + kRandomPart || !name.starts_with(prefix)) continue;
    const std::string_view random = std::string_view(name).substr(prefix.size());
    const bool madeByLibzip = std::all_of(random.begin(), random.end(), [](char c) {
      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
    std::error_code ignored;
    if (madeByLibzip && entry.is_regular_file(ignored)) leftovers.push_back(entry.path());
  }
  for (const std::filesystem::path& leftover : leftovers) {
    std::error_code ignored;
    std::filesystem::remove(leftover, ignored);
  }
}

}  // namespace

bool writeZipArchive(const std::filesystem::path& path,
                     const std::vector<peers::ArchiveSource>& entries, std::string& error) {
  // libzip leaves no file behind for an archive without entries.
  if (entries.empty()) {
    error = "an archive needs at least one entry";
    return false;
  }
  for (const peers::ArchiveSource& entry : entries) {
    if (!entry.file.empty() && !checkReadable(entry.file, error)) return false;
  }
  removeLeftovers(path);
  int code = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (archive == nullptr) {
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    error = std::string("the archive cannot be created (") + zip_error_strerror(&e) + ")";
    zip_error_fini(&e);
    return false;
  }
  const auto fail = [&](const std::string& why) {
    error = why + " (" + zip_strerror(archive) + ")";
    zip_discard(archive);
    return false;
  };
  for (const peers::ArchiveSource& entry : entries) {
    // The bytes stay in entries until the archive is closed, so libzip need not copy them.
    zip_source_t* source =
        entry.file.empty() ? zip_source_buffer(archive, entry.bytes.data(), entry.bytes.size(), 0)
                           : zip_source_file(archive, entry.file.c_str(), 0, kWholeFile);
    if (source == nullptr) return fail("the entry " + entry.name + " cannot be added");
    const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
      zip_source_free(source);
      return fail("the entry " + entry.name + " cannot be added");
    }
    // Deflate's fastest level: a collection's repetitive tables shrink nearly as far, in a
    // fraction of the default level's time.
    if (zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 entry.compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE,
                                 entry.compress ? kFastestDeflate : 0) != 0) {
      return fail("the entry " + entry.name + " cannot be added");
    }
  }
  // Closing writes everything: a file that cannot be read now, or a full disk, shows here.
  if (zip_close(archive) != 0) return fail("the archive cannot be written");
  return syncFile(path, error);
}

}  // namespace kelvora::platform
