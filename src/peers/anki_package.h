// Opening an Anki package (.apkg, .colpkg): the zip is read, the newest collection it holds is
// taken out (decompressed when it is the zstd one) and opened from memory, and its media list
// is read, with every name checked before anything is copied.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "peers/peer_ports.h"

namespace kelvora::peers {

// Which collection of the package is read. A package with a newer one also holds an old
// collection.anki2 whose only note asks the user to update: that one is never read then.
enum class AnkiVariant { Anki2, Anki21, Anki21b };

struct PackageLimits {
  std::uint64_t collectionBytes = std::uint64_t{2} << 30;  // the collection, decompressed
  std::uint64_t mediaListBytes = std::uint64_t{64} << 20;
  std::uint64_t mediaFileBytes = std::uint64_t{512} << 20;  // one media file
};

struct MediaFile {
  std::string name;       // the name the media list gives it, UTF-8
  std::size_t entry = 0;  // its entry in the archive
};

struct AnkiPackage {
  std::unique_ptr<Archive> archive;
  AnkiVariant variant = AnkiVariant::Anki2;
  std::unique_ptr<Database> collection;
  std::vector<MediaFile> media;       // names that are safe to create, in list order
  bool mediaCompressed = false;       // the files are zstd frames (the newest packages)
  std::size_t refusedMediaNames = 0;  // names that could leave the media folder, or hide
  std::size_t missingMediaFiles = 0;  // listed, but not in the archive
};

// A media name is refused when it could reach outside the media folder or hide in it: empty,
// "." or "..", holding a path separator (/ or \), a control character or a NUL, starting with
// a dot, or longer than a file name may be (255 bytes).
bool isSafeMediaName(std::string_view name);

// The package at path, or false with error set, in words for the user. A package whose meta
// entry names a newer version than is known is refused.
bool openAnkiPackage(const PeerLibraries& libraries, const std::filesystem::path& path,
                     const PackageLimits& limits, AnkiPackage& package, std::string& error);

// A media file's bytes as they go into the media folder.
bool readMediaFile(const PeerLibraries& libraries, AnkiPackage& package, const MediaFile& file,
                   const PackageLimits& limits, Bytes& out, std::string& error);

}  // namespace kelvora::peers
