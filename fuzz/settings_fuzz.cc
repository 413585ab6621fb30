// Any bytes as a settings file: reading never crashes, and what is written then reads back
// as the same settings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "memory_file_system.h"
#include "store/settings.h"

using namespace kelvora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fakes::MemoryFileSystem files;
  files.put("/s.cfg", {data, data + size});
  store::Settings first;
  store::readSettings(first, files, "/s");
  first.settingsChanged = true;
  if (!store::writeSettings(first, files, "/s")) std::abort();
  store::Settings second;
  second.utf8 = 77;  // must be replaced by what was written
  store::readSettings(second, files, "/s");
  // Faces read in are at most 31 units with no white space, so they survive the round trip.
  if (first.questionFont.face != second.questionFont.face ||
      first.questionFont.size != second.questionFont.size ||
      first.questionFont.weight != second.questionFont.weight ||
      first.answerFont.face != second.answerFont.face ||
      first.answerFont.size != second.answerFont.size ||
      first.answerFont.weight != second.answerFont.weight || first.utf8 != second.utf8 ||
      first.html != second.html || first.ratio != second.ratio) {
    std::abort();
  }
  return 0;
}
