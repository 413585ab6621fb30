// Any bytes as a KVTML 2 file: reading must neither crash nor read outside the bytes, every
// entry handed over must be sound, and the reverse direction must give the same entries mirrored.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "peers/kvtml_reader.h"

using namespace kelvora::peers;

namespace {

bool isTrimmed(const std::u16string& s) {
  const auto space = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
  return !s.empty() && !space(s.front()) && !space(s.back());
}

// No lone surrogate, no NUL, no CR: line ends arrive as LF.
bool isCleanUtf16(const std::u16string& s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c == 0 || c == u'\r') return false;
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
      ++i;
    }
  }
  return true;
}

void checkEntry(const KvtmlEntry& e) {
  if (!isTrimmed(e.question) || !isTrimmed(e.answer)) std::abort();
  if (!isCleanUtf16(e.question) || !isCleanUtf16(e.answer)) std::abort();
  if (e.box > kKvtmlMaxBox) std::abort();
  if (e.date && (e.date->year < 1 || e.date->year > 9999 || e.date->month < 1 ||
                 e.date->month > 12 || e.date->day < 1 || e.date->day > 31)) {
    std::abort();
  }
}

}  // namespace

// NOLINTNEXTLINE(readability-identifier-naming): the name libFuzzer looks for
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<KvtmlEntry> forward;
  KvtmlReport report;
  const bool ok = readKvtml(bytes, {}, report, [&forward](const KvtmlEntry& e) {
    checkEntry(e);
    forward.push_back(e);
    return true;
  });
  if (ok != report.error.empty()) std::abort();
  if (!ok) {
    if (!forward.empty() || report.entries != 0) std::abort();
    return 0;
  }
  if (report.identifiers.size() < 2 || forward.size() != report.entries) std::abort();
  std::unordered_set<int> ids;
  for (const auto& identifier : report.identifiers) {
    if (identifier.first < 0 || !ids.insert(identifier.first).second) std::abort();
  }

  // Entries lack a text in both directions alike, so the reverse reading mirrors this one.
  const KvtmlPair reverse{report.identifiers[1].first, report.identifiers[0].first};
  KvtmlReport again;
  std::size_t i = 0;
  const bool stopEarly = size % 4 == 3;
  const bool okAgain = readKvtml(bytes, reverse, again, [&](const KvtmlEntry& e) {
    checkEntry(e);
    if (i >= forward.size() || e.question != forward[i].answer || e.answer != forward[i].question ||
        e.id != forward[i].id || e.inactive != forward[i].inactive) {
      std::abort();
    }
    ++i;
    return !stopEarly;
  });
  if (!again.error.empty() || again.identifiers != report.identifiers) std::abort();
  if (stopEarly) {
    if (okAgain != forward.empty() || i != std::min<std::size_t>(1, forward.size())) std::abort();
  } else if (!okAgain || i != forward.size() ||
             again.entriesWithoutText != report.entriesWithoutText) {
    std::abort();
  }
  return 0;
}
