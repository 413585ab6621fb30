// Test packages made with SQLite, libzip and zstd.
#include "anki_package_builder.h"

#include <sqlite3.h>
#include <zip.h>
#include <zstd.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kelvora::testing {
namespace {

void exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string why = message != nullptr ? message : "?";
    sqlite3_free(message);
    throw std::runtime_error("sqlite: " + why + " in " + sql);
  }
}

// Runs sql with the values bound in order: strings as text, FileBytes as blobs.
struct Bound {
  sqlite3_stmt* statement = nullptr;
  int next = 1;
  Bound(sqlite3* db, const std::string& sql) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string("sqlite: ") + sqlite3_errmsg(db));
    }
  }
  ~Bound() { sqlite3_finalize(statement); }
  Bound& operator()(std::int64_t v) {
    sqlite3_bind_int64(statement, next++, v);
    return *this;
  }
  Bound& operator()(const std::string& v) {
    sqlite3_bind_text(statement, next++, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Bound& operator()(const FileBytes& v) {
    sqlite3_bind_blob(statement, next++, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  void run() {
    if (sqlite3_step(statement) != SQLITE_DONE) throw std::runtime_error("sqlite: step");
    sqlite3_reset(statement);
    next = 1;
  }
};

std::string jsonString(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out.push_back(c);
    }
  }
  return out + "\"";
}

std::string modelsJson(const PackageContents& contents) {
  std::string out = "{";
  for (const NoteTypeRow& t : contents.noteTypes) {
    if (out.size() > 1) out += ",";
    out += "\"" + std::to_string(t.id) + "\":{\"id\":" + std::to_string(t.id) +
           ",\"name\":\"Type\",\"type\":" + (t.cloze ? "1" : "0") + ",\"flds\":[";
    for (std::size_t i = 0; i < t.fields.size(); ++i) {
      out += (i ? "," : "") + std::string("{\"name\":") + jsonString(t.fields[i]) +
             ",\"ord\":" + std::to_string(i) + ",\"sticky\":false}";
    }
    out += "],\"tmpls\":[";
    for (std::size_t i = 0; i < t.templates.size(); ++i) {
      out += (i ? "," : "") + std::string("{\"name\":\"Card\",\"ord\":") + std::to_string(i) +
             ",\"qfmt\":" + jsonString(t.templates[i].first) +
             ",\"afmt\":" + jsonString(t.templates[i].second) + ",\"did\":null}";
    }
    out += "],\"css\":\".card {}\",\"sortf\":0}";
  }
  return out + "}";
}

FileBytes readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return FileBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

FileBytes bytesOf(const std::string& s) { return FileBytes(s.begin(), s.end()); }

}  // namespace

void putVarintField(FileBytes& out, std::uint32_t number, std::uint64_t value) {
  auto varint = [&](std::uint64_t v) {
    while (v >= 0x80) {
      out.push_back(static_cast<std::uint8_t>(v | 0x80));
      v >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(v));
  };
  varint(std::uint64_t{number} << 3);
  varint(value);
}

void putBytesField(FileBytes& out, std::uint32_t number, std::string_view bytes) {
  auto varint = [&](std::uint64_t v) {
    while (v >= 0x80) {
      out.push_back(static_cast<std::uint8_t>(v | 0x80));
      v >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(v));
  };
  varint((std::uint64_t{number} << 3) | 2);
  varint(bytes.size());
  out.insert(out.end(), bytes.begin(), bytes.end());
}

