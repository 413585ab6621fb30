// SQLite databases opened so that nothing is ever written: a collection taken out of a package
// is read from memory, a database on disk is opened immutable (no journal, no lock files).
#include <sqlite3.h>

#include <cstring>

#include "platform/peer_libraries.h"

namespace kelvora::platform {
namespace {

class SqliteRow final : public peers::DatabaseRow {
 public:
  explicit SqliteRow(sqlite3_stmt* statement) : m_statement(statement) {}
  std::int64_t integer(int column) const override {
    return sqlite3_column_int64(m_statement, column);
  }
  double real(int column) const override { return sqlite3_column_double(m_statement, column); }
  std::string_view text(int column) const override {
    const auto* p = sqlite3_column_text(m_statement, column);
    const int n = sqlite3_column_bytes(m_statement, column);
    if (p == nullptr || n <= 0) return {};
    return {reinterpret_cast<const char*>(p), static_cast<std::size_t>(n)};
  }
  std::span<const std::uint8_t> blob(int column) const override {
    const void* p = sqlite3_column_blob(m_statement, column);
    const int n = sqlite3_column_bytes(m_statement, column);
    if (p == nullptr || n <= 0) return {};
    return {static_cast<const std::uint8_t*>(p), static_cast<std::size_t>(n)};
  }
  bool isNull(int column) const override {
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
  }

 private:
  sqlite3_stmt* m_statement;
};

class SqliteDatabase final : public peers::Database {
 public:
  explicit SqliteDatabase(sqlite3* db) : m_db(db) {}
  ~SqliteDatabase() override { sqlite3_close(m_db); }

  bool query(std::string_view sql, const std::function<bool(const peers::DatabaseRow&)>& row,
             std::string& error) override {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), &statement, nullptr) !=
        SQLITE_OK) {
      error = sqlite3_errmsg(m_db);
      sqlite3_finalize(statement);
      return false;
    }
    const SqliteRow view(statement);
    bool ok = true;
    while (true) {
      const int step = sqlite3_step(statement);
      if (step == SQLITE_DONE) break;
      if (step != SQLITE_ROW) {
        error = sqlite3_errmsg(m_db);
        ok = false;
        break;
      }
      if (!row(view)) break;
    }
    sqlite3_finalize(statement);
    return ok;
  }

  bool hasTable(std::string_view name) override {
    bool found = false;
    std::string error;
    const std::string sql =
        "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = '" + std::string(name) + "'";
    (void)query(
        sql, [&](const peers::DatabaseRow&) { return !(found = true); }, error);
    return found;
  }

 private:
  sqlite3* m_db;
};

constexpr char kSqliteMagic[] = "SQLite format 3";  // with its NUL, the file's first 16 bytes

bool looksLikeSqlite(std::span<const std::uint8_t> head) {
  return head.size() >= sizeof kSqliteMagic &&
         std::memcmp(head.data(), kSqliteMagic, sizeof kSqliteMagic) == 0;
}

}  // namespace

std::unique_ptr<peers::Database> openSqliteImage(std::span<const std::uint8_t> image,
                                                 std::string& error) {
  if (!looksLikeSqlite(image)) {
    error = "not an SQLite database";
    return nullptr;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY, nullptr) !=
      SQLITE_OK) {
    error = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    return nullptr;
  }
  auto* copy = static_cast<unsigned char*>(sqlite3_malloc64(image.size()));
  if (copy == nullptr) {
    sqlite3_close(db);
    error = "out of memory";
    return nullptr;
  }
  std::memcpy(copy, image.data(), image.size());
  // A collection saved in WAL mode says so in bytes 18 and 19; read from memory it has no
  // log beside it, so the copy is marked as a plain rollback-journal database.
  if (copy[18] == 2) copy[18] = 1;
  if (copy[19] == 2) copy[19] = 1;
  if (sqlite3_deserialize(db, "main", copy, static_cast<sqlite3_int64>(image.size()),
                          static_cast<sqlite3_int64>(image.size()),
                          SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY) !=
      SQLITE_OK) {
    error = sqlite3_errmsg(db);
    sqlite3_close(db);
    return nullptr;
  }
  return std::make_unique<SqliteDatabase>(db);
}

std::unique_ptr<peers::Database> openSqliteFile(const std::filesystem::path& path,
                                                std::string& error) {
  sqlite3* db = nullptr;
  // A URI with immutable=1: SQLite neither locks the file nor creates a journal beside it.
  std::string uri = "file:";
  for (const char c : path.string()) {
    if (c == '?' || c == '#' || c == '%') {
      static constexpr char kHex[] = "0123456789ABCDEF";
      uri.push_back('%');
      uri.push_back(kHex[static_cast<unsigned char>(c) >> 4]);
      uri.push_back(kHex[static_cast<unsigned char>(c) & 15]);
    } else {
      uri.push_back(c);
    }
  }
  uri += "?immutable=1";
  if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) !=
      SQLITE_OK) {
    error = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    return nullptr;
  }
  auto database = std::make_unique<SqliteDatabase>(db);
  // Opening is lazy: the first read tells whether the file is a database at all.
  std::string probe;
  if (!database->query(
          "SELECT count(*) FROM sqlite_master", [](const peers::DatabaseRow&) { return true; },
          probe)) {
    error = probe;
    return nullptr;
  }
  return database;
}

}  // namespace kelvora::platform
