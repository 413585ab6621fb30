// The path helpers every file of the store shares.
#include "store/file_system.h"

namespace kelvora::store {

std::filesystem::path withSuffix(const std::filesystem::path& base, const char* suffix) {
  std::filesystem::path p = base;
  p += suffix;
  return p;
}

std::filesystem::path folderOf(const std::filesystem::path& path) {
  std::filesystem::path folder = path.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

}  // namespace kelvora::store
