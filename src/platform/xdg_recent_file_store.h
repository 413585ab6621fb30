// The recent list on a Linux desktop: the file "recent" in the user's configuration folder
// for Kelvora ($XDG_CONFIG_HOME/kelvora, else ~/.config/kelvora).
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "store/recent_file_store.h"

namespace kelvora::platform {

inline constexpr std::string_view kRecentFileName = "recent";

// The recent file in configDir. Reading a file that does not exist gives an empty list; one
// that cannot be read (no permission, not a regular file, too long) gives nullopt. Writing
// creates configDir when missing (new folders 0700) and replaces the file atomically, so the
// previous list survives any failure or crash. An empty configDir stores nothing.
class XdgRecentFileStore final : public store::RecentFileStore {
 public:
  explicit XdgRecentFileStore(std::filesystem::path configDir);

  std::optional<store::RecentFiles> read() override;
  bool write(const store::RecentFiles& list) override;

  const std::filesystem::path& configDir() const { return m_dir; }

 private:
  std::filesystem::path m_dir;
};

// Our configuration folder from the values of XDG_CONFIG_HOME and HOME (empty when unset):
// XDG_CONFIG_HOME/kelvora when that is an absolute path, else HOME/.config/kelvora when HOME is
// absolute, else nullopt (relative values are ignored rather than taken from the working folder).
std::optional<std::filesystem::path> configDirFor(std::string_view xdgConfigHome,
                                                  std::string_view home);

// configDirFor with the values of this process's environment.
std::optional<std::filesystem::path> configDirFromEnvironment();

}  // namespace kelvora::platform
