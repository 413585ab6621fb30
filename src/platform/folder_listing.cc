// The plain files of a folder through std::filesystem, for the media an export takes along.
#include <algorithm>
#include <system_error>

#include "platform/peer_libraries.h"

namespace kelvora::platform {

bool listPlainFiles(const std::filesystem::path& folder, std::vector<std::string>& names,
                    std::string& error) {
  names.clear();
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(folder, ec);
  if (status.type() == std::filesystem::file_type::not_found) return true;
  if (ec) {
    error = "the folder " + folder.string() + " cannot be read (" + ec.message() + ")";
    return false;
  }
  if (status.type() != std::filesystem::file_type::directory) {
    error = folder.string() + " is not a folder";
    return false;
  }
  std::filesystem::directory_iterator it(folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name.front() == '.') continue;
    // Followed when it is a link, as the file is read through it; a broken link is no file.
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    names.push_back(std::move(name));
  }
  if (ec) {
    names.clear();
    error = "the folder " + folder.string() + " cannot be read (" + ec.message() + ")";
    return false;
  }
  std::sort(names.begin(), names.end());
  return true;
}

}  // namespace kelvora::platform
