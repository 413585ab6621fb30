// The libraries the importers of other learners' files call, as ports: a zip archive opened for
// reading, an SQLite database opened read-only, and zstd decompression. The adapters over the
// Debian libraries live in src/platform; the importers themselves stay standard C++.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora::peers {

using Bytes = std::vector<std::uint8_t>;

// One entry of a zip archive as its central directory declares it.
struct ArchiveEntry {
  std::string name;        // as stored, UTF-8
  std::uint64_t size = 0;  // declared uncompressed size, bytes
};

class Archive {
 public:
  Archive() = default;
  virtual ~Archive() = default;
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  virtual const std::vector<ArchiveEntry>& entries() const = 0;
  // The entry's bytes. Refused (false, error set) when its declared size passes limit, when it
  // decompresses to more or fewer bytes than declared, or when it cannot be read.
  virtual bool read(std::size_t entry, std::uint64_t limit, Bytes& out, std::string& error) = 0;
};

// One row of a query's result; columns by position, as the query names them.
class DatabaseRow {
 public:
  virtual ~DatabaseRow() = default;
  virtual std::int64_t integer(int column) const = 0;
  virtual double real(int column) const = 0;
  // Text or blob bytes; empty for NULL. Valid until the next row.
  virtual std::string_view text(int column) const = 0;
  virtual std::span<const std::uint8_t> blob(int column) const = 0;
  virtual bool isNull(int column) const = 0;
};

class Database {
 public:
  Database() = default;
  virtual ~Database() = default;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Runs one statement and hands each row to row(), which stops the walk by returning false.
  // False, with error set, when the statement could not be prepared or stepped; a stop asked
  // for by row() is no failure.
  virtual bool query(std::string_view sql, const std::function<bool(const DatabaseRow&)>& row,
                     std::string& error) = 0;
  // Whether a table of that name exists.
  virtual bool hasTable(std::string_view name) = 0;
};

struct PeerLibraries {
  // The archive at path, or nullptr with error set.
  std::function<std::unique_ptr<Archive>(const std::filesystem::path& path, std::string& error)>
      openArchive;
  // A database held in memory (a collection taken out of a package): the bytes are copied.
  std::function<std::unique_ptr<Database>(std::span<const std::uint8_t> image, std::string& error)>
      openDatabaseImage;
  // The database file at path, opened read-only and never written.
  std::function<std::unique_ptr<Database>(const std::filesystem::path& path, std::string& error)>
      openDatabaseFile;
  // A whole zstd frame (or frames) decompressed; refused past limit bytes or when the stream is
  // truncated or corrupt.
  std::function<bool(std::span<const std::uint8_t> in, std::uint64_t limit, Bytes& out,
                     std::string& error)>
      decompress;
  // The local calendar day of a moment, in seconds since 1 January 1970 UTC, as a day number
  // of the learning data (0 when it lies outside their range).
  std::function<std::uint16_t(std::int64_t unixSeconds)> localDay;
};

}  // namespace kelvora::peers
