// Any bytes as a links file: reading must neither crash nor read outside the bytes, and what it
// reads must be written back to a text that reads as the same links.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "peers/links_file.h"
#include "store/collection_format.h"

using namespace kelvora::peers;

// NOLINTNEXTLINE(readability-identifier-naming): the name libFuzzer looks for
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<ItemLink> links;
  std::string error;
  const bool ok = parseLinks(text, links, error);
  if (ok != error.empty()) std::abort();
  if (!ok) return 0;
  for (const ItemLink& link : links) {
    if (link.key.empty() || link.slot >= kelvora::store::kDeadSlot) std::abort();
  }
  std::vector<ItemLink> again;
  if (!parseLinks(formatLinks(links), again, error) || again != links) std::abort();
  return 0;
}
