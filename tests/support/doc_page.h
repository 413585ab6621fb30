// Reads the worked examples of the format pages in doc/ at test time, so that a page and the
// code that writes its format cannot drift apart unnoticed.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace kelvora::testing {

using PageBytes = std::vector<std::uint8_t>;

// The text of doc/<name>; empty (and a test failure) when it cannot be read.
inline std::string docPage(const std::string& name) {
  std::ifstream in(std::string(KELVORA_DOC_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read doc/" << name;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The fenced blocks of a page in order, each as its lines without the fences.
inline std::vector<std::vector<std::string>> fencedBlocks(const std::string& page) {
  std::vector<std::vector<std::string>> blocks;
  std::istringstream in(page);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (line.rfind("```", 0) == 0) {
      inside = !inside;
      if (inside) blocks.emplace_back();
      continue;
    }
    if (inside) blocks.back().push_back(line);
  }
  return blocks;
}

// One line of a hex dump: "0010: 4B 56 ...  |text|" (with its offset) or "4B 56 ...   text".
struct HexLine {
  std::optional<std::size_t> offset;
  PageBytes bytes;
};

inline bool isHexPair(const std::string& s, std::size_t at) {
  return at + 1 < s.size() && std::isxdigit(static_cast<unsigned char>(s[at])) &&
         std::isxdigit(static_cast<unsigned char>(s[at + 1])) &&
         (at + 2 == s.size() || s[at + 2] == ' ');
}

// The hex lines of a block; a block whose first line is no hex dump gives none. A line of
// "..." between offset lines stands for bytes the page leaves out.
inline std::vector<HexLine> hexLines(const std::vector<std::string>& block) {
  std::vector<HexLine> lines;
  for (const std::string& text : block) {
    if (text == "...") continue;
    HexLine line;
    std::size_t at = 0;
    const std::size_t colon = text.find(": ");
    if (colon == 4 && std::isxdigit(static_cast<unsigned char>(text[0]))) {
      line.offset = std::stoul(text.substr(0, 4), nullptr, 16);
      at = colon + 2;
    }
    // Pairs separated by single blanks; two blanks or more start the text column.
    while (isHexPair(text, at)) {
      line.bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(at, 2), nullptr, 16)));
      at += 2;
      if (at + 1 < text.size() && text[at] == ' ' && text[at + 1] == ' ') break;
      if (at < text.size()) ++at;
    }
    if (line.bytes.empty()) return {};
    lines.push_back(std::move(line));
  }
  return lines;
}

// Every hex dump of a page, in order, each as its lines.
inline std::vector<std::vector<HexLine>> hexDumps(const std::string& page) {
  std::vector<std::vector<HexLine>> dumps;
  for (const auto& block : fencedBlocks(page)) {
    std::vector<HexLine> lines = hexLines(block);
    if (!lines.empty()) dumps.push_back(std::move(lines));
  }
  return dumps;
}

// A whole dump as one run of bytes; a dump with offsets must list them without gaps.
inline PageBytes wholeDump(const std::vector<HexLine>& lines) {
  PageBytes bytes;
  for (const HexLine& line : lines) {
    if (line.offset) {
      EXPECT_EQ(*line.offset, bytes.size()) << "a gap in a whole dump";
    }
    bytes.insert(bytes.end(), line.bytes.begin(), line.bytes.end());
  }
  return bytes;
}

// Whether every line of a dump with offsets shows what bytes holds there.
inline ::testing::AssertionResult dumpMatches(const std::vector<HexLine>& lines,
                                              const PageBytes& bytes) {
  for (const HexLine& line : lines) {
    if (!line.offset) return ::testing::AssertionFailure() << "a dump line without its offset";
    const std::size_t at = *line.offset;
    if (at + line.bytes.size() > bytes.size() ||
        !std::equal(line.bytes.begin(), line.bytes.end(), bytes.begin() + at)) {
      return ::testing::AssertionFailure() << "the bytes differ in the line at offset " << at;
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace kelvora::testing