FileBytes buildCollection(const PackageContents& contents, const std::filesystem::path& scratch) {
  std::filesystem::remove(scratch);
  sqlite3* db = nullptr;
  if (sqlite3_open(scratch.c_str(), &db) != SQLITE_OK) throw std::runtime_error("sqlite open");
  exec(db,
       "CREATE TABLE col (id integer primary key, crt integer not null, mod integer not null, "
       "scm integer not null, ver integer not null, dty integer not null, usn integer not null, "
       "ls integer not null, conf text not null, models text not null, decks text not null, "
       "dconf text not null, tags text not null);"
       "CREATE TABLE notes (id integer primary key, guid text not null, mid integer not null, "
       "mod integer not null, usn integer not null, tags text not null, flds text not null, "
       "sfld integer not null, csum integer not null, flags integer not null, data text not "
       "null);"
       "CREATE TABLE cards (id integer primary key, nid integer not null, did integer not null, "
       "ord integer not null, mod integer not null, usn integer not null, type integer not "
       "null, queue integer not null, due integer not null, ivl integer not null, factor "
       "integer not null, reps integer not null, lapses integer not null, left integer not "
       "null, odue integer not null, odid integer not null, flags integer not null, data text "
       "not null);"
       "CREATE TABLE revlog (id integer primary key, cid integer not null, usn integer not null, "
       "ease integer not null, ivl integer not null, lastIvl integer not null, factor integer "
       "not null, time integer not null, type integer not null);"
       "CREATE TABLE graves (usn integer not null, oid integer not null, type integer not "
       "null);");
  const bool tables = contents.schema >= 15;
  Bound(db, "INSERT INTO col VALUES (1, ?, 0, 0, ?, 0, 0, 0, '{}', ?, '{}', '{}', '{}')")(
      contents.creationSeconds)(contents.schema)(tables ? std::string("{}") : modelsJson(contents))
      .run();
  if (tables) {
    exec(db,
         "CREATE TABLE notetypes (id integer not null primary key, name text not null, "
         "mtime_secs integer not null, usn integer not null, config blob not null);"
         "CREATE TABLE fields (ntid integer not null, ord integer not null, name text not null, "
         "config blob not null, primary key (ntid, ord)) without rowid;"
         "CREATE TABLE templates (ntid integer not null, ord integer not null, name text not "
         "null, mtime_secs integer not null, usn integer not null, config blob not null, "
         "primary key (ntid, ord)) without rowid;"
         "CREATE TABLE decks (id integer primary key not null, name text not null, mtime_secs "
         "integer not null, usn integer not null, common blob not null, kind blob not null);"
         "INSERT INTO decks VALUES (1, 'Default', 0, 0, x'', x'');");
    for (const NoteTypeRow& t : contents.noteTypes) {
      FileBytes config;
      putBytesField(config, 3, ".card {}");  // the style sheet, read by nobody here
      if (t.cloze) putVarintField(config, 1, 1);
      Bound(db, "INSERT INTO notetypes VALUES (?, 'Type', 0, 0, ?)")(t.id)(config).run();
      for (std::size_t i = 0; i < t.fields.size(); ++i) {
        Bound(db, "INSERT INTO fields VALUES (?, ?, ?, x'')")(t.id)(static_cast<std::int64_t>(i))(
            t.fields[i])
            .run();
      }
      for (std::size_t i = 0; i < t.templates.size(); ++i) {
        FileBytes templateConfig;
        putBytesField(templateConfig, 1, t.templates[i].first);
        putBytesField(templateConfig, 2, t.templates[i].second);
        Bound(db, "INSERT INTO templates VALUES (?, ?, 'Card', 0, 0, ?)")(t.id)(
            static_cast<std::int64_t>(i))(templateConfig)
            .run();
      }
    }
  }
  exec(db, "BEGIN");
  {
    Bound note(db, "INSERT INTO notes VALUES (?, ?, ?, 0, 0, ?, ?, '', 0, 0, '')");
    for (const NoteRow& n : contents.notes) {
      std::string joined;
      for (std::size_t i = 0; i < n.fields.size(); ++i) {
        if (i > 0) joined.push_back('\x1f');
        joined += n.fields[i];
      }
      note(n.id)(n.guid)(n.noteType)(n.tags)(joined).run();
    }
    Bound card(db,
               "INSERT INTO cards VALUES (?, ?, 1, ?, 0, 0, ?, ?, ?, ?, ?, 0, ?, 0, ?, ?, 0, '')");
    for (const CardRow& c : contents.cards) {
      card(c.id)(c.note)(c.ordinal)(c.type)(c.queue)(c.due)(c.ivl)(c.factor)(c.lapses)(c.odue)(
          c.odid)
          .run();
    }
    Bound review(db, "INSERT INTO revlog VALUES (?, ?, 0, ?, 0, 0, 0, 0, ?)");
    for (const ReviewRow& r : contents.reviews) review(r.id)(r.card)(r.ease)(r.type).run();
  }
  exec(db, "COMMIT");
  sqlite3_close(db);
  FileBytes bytes = readFile(scratch);
  std::filesystem::remove(scratch);
  return bytes;
}

