// A collection's display settings and its small text file (base path + ".cfg"): the question
// and answer fonts, the text encoding flag, the HTML flag and the question/answer ratio.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "store/file_system.h"

namespace kelvora::store {

// Face names longer than this many code units are cut when read.
inline constexpr std::size_t kMaxFaceLength = 31;

struct FontSetting {
  std::u16string face = u"Tahoma";
  std::int32_t size = 13;
  std::int32_t weight = 700;
  bool operator==(const FontSetting&) const = default;
};

struct Settings {
  FontSetting questionFont;
  FontSetting answerFont;
  std::uint8_t utf8 = 0;   // 1 = Unicode, 0 = Compressed Unicode
  std::uint8_t html = 0;   // 1 = texts are shown as HTML
  std::uint8_t ratio = 0;  // question/answer size choice, 0..5
  bool settingsChanged = false;

  // Both fonts back to "Tahoma", 13, 700; the byte settings are left alone.
  void resetFonts();
};

// The settings file of a collection: base path + ".cfg".
std::filesystem::path settingsPath(const std::filesystem::path& base);

// Reads base path + ".cfg" into the settings (fonts reset first). A missing file sets
// settingsChanged so that the next close writes one; otherwise settingsChanged is cleared.
void readSettings(Settings& settings, FileSystem& files, const std::filesystem::path& basePath);

// Writes the five lines to base path + ".cfg" and clears settingsChanged; when the file cannot
// be written, settingsChanged stays set. Returns whether the file was written.
bool writeSettings(Settings& settings, FileSystem& files, const std::filesystem::path& basePath);

// Writes the settings into the temporary beside base path + ".cfg" and syncs it, leaving the
// settings file itself as it is: an import's installation puts it in place with the new texts.
IoResult stageSettings(const Settings& settings, FileSystem& files,
                       const std::filesystem::path& basePath);

}  // namespace kelvora::store
