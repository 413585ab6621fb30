// Any bytes as a recent file: parsing never crashes, and what is written then reads back as
// the same entries, apart from those a line cannot hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "store/recent_file_format.h"

using namespace kelvora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const store::RecentFiles first =
      store::parseRecentFile({reinterpret_cast<const char*>(data), size});
  const store::RecentFiles second = store::parseRecentFile(store::formatRecentFile(first));
  for (std::size_t i = 0; i < first.entries.size(); ++i) {
    const bool storable = store::isStorableRecentEntry(first.entries[i]);
    if (second.entries[i].native() != (storable ? first.entries[i].native() : "")) std::abort();
  }
  return 0;
}
