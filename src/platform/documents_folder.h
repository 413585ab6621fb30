// Where a new collection named in the Get string dialog goes: the user's documents folder.
#pragma once

#include <filesystem>
#include <string_view>

namespace kelvora::platform {

// XDG_DOCUMENTS_DIR when it is absolute; else desktopChoice (what the desktop's own settings
// name, empty when unknown); else HOME/Documents when HOME is absolute; else empty.
std::filesystem::path documentsFolderFor(std::string_view xdgDocumentsDir,
                                         const std::filesystem::path& desktopChoice,
                                         std::string_view home);

// documentsFolderFor with this process's environment.
std::filesystem::path documentsFolder(const std::filesystem::path& desktopChoice = {});

}  // namespace kelvora::platform
