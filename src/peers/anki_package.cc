// The package's entries: "meta" (protobuf, the newest packages), the collection in one of its
// three forms, "media" (JSON in older packages, a zstd protobuf list in the newest) and the
// media files, named by their position in that list.
#include "peers/anki_package.h"

#include <optional>
#include <unordered_map>

#include "peers/json_reader.h"
#include "peers/protobuf_reader.h"

namespace kelvora::peers {
namespace {

// The package versions a meta entry names.
constexpr std::uint64_t kMetaLegacy1 = 1;  // collection.anki2
constexpr std::uint64_t kMetaLegacy2 = 2;  // collection.anki21
constexpr std::uint64_t kMetaLatest = 3;   // collection.anki21b

constexpr const char* kCollectionNames[] = {"collection.anki2", "collection.anki21",
                                            "collection.anki21b"};

bool readEntry(Archive& archive, std::size_t entry, std::uint64_t limit, Bytes& out,
               std::string& error) {
  std::string why;
  if (archive.read(entry, limit, out, why)) return true;
  error = "the package cannot be read (" + why + ")";
  return false;
}

bool readMediaList(const PeerLibraries& libraries, AnkiPackage& package,
                   const std::unordered_map<std::string, std::size_t>& entries,
                   const PackageLimits& limits, std::string& error) {
  const auto at = entries.find("media");
  if (at == entries.end()) return true;  // a package without media
  Bytes bytes;
  if (!readEntry(*package.archive, at->second, limits.mediaListBytes, bytes, error)) return false;
  const auto take = [&](std::string name, const std::string& entryName) {
    if (!isSafeMediaName(name)) {
      ++package.refusedMediaNames;
      return;
    }
    const auto entry = entries.find(entryName);
    if (entry == entries.end()) {
      ++package.missingMediaFiles;
      return;
    }
    package.media.push_back(MediaFile{std::move(name), entry->second});
  };
  if (package.variant == AnkiVariant::Anki21b) {
    Bytes list;
    std::string why;
    if (!libraries.decompress(bytes, limits.mediaListBytes, list, why)) {
      error = "the package's media list cannot be read (" + why + ")";
      return false;
    }
    // MediaEntries: repeated MediaEntry entries = 1; MediaEntry: name = 1, and the entry's
    // name in the zip as field 255 in packages that kept the older numbering.
    ProtoReader entriesReader(list);
    ProtoField field;
    std::size_t index = 0;
    while (entriesReader.next(field)) {
      if (field.number != 1 || field.type != WireType::Bytes) continue;
      std::string name;
      std::string entryName = std::to_string(index++);
      ProtoReader entryReader(field.bytes);
      ProtoField part;
      while (entryReader.next(part)) {
        if (part.number == 1 && part.type == WireType::Bytes) name = part.text();
        if (part.number == 255 && part.type == WireType::Varint) {
          entryName = std::to_string(part.value);
        }
      }
      if (entryReader.malformed()) {
        error = "the package's media list is damaged";
        return false;
      }
      take(std::move(name), entryName);
    }
    if (entriesReader.malformed()) {
      error = "the package's media list is damaged";
      return false;
    }
    package.mediaCompressed = true;
    return true;
  }
  std::string why;
  const auto document =
      parseJson(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &why);
  if (!document || document->kind != JsonValue::Kind::Object) {
    error = "the package's media list is damaged";
    return false;
  }
  for (const auto& [entryName, name] : document->members) {
    if (name.kind != JsonValue::Kind::String) {
      ++package.refusedMediaNames;
      continue;
    }
    take(name.string(), entryName);
  }
  return true;
}

}  // namespace

bool isSafeMediaName(std::string_view name) {
  if (name.empty() || name.size() > 255 || name == "." || name == ".." || name.front() == '.') {
    return false;
  }
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

bool openAnkiPackage(const PeerLibraries& libraries, const std::filesystem::path& path,
                     const PackageLimits& limits, AnkiPackage& package, std::string& error) {
  std::string why;
  package.archive = libraries.openArchive(path, why);
  if (!package.archive) {
    error = "the file is not a readable package (" + why + ")";
    return false;
  }
  std::unordered_map<std::string, std::size_t> entries;
  const auto& list = package.archive->entries();
  for (std::size_t i = 0; i < list.size(); ++i) entries.emplace(list[i].name, i);

  std::optional<AnkiVariant> variant;
  if (const auto meta = entries.find("meta"); meta != entries.end()) {
    Bytes bytes;
    if (!readEntry(*package.archive, meta->second, 1 << 16, bytes, error)) return false;
    ProtoReader reader(bytes);
    ProtoField field;
    std::uint64_t version = 0;
    while (reader.next(field)) {
      if (field.number == 1 && field.type == WireType::Varint) version = field.value;
    }
    if (reader.malformed()) {
      error = "the package's version entry is damaged";
      return false;
    }
    if (version > kMetaLatest) {
      error = "the package was made by a newer Anki than this program knows (package version " +
              std::to_string(version) + ")";
      return false;
    }
    if (version == kMetaLatest) variant = AnkiVariant::Anki21b;
    if (version == kMetaLegacy2) variant = AnkiVariant::Anki21;
    if (version == kMetaLegacy1) variant = AnkiVariant::Anki2;
  }
  if (!variant) {
    for (const AnkiVariant v : {AnkiVariant::Anki21b, AnkiVariant::Anki21, AnkiVariant::Anki2}) {
      if (entries.count(kCollectionNames[static_cast<int>(v)]) != 0) {
        variant = v;
        break;
      }
    }
  }
  const auto collection =
      variant ? entries.find(kCollectionNames[static_cast<int>(*variant)]) : entries.end();
  if (collection == entries.end()) {
    error = "the file is not an Anki package (it holds no collection)";
    return false;
  }
  package.variant = *variant;
  Bytes bytes;
  // The zstd collection is checked against the limit as it is decompressed.
  const std::uint64_t rawLimit = limits.collectionBytes;
  if (!readEntry(*package.archive, collection->second, rawLimit, bytes, error)) return false;
  if (package.variant == AnkiVariant::Anki21b) {
    Bytes plain;
    if (!libraries.decompress(bytes, limits.collectionBytes, plain, why)) {
      error = "the package's collection cannot be decompressed (" + why + ")";
      return false;
    }
    bytes.swap(plain);
  }
  package.collection = libraries.openDatabaseImage(bytes, why);
  if (!package.collection) {
    error = "the package's collection is not a database (" + why + ")";
    return false;
  }
  return readMediaList(libraries, package, entries, limits, error);
}

bool readMediaFile(const PeerLibraries& libraries, AnkiPackage& package, const MediaFile& file,
                   const PackageLimits& limits, Bytes& out, std::string& error) {
  if (!readEntry(*package.archive, file.entry, limits.mediaFileBytes, out, error)) return false;
  if (!package.mediaCompressed) return true;
  Bytes plain;
  std::string why;
  if (!libraries.decompress(out, limits.mediaFileBytes, plain, why)) {
    error = "the media file " + file.name + " cannot be decompressed (" + why + ")";
    return false;
  }
  out.swap(plain);
  return true;
}

}  // namespace kelvora::peers
