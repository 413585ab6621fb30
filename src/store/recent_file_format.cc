// Parsing and writing the lines of the per-user recent file.
#include "store/recent_file_format.h"

#include "store/utf8.h"

namespace kelvora::store {

bool isStorableRecentEntry(const std::filesystem::path& entry) {
  return entry.native().find_first_of("\r\n") == std::filesystem::path::string_type::npos;
}

RecentFiles parseRecentFile(std::string_view bytes) {
  const std::string_view mark(reinterpret_cast<const char*>(kUtf8ByteOrderMark),
                              sizeof kUtf8ByteOrderMark);
  if (bytes.starts_with(mark)) bytes.remove_prefix(mark.size());

  RecentFiles list;
  while (!bytes.empty()) {
    std::size_t end = bytes.find(kRecentFileLineEnd);
    std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);

    std::size_t split = line.find(kRecentFileSeparator);
    if (split == std::string_view::npos) continue;
    for (std::size_t i = 0; i < kRecentFileKeys.size(); ++i) {
      if (line.substr(0, split) == kRecentFileKeys[i]) {
        list.entries[i] = std::filesystem::path(std::string(line.substr(split + 1)));
      }
    }
  }
  return list;
}

std::string formatRecentFile(const RecentFiles& list) {
  std::string out;
  for (std::size_t i = 0; i < kRecentFileKeys.size(); ++i) {
    out += kRecentFileKeys[i];
    out += kRecentFileSeparator;
    if (isStorableRecentEntry(list.entries[i])) out += list.entries[i].native();
    out += kRecentFileLineEnd;
  }
  return out;
}

}  // namespace kelvora::store
