// Reading and writing the links file: a header line, then a slot number and a key per line.
#include "peers/links_file.h"

#include <charconv>
#include <span>

#include "store/atomic_file.h"
#include "store/collection.h"
#include "store/utf8.h"

namespace kelvora::peers {
namespace {

// 64-bit FNV-1a over the text's UTF-16 code units, each as its two bytes, low byte first.
std::uint64_t fnv1a(std::u16string_view text) {
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (const char16_t unit : text) {
    hash ^= static_cast<std::uint8_t>(unit & 0xFF);
    hash *= 0x100000001B3ull;
    hash ^= static_cast<std::uint8_t>(unit >> 8);
    hash *= 0x100000001B3ull;
  }
  return hash;
}

std::string lineError(std::size_t line, std::string_view what) {
  return "the links file is damaged at line " + std::to_string(line) + " (" + std::string(what) +
         ")";
}

// The key of a table row, made in key: the hash of its question, which keeps the links file
// small and quick to write whatever the questions hold.
void makeTableKey(std::u16string_view firstColumn, std::string& key) {
  static constexpr char kHex[] = "0123456789abcdef";
  const std::uint64_t hash = fnv1a(firstColumn);
  key.assign("table ");
  for (int shift = 60; shift >= 0; shift -= 4) key.push_back(kHex[(hash >> shift) & 0xF]);
}

bool needsEscape(char c) { return c == '\\' || c == '\t' || c == '\n' || c == '\r'; }

void appendLine(std::string& out, std::uint16_t slot, std::string_view key) {
  char digits[8];
  const auto [end, ec] = std::to_chars(std::begin(digits), std::end(digits), slot);
  out.append(digits, end);
  out.push_back('\t');
  // Runs without a character to escape go out whole.
  std::size_t from = 0;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const char c = key[i];
    if (!needsEscape(c)) continue;
    out.append(key.substr(from, i - from));
    out.push_back('\\');
    out.push_back(c == '\\' ? '\\' : c == '\t' ? 't' : c == '\n' ? 'n' : 'r');
    from = i + 1;
  }
  out.append(key.substr(from));
  out.push_back('\n');
}

}  // namespace

std::string ankiKey(std::string_view guid, std::int64_t templateOrdinal) {
  return "anki " + std::string(guid) + " " + std::to_string(templateOrdinal);
}

std::string mnemosyneKey(std::string_view cardId) { return "mnemosyne " + std::string(cardId); }

std::string kvtmlKey(std::string_view fileName, std::string_view entryId, int from, int to) {
  return "kvtml " + std::to_string(from) + " " + std::to_string(to) + " " + std::string(entryId) +
         " " + std::string(fileName);
}

std::string tableKey(std::u16string_view firstColumn) {
  std::string key;
  makeTableKey(firstColumn, key);
  return key;
}

std::string formatLinks(const std::vector<ItemLink>& links) {
  LinksText out;
  for (const ItemLink& link : links) out.add(link.slot, link.key);
  return out.text();
}

LinksText::LinksText() : m_text(kLinksHeader) { m_text.push_back('\n'); }

void LinksText::add(std::uint16_t slot, std::string_view key) { appendLine(m_text, slot, key); }

void LinksText::addTableRow(std::uint16_t slot, std::u16string_view firstColumn) {
  makeTableKey(firstColumn, m_key);
  appendLine(m_text, slot, m_key);
}

bool parseLinks(std::string_view text, std::vector<ItemLink>& links, std::string& error) {
  links.clear();
  std::size_t lineNumber = 0;
  bool first = true;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      if (line != kLinksHeader) {
        error = "the links file is not one this program wrote";
        return false;
      }
      first = false;
      continue;
    }
    if (line.empty()) continue;
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos || tab == 0) {
      error = lineError(lineNumber, "no slot number");
      return false;
    }
    unsigned slot = 0;
    const auto [at, ec] = std::from_chars(line.data(), line.data() + tab, slot);
    if (ec != std::errc() || at != line.data() + tab || slot >= store::kDeadSlot) {
      error = lineError(lineNumber, "no slot number");
      return false;
    }
    ItemLink link{static_cast<std::uint16_t>(slot), {}};
    for (std::size_t i = tab + 1; i < line.size(); ++i) {
      if (line[i] != '\\') {
        link.key.push_back(line[i]);
        continue;
      }
      const char next = i + 1 < line.size() ? line[++i] : '\0';
      switch (next) {
        case '\\':
          link.key.push_back('\\');
          break;
        case 't':
          link.key.push_back('\t');
          break;
        case 'n':
          link.key.push_back('\n');
          break;
        case 'r':
          link.key.push_back('\r');
          break;
        default:
          error = lineError(lineNumber, "an unknown escape");
          return false;
      }
    }
    if (link.key.empty()) {
      error = lineError(lineNumber, "no key");
      return false;
    }
    links.push_back(std::move(link));
  }
  if (first) {
    error = "the links file is empty";
    return false;
  }
  return true;
}

bool readLinks(store::FileSystem& files, const std::filesystem::path& base,
               std::vector<ItemLink>& links, std::string& error) {
  links.clear();
  const std::filesystem::path path = store::linksPath(base);
  if (!files.exists(path)) return true;
  store::OpenError openError = store::OpenError::None;
  auto file = files.openForReading(path, &openError);
  const std::optional<std::uint64_t> size = file ? file->size() : std::nullopt;
  if (!size) {
    error =
        "the links file " + store::encodeUtf8(store::pathText(path.filename())) + " cannot be read";
    return false;
  }
  if (*size > kMaxLinksFileBytes) {
    error = "the links file is larger than a collection's links can be";
    return false;
  }
  std::string text(static_cast<std::size_t>(*size), '\0');
  const store::IoResult r =
      file->readAt(0, std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size()));
  if (!r.ok()) {
    error =
        "the links file " + store::encodeUtf8(store::pathText(path.filename())) + " cannot be read";
    return false;
  }
  return parseLinks(text, links, error);
}

store::IoResult writeStagedLinks(store::FileSystem& files, const std::filesystem::path& base,
                                 std::string_view text) {
  return store::writeWholeFile(files, store::linksPath(base), text, store::WholeFile::Stage);
}

}  // namespace kelvora::peers
