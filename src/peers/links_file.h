// The links file beside a collection (BASE.links): for each item an import took from another
// learner's file, the key that names it in its source, so that importing the source again
// updates the item instead of adding it twice. The bytes are described in doc/links_file.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "store/file_system.h"

namespace kelvora::peers {

// The first line of every links file.
inline constexpr std::string_view kLinksHeader = "Kelvora links 1";
// A links file holds at most one line per item; anything larger is damage.
inline constexpr std::uint64_t kMaxLinksFileBytes = std::uint64_t{32} << 20;

struct ItemLink {
  std::uint16_t slot = 0;  // the item's slot number, which edits and rebuilds keep
  std::string key;         // UTF-8, as the key functions below make it

  bool operator==(const ItemLink&) const = default;
};

// The keys of the sources. A card of an Anki note: its note's GUID and its template.
std::string ankiKey(std::string_view guid, std::int64_t templateOrdinal);
// A Mnemosyne card: its id.
std::string mnemosyneKey(std::string_view cardId);
// A KVTML entry asked from one identifier to another, in the file of that name: entry ids count
// from 0 in every file, so the name keeps two files' entries apart.
std::string kvtmlKey(std::string_view fileName, std::string_view entryId, int from, int to);
// A row of a text table: "table " and 16 hex digits of the 64-bit FNV-1a hash of its question
// column (its UTF-16 code units, each low byte first).
std::string tableKey(std::u16string_view firstColumn);

// The file's text: the header line, then one line per link, "SLOT<TAB>KEY", the key with
// backslash, tab, line feed and carriage return written as \\, \t, \n and \r.
std::string formatLinks(const std::vector<ItemLink>& links);

// The same text built link by link, for an import that makes thousands: no key is held apart.
class LinksText {
 public:
  LinksText();
  void add(std::uint16_t slot, std::string_view key);
  // The link of a text table's row, its key tableKey(firstColumn).
  void addTableRow(std::uint16_t slot, std::u16string_view firstColumn);
  const std::string& text() const { return m_text; }
  void reserve(std::size_t bytes) { m_text.reserve(bytes); }

 private:
  std::string m_text;
  std::string m_key;
};
// Reads a links file's text. False, with error naming the line, when the header is not the
// one above or a line is not a slot number below 65535, a tab and a key of known escapes.
bool parseLinks(std::string_view text, std::vector<ItemLink>& links, std::string& error);

// The links of the collection at base; none when it has no links file. False, with error in
// words for the user, when the file cannot be read or is damaged.
bool readLinks(store::FileSystem& files, const std::filesystem::path& base,
               std::vector<ItemLink>& links, std::string& error);
// Writes the links, synced, as the temporary the collection's next change puts in place
// (Collection::stageLinks). A failure removes the temporary.
store::IoResult writeStagedLinks(store::FileSystem& files, const std::filesystem::path& base,
                                 std::string_view text);

}  // namespace kelvora::peers
