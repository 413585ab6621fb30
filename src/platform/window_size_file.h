// The main window's last size, kept between runs as the text "WIDTHxHEIGHT" in the file
// "window" of our configuration folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kelvora::platform {

inline constexpr std::string_view kWindowSizeFileName = "window";

struct WindowSize {
  int width = 0;   // pixels
  int height = 0;  // pixels
  bool operator==(const WindowSize&) const = default;
};

// Sizes outside this range are taken for a damaged file and ignored.
inline constexpr int kMinWindowSide = 100;
inline constexpr int kMaxWindowSide = 16384;

// "640x480", optionally followed by one line break; anything else gives nullopt.
std::optional<WindowSize> parseWindowSize(std::string_view text);
std::string formatWindowSize(const WindowSize& size);

// The size stored in configDir; nullopt when the file is missing, unreadable or not a size.
std::optional<WindowSize> readWindowSize(const std::filesystem::path& configDir);
// Writes the size, creating configDir when missing; false when it cannot be written.
bool writeWindowSize(const std::filesystem::path& configDir, const WindowSize& size);

}  // namespace kelvora::platform
