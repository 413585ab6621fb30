// SQLite databases made in memory for an export: filled through prepared statements inside the
// exporter's transaction, then serialized whole as the bytes of a database file.
#include <sqlite3.h>

#include <limits>

#include "platform/peer_libraries.h"

namespace kelvora::platform {
namespace {

class SqliteStatement final : public peers::NewStatement {
 public:
  SqliteStatement(sqlite3* db, sqlite3_stmt* statement) : m_db(db), m_statement(statement) {}
  ~SqliteStatement() override { sqlite3_finalize(m_statement); }

  void bind(int position, std::int64_t value) override {
    note(sqlite3_bind_int64(m_statement, position, value));
  }
  void bind(int position, std::string_view text) override {
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
      if (m_bindError.empty()) m_bindError = "a text is too long for the database";
      return;
    }
    // An empty view may have no data; SQLite takes a NULL pointer as NULL, not as "".
    note(sqlite3_bind_text(m_statement, position, text.empty() ? "" : text.data(),
                           static_cast<int>(text.size()), SQLITE_TRANSIENT));
  }

  bool step(std::string& error) override {
    bool ok = m_bindError.empty();
    if (!ok) {
      error = m_bindError;
    } else if (sqlite3_step(m_statement) != SQLITE_DONE) {
      error = sqlite3_errmsg(m_db);
      ok = false;
    }
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
    m_bindError.clear();
    return ok;
  }

 private:
  void note(int result) {
    if (result != SQLITE_OK && m_bindError.empty()) m_bindError = sqlite3_errmsg(m_db);
  }

  sqlite3* m_db;
  sqlite3_stmt* m_statement;
  std::string m_bindError;  // the first failed bind since the last step
};

class SqliteNewDatabase final : public peers::NewDatabase {
 public:
  explicit SqliteNewDatabase(sqlite3* db) : m_db(db) {}
  ~SqliteNewDatabase() override { sqlite3_close(m_db); }

  bool execute(std::string_view sql, std::string& error) override {
    // sqlite3_exec wants a NUL-terminated string.
    const std::string statements(sql);
    char* message = nullptr;
    if (sqlite3_exec(m_db, statements.c_str(), nullptr, nullptr, &message) == SQLITE_OK) {
      return true;
    }
    error = message != nullptr ? message : sqlite3_errmsg(m_db);
    sqlite3_free(message);
    return false;
  }

  std::unique_ptr<peers::NewStatement> prepare(std::string_view sql, std::string& error) override {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), &statement, nullptr) !=
            SQLITE_OK ||
        statement == nullptr) {
      error = statement == nullptr && sqlite3_errcode(m_db) == SQLITE_OK ? "an empty statement"
                                                                         : sqlite3_errmsg(m_db);
      sqlite3_finalize(statement);
      return nullptr;
    }
    return std::make_unique<SqliteStatement>(m_db, statement);
  }

  bool image(peers::Bytes& out, std::string& error) override {
    out.clear();
    sqlite3_int64 size = 0;
    unsigned char* bytes = sqlite3_serialize(m_db, "main", &size, 0);
    if (bytes == nullptr) {
      error = "the database cannot be serialized (out of memory)";
      return false;
    }
    out.assign(bytes, bytes + size);
    sqlite3_free(bytes);
    return true;
  }

 private:
  sqlite3* m_db;
};

}  // namespace

std::unique_ptr<peers::NewDatabase> createSqliteDatabase(std::string& error) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(":memory:", &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY,
                      nullptr) != SQLITE_OK) {
    error = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    return nullptr;
  }
  return std::make_unique<SqliteNewDatabase>(db);
}

}  // namespace kelvora::platform
