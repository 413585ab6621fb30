// The file port of the store: the few operations the collection files, the settings file
// and the exchange files need. The desktop program and the command-line tool hand in the
// POSIX adapter; tests hand in an in-memory fake that can fail any read or write.
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

enum class IoStatus {
  Ok,         // everything asked for was transferred
  EndOfFile,  // a read reached the end of the file first; count says how far it got
  Failed,     // the system refused: error holds its errno
};

// The outcome of one transfer. It cannot be dropped silently, and a short read at the end of
// a file is never mistaken for a failing disk.
struct [[nodiscard]] IoResult {
  std::size_t count = 0;  // bytes actually transferred
  IoStatus status = IoStatus::Ok;
  int error = 0;  // errno when Failed

  bool ok() const { return status == IoStatus::Ok; }
  bool failed() const { return status == IoStatus::Failed; }
  static IoResult done(std::size_t n) { return {n, IoStatus::Ok, 0}; }
  static IoResult ended(std::size_t n) { return {n, IoStatus::EndOfFile, 0}; }
  static IoResult failure(int err, std::size_t n = 0) { return {n, IoStatus::Failed, err}; }
};

// An open file, read and written at explicit byte offsets.
class BinaryFile {
 public:
  virtual ~BinaryFile() = default;

  // Reads into.size() bytes at offset: Ok with all of them, EndOfFile with fewer.
  virtual IoResult readAt(std::uint64_t offset, std::span<std::uint8_t> into) = 0;
  // Writes all of from at offset (a gap before it reads as zero bytes); Ok only when every
  // byte was taken.
  virtual IoResult writeAt(std::uint64_t offset, std::span<const std::uint8_t> from) = 0;
  // The size in bytes, or nothing when it cannot be learned.
  virtual std::optional<std::uint64_t> size() = 0;
  // Cuts or extends the file to size bytes.
  virtual IoResult truncate(std::uint64_t size) = 0;
  // Returns once everything written so far is on the disk (fsync).
  virtual IoResult sync() = 0;
  // Asks for the bytes written in [offset, offset + length) to start going to the disk now, so
  // that a later sync() has less to wait for. Only a hint: what goes wrong shows at sync().
  virtual void startWriteback(std::uint64_t offset, std::uint64_t length) {
    (void)offset;
    (void)length;
  }
  // Releases the file (and a lock it holds). Failed when data written earlier could not be
  // stored.
  virtual IoResult close() = 0;
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
  // Creates the file, or empties an existing one, for writing only. Callers that replace a
  // file as a whole write a temporary this way and rename it (see atomic_file.h).
  virtual std::unique_ptr<BinaryFile> createForWriting(const std::filesystem::path& path,
                                                       OpenError* error = nullptr) = 0;
  // Deletes a file. Ok when it is gone afterwards, also when it was not there.
  virtual IoResult remove(const std::filesystem::path& path) = 0;
  // Puts from in the place of to in one step, replacing to if it exists.
  virtual IoResult rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // Makes the folder's entries (files created, renamed or deleted in it) durable.
  virtual IoResult syncFolder(const std::filesystem::path& folder) = 0;
  // A file (or anything else) exists at path.
  virtual bool exists(const std::filesystem::path& path) = 0;
  // Makes the folder, whose parent exists. Ok when it is a folder afterwards, also when it was
  // one before.
  virtual IoResult createFolder(const std::filesystem::path& folder) = 0;
};

// A path with a suffix added to its file name (base + ".kdb"); dots already in base stay.
std::filesystem::path withSuffix(const std::filesystem::path& base, const char* suffix);

// The folder that holds path, for syncFolder ("." for a bare file name).
std::filesystem::path folderOf(const std::filesystem::path& path);

}  // namespace kelvora::store
