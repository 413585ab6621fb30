// Any bytes as a collection's index and texts files: opening, reading every item, writing
// some back and reopening must neither crash nor read outside the files.
#include <cstddef>
#include <cstdint>

#include "memory_file_system.h"
#include "recording_messages.h"
#include "store/collection.h"
#include "store/collection_opening.h"

using namespace kelvora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::size_t indexSize = std::min<std::size_t>(size - 3, data[0] | (data[1] << 8));
  const bool unicode = data[2] & 1;
  data += 3;
  size -= 3;
  fakes::MemoryFileSystem files;
  fakes::RecordingMessages messages;
  files.put("/f.kbi", {data, data + indexSize});
  files.put("/f.kdb", {data + indexSize, data + size});
  store::Collection c(files, messages, [] { return store::DayNumber{9000}; });
  c.settings.utf8 = unicode ? 1 : 0;
  if (!store::openCollection(c, "/f")) return 0;
  for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
    c.currentPosition = p;
    if (c.readItem(p) && p % 3 == 0) {
      c.loaded.question += u"x";
      c.loaded.itemModified = true;
    }
  }
  (void)c.closeCollection();
  store::openCollection(c, "/f");
  (void)c.closeCollection();
  return 0;
}
