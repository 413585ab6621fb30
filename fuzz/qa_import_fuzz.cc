// Any bytes as a Q&A file: importing must neither crash nor store a text over the limit, and
// repeated export and import must settle on one file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "exchange/import_sink.h"
#include "exchange/qa_reader.h"
#include "exchange/qa_writer.h"
#include "memory_file_system.h"
#include "recording_messages.h"
#include "store/collection.h"
#include "store/collection_opening.h"

using namespace kelvora;

namespace {

// Imports the Q&A file at from into a new collection at base and leaves it open.
void importFile(store::Collection& c, const char* from, const char* base, bool unicode) {
  auto in = store::openTextReader(c.files(), from);
  if (!in || !c.openForReplacing(base)) std::abort();
  c.settings.utf8 = unicode ? 1 : 0;
  {
    exchange::ImportSink sink(c);
    exchange::QaCounts counts;
    if (!exchange::importQaItems(*in, sink, counts, c.progress) || !sink.finish()) std::abort();
    if (counts.questions != sink.itemCount()) std::abort();
  }
  if (!c.installImportedTexts()) std::abort();
  if (!store::openCollection(c, base)) std::abort();
  for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
    c.currentPosition = p;
    if (!c.readItem(p)) std::abort();
    if (c.loaded.question.size() > exchange::kQaMaxText) std::abort();
    if (c.loaded.answer.size() > exchange::kQaMaxText) std::abort();
  }
}

std::vector<std::uint8_t> exportFile(store::Collection& c, const char* to) {
  {
    auto out = store::createTextWriter(c.files(), to);
    exchange::QaCounts counts;
    exchange::exportQaItems(*out, c, counts);
    if (!out->close() || counts.questions != c.header.itemCount) std::abort();
  }
  (void)c.closeCollection();
  return static_cast<fakes::MemoryFileSystem&>(c.files()).bytes(to);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool unicode = data[0] & 1;
  fakes::MemoryFileSystem files;
  fakes::RecordingMessages messages;
  // Each import starts from an empty item table, so each gets a collection of its own. The
  // first two exports may differ from what they read: a lone carriage return kept in a text
  // is written as a line break, and a text grown by that is cut again on import. From then on
  // a file must come back unchanged.
  const char* const texts[] = {"/0.txt", "/1.txt", "/2.txt", "/3.txt"};
  const char* const bases[] = {"/0", "/1", "/2"};
  files.put(texts[0], {data + 1, data + size});
  std::vector<std::uint8_t> exported[3];
  for (int stage = 0; stage < 3; ++stage) {
    store::Collection c(files, messages, [] { return store::DayNumber{9000}; });
    importFile(c, texts[stage], bases[stage], unicode);
    exported[stage] = exportFile(c, texts[stage + 1]);
  }
  if (exported[2] != exported[1]) std::abort();
  return 0;
}
