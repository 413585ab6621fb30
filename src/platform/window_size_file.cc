// Reading and writing the window size file.
#include "platform/window_size_file.h"

#include <charconv>
#include <fstream>
#include <system_error>

#include "platform/posix_file_system.h"
#include "store/atomic_file.h"

namespace kelvora::platform {
namespace {

// The file holds a dozen bytes; a longer one is not ours.
constexpr std::size_t kMaxFileBytes = 64;

std::optional<int> parseSide(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [stop, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || stop != end || text.empty() || text.front() == '+') return std::nullopt;
  if (value < kMinWindowSide || value > kMaxWindowSide) return std::nullopt;
  return value;
}

}  // namespace

std::optional<WindowSize> parseWindowSize(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  const std::size_t x = text.find('x');
  if (x == std::string_view::npos) return std::nullopt;
  const auto width = parseSide(text.substr(0, x));
  const auto height = parseSide(text.substr(x + 1));
  if (!width || !height) return std::nullopt;
  return WindowSize{*width, *height};
}

std::string formatWindowSize(const WindowSize& size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height) + "\n";
}

std::optional<WindowSize> readWindowSize(const std::filesystem::path& configDir) {
  std::ifstream in(configDir / kWindowSizeFileName, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text;
  char buffer[kMaxFileBytes + 1];
  in.read(buffer, sizeof buffer);
  const auto got = static_cast<std::size_t>(in.gcount());
  if (got > kMaxFileBytes) return std::nullopt;
  text.assign(buffer, got);
  return parseWindowSize(text);
}

bool writeWindowSize(const std::filesystem::path& configDir, const WindowSize& size) {
  if (configDir.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(configDir, ec);
  if (ec) return false;
  // Replaced as a whole, so a kill or a full disk never leaves half a file behind.
  PosixFileSystem files;
  return !store::writeWholeFile(files, configDir / kWindowSizeFileName, formatWindowSize(size))
              .failed();
}

}  // namespace kelvora::platform
