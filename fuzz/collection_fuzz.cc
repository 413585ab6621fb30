// Any bytes as a collection's index and texts files: opening, reading every item, writing
// some back and reopening must neither crash nor read outside the files.
// Input: the index file's size (u16, little-endian), a flags byte (bit 0: the texts are
// Unicode; bit 1: write every third item back and open the result again), then the index
// file's bytes and the texts file's bytes.
#include <cstddef>
#include <cstdint>

#include "fuzz_harness.h"
#include "memory_file_system.h"
#include "recording_messages.h"
#include "store/collection.h"
#include "store/collection_opening.h"

using namespace kelvora;

namespace {

using fuzzing::Harness;  // each input starts from a closed collection and its own files

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  static Harness h;
  const std::size_t indexSize = std::min<std::size_t>(size - 3, data[0] | (data[1] << 8));
  const bool unicode = data[2] & 1;
  // Each opening reloads or rebuilds a whole MaxItems table, so only inputs that ask for it
  // pay for a second.
  const bool writeBack = data[2] & 2;
  data += 3;
  size -= 3;
  h.files.restore(
      {{"/f.kbi", {data, data + indexSize}}, {"/f.kdb", {data + indexSize, data + size}}});
  h.messages.shown.clear();
  store::Collection& c = h.c;
  c.settings = store::Settings{};
  c.settings.utf8 = unicode ? 1 : 0;  // kept: the collection has no settings file
  if (store::openCollection(c, "/f")) {
    for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
      c.currentPosition = p;
      if (c.readItem(p) && writeBack && p % 3 == 0) {
        c.loaded.question += u"x";
        c.loaded.itemModified = true;
      }
    }
    (void)c.closeCollection();
    // What was written must open and read again.
    if (writeBack && store::openCollection(c, "/f")) {
      for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
        c.currentPosition = p;
        (void)c.readItem(p);
      }
      (void)c.closeCollection();
    }
  }
  h.files.restore({});
  return 0;
}
