// The remembered window size: what a damaged or foreign file gives, and the round trip.
#include "platform/window_size_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "temp_dir.h"

namespace kelvora::platform {
namespace {

TEST(WindowSizeFile, ParsesOnlyTwoPlainSidesInRange) {
  struct Case {
    const char* text;
    std::optional<WindowSize> size;
  };
  const Case cases[] = {
      {"480x640\n", WindowSize{480, 640}},
      {"100x16384", WindowSize{100, 16384}},
      {"99x640", std::nullopt},     // too small to show the panes
      {"480x16385", std::nullopt},  // larger than any screen
      {"480 x 640", std::nullopt},
      {"+480x640", std::nullopt},
      {"480x640\n\n", std::nullopt},
      {"480X640", std::nullopt},
      {"x640", std::nullopt},
      {"480x640x2", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parseWindowSize(c.text), c.size) << c.text;
  }
}

TEST(WindowSizeFile, WriteCreatesTheFolderAndReadGivesTheSizeBack) {
  fakes::TempDir tmp;
  const auto dir = tmp / "config/kelvora";
  ASSERT_TRUE(writeWindowSize(dir, {800, 600}));
  std::ifstream in(dir / "window", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, "800x600\n");
  EXPECT_EQ(readWindowSize(dir), (WindowSize{800, 600}));
}

TEST(WindowSizeFile, MissingOrOverlongFileGivesNoSize) {
  fakes::TempDir tmp;
  EXPECT_EQ(readWindowSize(tmp.path()), std::nullopt);
  std::ofstream(tmp / "window") << "480x640" << std::string(100, ' ');
  EXPECT_EQ(readWindowSize(tmp.path()), std::nullopt);
  EXPECT_FALSE(writeWindowSize({}, {480, 640}));
}

}  // namespace
}  // namespace kelvora::platform