FileBytes dropTable(const FileBytes& database, const std::string& table) {
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() / ("kelvora-drop-" + table + ".db");
  std::ofstream(scratch, std::ios::binary)
      .write(reinterpret_cast<const char*>(database.data()),
             static_cast<std::streamsize>(database.size()));
  sqlite3* db = nullptr;
  if (sqlite3_open(scratch.c_str(), &db) != SQLITE_OK) throw std::runtime_error("sqlite open");
  exec(db, "DROP TABLE " + table);
  sqlite3_close(db);
  FileBytes bytes = readFile(scratch);
  std::filesystem::remove(scratch);
  return bytes;
}

FileBytes zstdFrame(const FileBytes& bytes) {
  FileBytes out(ZSTD_compressBound(bytes.size()));
  const std::size_t n = ZSTD_compress(out.data(), out.size(), bytes.data(), bytes.size(), 3);
  if (ZSTD_isError(n) != 0) throw std::runtime_error("zstd");
  out.resize(n);
  return out;
}

void writeZip(const std::filesystem::path& path,
              const std::vector<std::pair<std::string, FileBytes>>& entries) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (archive == nullptr) throw std::runtime_error("zip_open");
  for (const auto& [name, bytes] : entries) {
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    if (source == nullptr || zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
      zip_source_free(source);
      throw std::runtime_error("zip_file_add");
    }
  }
  if (zip_close(archive) != 0) throw std::runtime_error("zip_close");
}

void writePackage(const PackageContents& contents, const std::filesystem::path& path) {
  std::vector<std::pair<std::string, FileBytes>> entries;
  const FileBytes collection = buildCollection(contents, path.string() + ".scratch");
  if (contents.form != PackageForm::Anki2 && contents.placeholder) {
    PackageContents old;
    old.noteTypes = {{1, false, {"Front", "Back"}, {{"{{Front}}", "{{Back}}"}}}};
    old.notes = {{1, "update", 1, {"Please update to the latest Anki version.", ""}, ""}};
    old.cards = {{1, 1}};
    entries.emplace_back("collection.anki2", buildCollection(old, path.string() + ".scratch"));
  }
  const bool latest = contents.form == PackageForm::Anki21b;
  if (contents.form == PackageForm::Anki2) entries.emplace_back("collection.anki2", collection);
  if (contents.form == PackageForm::Anki21) entries.emplace_back("collection.anki21", collection);
  if (latest) entries.emplace_back("collection.anki21b", zstdFrame(collection));
  if (latest && contents.meta) {
    FileBytes meta;
    putVarintField(meta, 1, static_cast<std::uint64_t>(contents.metaVersion));
    entries.emplace_back("meta", meta);
  }
  if (latest) {
    FileBytes list;
    for (const auto& [name, bytes] : contents.media) {
      FileBytes entry;
      putBytesField(entry, 1, name);
      putVarintField(entry, 2, bytes.size());
      putBytesField(list, 1,
                    std::string_view(reinterpret_cast<const char*>(entry.data()), entry.size()));
    }
    entries.emplace_back("media", zstdFrame(list));
  } else {
    std::string list = "{";
    for (std::size_t i = 0; i < contents.media.size(); ++i) {
      list += (i ? "," : "") + std::string("\"") + std::to_string(i) +
              "\":" + jsonString(contents.media[i].first);
    }
    entries.emplace_back("media", bytesOf(list + "}"));
  }
  for (std::size_t i = 0; i < contents.media.size(); ++i) {
    const FileBytes bytes = bytesOf(contents.media[i].second);
    entries.emplace_back(std::to_string(i), latest ? zstdFrame(bytes) : bytes);
  }
  writeZip(path, entries);
}

}  // namespace kelvora::testing
