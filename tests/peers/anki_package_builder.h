// Builds Anki packages for the tests with the same libraries Anki's files are made with: a
// collection in SQLite (schema 11 with JSON note types, or 18 with note type tables and
// protobuf settings), zipped as collection.anki2, .anki21 or the zstd .anki21b with its meta
// entry and media list.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace kelvora::testing {

struct NoteTypeRow {
  std::int64_t id = 1;
  bool cloze = false;
  std::vector<std::string> fields;
  std::vector<std::pair<std::string, std::string>> templates;  // question and answer formats
};

struct NoteRow {
  std::int64_t id = 0;
  std::string guid;
  std::int64_t noteType = 1;
  std::vector<std::string> fields;
  std::string tags;
};

struct CardRow {
  std::int64_t id = 0;
  std::int64_t note = 0;
  std::int64_t ordinal = 0;
  std::int64_t type = 0;
  std::int64_t queue = 0;
  std::int64_t due = 0;
  std::int64_t ivl = 0;
  std::int64_t factor = 0;
  std::int64_t lapses = 0;
  std::int64_t odue = 0;
  std::int64_t odid = 0;
};

struct ReviewRow {
  std::int64_t id = 0;  // milliseconds since 1970
  std::int64_t card = 0;
  std::int64_t ease = 3;
  std::int64_t type = 1;
};

enum class PackageForm { Anki2, Anki21, Anki21b };

struct PackageContents {
  PackageForm form = PackageForm::Anki21;
  std::int64_t schema = 11;  // 18 keeps note types in tables
  std::int64_t creationSeconds = 0;
  bool placeholder = true;  // beside a newer collection, the old one asking to update
  bool meta = true;         // the newest form's version entry
  std::int64_t metaVersion = 3;
  std::vector<NoteTypeRow> noteTypes;
  std::vector<NoteRow> notes;
  std::vector<CardRow> cards;
  std::vector<ReviewRow> reviews;
  std::vector<std::pair<std::string, std::string>> media;  // name, bytes
};

using FileBytes = std::vector<std::uint8_t>;

// The collection database's bytes.
FileBytes buildCollection(const PackageContents& contents, const std::filesystem::path& scratch);
// The database's bytes with one table dropped.
FileBytes dropTable(const FileBytes& database, const std::string& table);
// A zstd frame of the bytes.
FileBytes zstdFrame(const FileBytes& bytes);
// A zip of the named entries, written at path.
void writeZip(const std::filesystem::path& path,
              const std::vector<std::pair<std::string, FileBytes>>& entries);
// The whole package written at path.
void writePackage(const PackageContents& contents, const std::filesystem::path& path);

// Protobuf pieces: a varint field and a length-delimited one.
void putVarintField(FileBytes& out, std::uint32_t number, std::uint64_t value);
void putBytesField(FileBytes& out, std::uint32_t number, std::string_view bytes);

}  // namespace kelvora::testing
