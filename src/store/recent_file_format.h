// The per-user recent file, as bytes: three "FileN=<base path>" lines, most recent first.
// Described with worked examples in doc/recent_file.md.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "store/recent_files.h"

namespace kelvora::store {

// The keys of the three entries, in list order. Keys are case-sensitive.
inline constexpr std::array<std::string_view, RecentFiles::kCount> kRecentFileKeys = {
    "File1", "File2", "File3"};
inline constexpr char kRecentFileSeparator = '=';
inline constexpr char kRecentFileLineEnd = '\n';
// Three paths of the longest length POSIX systems allow fit many times over; a longer file is
// not one of ours and is not read.
inline constexpr std::size_t kMaxRecentFileBytes = std::size_t{64} * 1024;

// Whether a path can be kept in one line of the file: it holds no CR or LF.
bool isStorableRecentEntry(const std::filesystem::path& entry);

// Reads the entries from the file's bytes. A leading UTF-8 byte-order mark is skipped; lines
// end in LF or CR LF, and a CR ending the text counts as a line end too. The key is what comes
// before the first '=', the value the rest of the line as it stands (any bytes, no trimming).
// Lines with other keys or no '=' are ignored, a missing key leaves its entry empty, and of
// repeated keys the last counts.
RecentFiles parseRecentFile(std::string_view bytes);

// The three lines for the list, LF-terminated, keys in order. An entry that cannot be stored
// is written as empty, which the next load drops like any vanished entry.
std::string formatRecentFile(const RecentFiles& list);

}  // namespace kelvora::store
