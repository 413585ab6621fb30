// The documents folder from the environment.
#include "platform/documents_folder.h"

#include <cstdlib>

namespace kelvora::platform {

std::filesystem::path documentsFolderFor(std::string_view xdgDocumentsDir,
                                         const std::filesystem::path& desktopChoice,
                                         std::string_view home) {
  if (!xdgDocumentsDir.empty() && xdgDocumentsDir.front() == '/') return xdgDocumentsDir;
  if (!desktopChoice.empty()) return desktopChoice;
  if (!home.empty() && home.front() == '/') return std::filesystem::path(home) / "Documents";
  return {};
}

std::filesystem::path documentsFolder(const std::filesystem::path& desktopChoice) {
  auto value = [](const char* name) {
    const char* text = std::getenv(name);
    return std::string_view(text != nullptr ? text : "");
  };
  return documentsFolderFor(value("XDG_DOCUMENTS_DIR"), desktopChoice, value("HOME"));
}

}  // namespace kelvora::platform
