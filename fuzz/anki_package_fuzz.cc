// Any bytes as an Anki package: the zip, the collection database inside it, its protobuf and
// JSON settings and media list are read through the real libraries, and the import must
// neither crash nor make a collection of more items than it may hold. The same bytes are also
// walked as one protobuf message.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "fuzz_harness.h"
#include "peers/peer_import.h"
#include "peers/protobuf_reader.h"
#include "platform/peer_libraries.h"
#include "store/collection_format.h"

using namespace kelvora;

// NOLINTNEXTLINE(readability-identifier-naming): the name libFuzzer calls
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  peers::ProtoReader reader(std::span<const std::uint8_t>(data, size));
  peers::ProtoField field;
  std::size_t consumed = 0;
  while (reader.next(field)) {
    consumed += field.bytes.size();
    if (consumed > size) std::abort();
  }

  static const std::string path = "/tmp/kelvora-fuzz-" + std::to_string(getpid()) + ".apkg";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  static fuzzing::Harness h;  // one collection for every input, its disk emptied each time
  h.files.restore({});
  store::Collection& c = h.c;
  peers::PeerLibraries libraries = platform::systemPeerLibraries();
  libraries.localDay = [](std::int64_t seconds) {
    return static_cast<store::DayNumber>(
        std::clamp<std::int64_t>(seconds / 86400 - 3651, 1, 65535));
  };
  const peers::PeerImportResult r = peers::importAnkiPackage(c, libraries, path, "/new", true);
  if (r.outcome == peers::PeerImportOutcome::Imported && r.added > store::MaxItems) std::abort();
  if (r.outcome != peers::PeerImportOutcome::Imported && h.files.exists("/new.kdb")) std::abort();
  (void)peers::peerImportMessage(r, "/new");
  return 0;
}
