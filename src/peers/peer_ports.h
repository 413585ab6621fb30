// The libraries the importers and exporters of other learners' files call, as ports: a zip
// archive read or written, an SQLite database read or made in memory, zstd decompression, a
// folder's listing and the local calendar. The adapters over the Debian libraries live in
// src/platform; the importers and exporters themselves stay standard C++.
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

// A prepared statement of a database being made, run once for each row. Values are bound by
// position, the first being 1; a bind that fails is reported by the step that follows.
class NewStatement {
 public:
  NewStatement() = default;
  virtual ~NewStatement() = default;
  NewStatement(const NewStatement&) = delete;
  NewStatement& operator=(const NewStatement&) = delete;

  virtual void bind(int position, std::int64_t value) = 0;
  virtual void bind(int position, std::string_view text) = 0;  // copied
  // Runs the statement with the values bound, then readies it for the next row (the bound
  // values cleared). False, with error set, when a bind or the statement failed.
  virtual bool step(std::string& error) = 0;
};

// A database made from nothing in memory, to be written out whole as a file's bytes.
class NewDatabase {
 public:
  NewDatabase() = default;
  virtual ~NewDatabase() = default;
  NewDatabase(const NewDatabase&) = delete;
  NewDatabase& operator=(const NewDatabase&) = delete;

  // Runs statements that take no values, one or more separated by semicolons.
  virtual bool execute(std::string_view sql, std::string& error) = 0;
  // One statement with ? for its values, or nullptr with error set. The statement must be
  // destroyed before the database.
  virtual std::unique_ptr<NewStatement> prepare(std::string_view sql, std::string& error) = 0;
  // The whole database as the bytes of its file, as they stand now.
  virtual bool image(Bytes& out, std::string& error) = 0;
};

// One entry of a zip archive being written: its bytes, or the file on disk that holds them when
// file is not empty (read as the archive is written).
struct ArchiveSource {
  std::string name;  // as stored, UTF-8
  Bytes bytes;
  std::filesystem::path file;
  bool compress = true;  // deflated; else stored as they are (pictures and sound already are)
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
  // A new, empty database in memory, or nullptr with error set.
  std::function<std::unique_ptr<NewDatabase>(std::string& error)> createDatabase;
  // Writes a zip archive of the entries, in their order, at path (replacing a file there) and
  // returns once it is on the disk. False, with error set, when an entry's file cannot be read
  // or the archive cannot be written; what is left at path is then not to be used.
  std::function<bool(const std::filesystem::path& path, const std::vector<ArchiveSource>& entries,
                     std::string& error)>
      writeArchive;
  // The names of the plain files in a folder, sorted by their bytes: no folders, no names that
  // start with a dot. A missing folder has none; false, with error set, when it cannot be read.
  std::function<bool(const std::filesystem::path& folder, std::vector<std::string>& names,
                     std::string& error)>
      listFolder;
  // The moment local midnight starts a day number of the learning data, in seconds since
  // 1 January 1970 UTC: localDay(dayStart(day)) is day.
  std::function<std::int64_t(std::uint16_t day)> dayStart;
};

}  // namespace kelvora::peers
