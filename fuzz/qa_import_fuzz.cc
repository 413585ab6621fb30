// Any bytes as a Q&A file: importing must neither crash nor store a text over the limit, and
// repeated export and import must settle on one file.
// Input: a flags byte (bit 0: the collection stores Unicode; bit 1: import and export twice
// more and check that the file settles), then the Q&A file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "exchange/import_sink.h"
#include "exchange/qa_reader.h"
#include "exchange/qa_writer.h"
#include "fuzz_harness.h"
#include "memory_file_system.h"
#include "recording_messages.h"
#include "store/collection.h"
#include "store/collection_opening.h"

using namespace kelvora;

namespace {

constexpr const char* kBase = "/q";

using fuzzing::Harness;  // each input starts from a closed collection and its own files

// Imports the Q&A file at from in place of the collection, opens the result and reads every
// item back; leaves it open.
void importFile(store::Collection& c, const char* from) {
  auto in = store::openTextReader(c.files(), from);
  if (!in || !c.openForReplacing(kBase)) std::abort();
  c.header = store::IndexHeader{};  // the new items are numbered from 0
  {
    exchange::ImportSink sink(c);
    exchange::QaCounts counts;
    if (!exchange::importQaItems(*in, sink, counts, c.progress) || !sink.finish()) std::abort();
    if (counts.questions != sink.itemCount()) std::abort();
  }
  if (!c.installImportedTexts() || !store::openCollection(c, kBase)) std::abort();
  for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
    c.currentPosition = p;
    if (!c.readItem(p)) std::abort();
    if (c.loaded.question.size() > exchange::kQaMaxText) std::abort();
    if (c.loaded.answer.size() > exchange::kQaMaxText) std::abort();
  }
}

// Exports the open collection to the file at to and closes it; returns the file's bytes.
std::vector<std::uint8_t> exportFile(store::Collection& c, fakes::MemoryFileSystem& files,
                                     const char* to) {
  {
    auto out = store::createTextWriter(files, to);
    exchange::QaCounts counts;
    exchange::exportQaItems(*out, c, counts);
    if (!out->close() || counts.questions != c.header.itemCount) std::abort();
  }
  if (!c.closeCollection()) std::abort();
  return files.bytes(to);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static Harness h;
  const bool unicode = data[0] & 1;
  const bool settle = data[0] & 2;
  h.files.restore({{"/0.txt", {data + 1, data + size}}});
  h.messages.shown.clear();
  store::Collection& c = h.c;
  c.settings = store::Settings{};
  c.settings.utf8 = unicode ? 1 : 0;  // kept: the collection has no settings file yet
  // The first two exports may differ from what they read: a lone carriage return kept in a
  // text is written as a line break, and a text grown by that is cut again on import. From
  // then on a file must come back unchanged. Each stage costs a whole import and rebuild, so
  // only inputs that ask for it go on past the first.
  const char* const texts[] = {"/0.txt", "/1.txt", "/2.txt", "/3.txt"};
  std::vector<std::uint8_t> exported[3];
  const int stages = settle ? 3 : 1;
  for (int stage = 0; stage < stages; ++stage) {
    importFile(c, texts[stage]);
    exported[stage] = exportFile(c, h.files, texts[stage + 1]);
  }
  if (settle && exported[2] != exported[1]) std::abort();
  h.files.restore({});
  return 0;
}
