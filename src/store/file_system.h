// The file port of the store: the few operations the collection files, the settings file
// and the exchange files need. The desktop program and the command-line tool hand in the
// POSIX adapter; tests may hand in an in-memory fake to provoke failures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

namespace kelvora::store {

// Why a file could not be opened, as far as the user is told about it.
enum class OpenError {
  None,
  SharingViolation,  // another process holds the collection open
  AccessDenied,      // no permission, or a read-only file or file system
  Other,             // anything else: the caller's own message follows
};

// An open file with a current position. Transfers report how many bytes actually moved;
// callers compare that with what they asked for.
class BinaryFile {
 public:
  virtual ~BinaryFile() = default;

  virtual std::size_t read(std::span<std::uint8_t> into) = 0;
  virtual std::size_t write(std::span<const std::uint8_t> from) = 0;
  // Moves to an absolute byte offset; seeking past the end is allowed, as on any file.
  virtual bool seek(std::uint64_t offset) = 0;
  // Moves to the end and returns the new position (the file size in bytes).
  virtual std::optional<std::uint64_t> seekToEnd() = 0;
  virtual std::uint64_t position() const = 0;
  // Positioned transfers that leave the current position alone. Files that can do them in one
  // step override these.
  virtual std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> into) {
    const std::uint64_t keep = position();
    std::size_t n = seek(offset) ? read(into) : 0;
    seek(keep);
    return n;
  }
  virtual std::size_t writeAt(std::uint64_t offset, std::span<const std::uint8_t> from) {
    const std::uint64_t keep = position();
    std::size_t n = seek(offset) ? write(from) : 0;
    seek(keep);
    return n;
  }
  // Cuts the file to size bytes.
  virtual bool truncate(std::uint64_t size) = 0;
  // Releases the file. False when data written earlier could not be stored (a full disk).
  virtual bool close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens for reading and writing, creating the file when it is missing, and holds it
  // exclusively: a second opening of the same file, from this process or another, fails with
  // SharingViolation until this one is closed.
  virtual std::unique_ptr<BinaryFile> openExclusive(const std::filesystem::path& path,
                                                    OpenError& error) = 0;
  // Opens an existing file for reading only. On failure, error (when given) says why.
  virtual std::unique_ptr<BinaryFile> openForReading(const std::filesystem::path& path,
                                                     OpenError* error = nullptr) = 0;
  // Creates the file, or empties an existing one, for writing only.
  virtual std::unique_ptr<BinaryFile> createForWriting(const std::filesystem::path& path,
                                                       OpenError* error = nullptr) = 0;
  virtual bool remove(const std::filesystem::path& path) = 0;
};

}  // namespace kelvora::store
