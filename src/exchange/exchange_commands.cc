// The import and export operations: progress window, files, the format's reader or writer,
// and the failure steps that close everything again.
#include "exchange/exchange_commands.h"

#include <algorithm>
#include <optional>

#include "exchange/import_sink.h"
#include "exchange/qa_reader.h"
#include "exchange/qa_writer.h"
#include "exchange/xml_reader.h"
#include "store/file_error.h"
#include "store/text_stream.h"

namespace kelvora::exchange {
namespace {

// The end of either operation, successful or not: the collection closed, the progress window
// gone, the statistics shown again.
void finish(store::Collection& c) {
  c.closeCollection();
  c.progress.closeProgress();
  c.events().countersChanged();
}

bool fail(store::Collection& c, store::OpenError error) {
  store::reportFileError(c.messages(), error);
  finish(c);
  return false;
}

}  // namespace

bool importCollection(store::Collection& c, ExchangeKind kind, const std::filesystem::path& base) {
  c.progress.openProgress();
  QaCounts counts;
  store::OpenError error = store::OpenError::None;
  auto source = c.files().openForReading(
      store::withSuffix(base, kind == ExchangeKind::Xml ? ".xml" : ".txt"), &error);
  if (!source) return fail(c, error);
  store::TextReader in(std::move(source));
  if (!c.openFiles(base, true)) return fail(c, store::OpenError::Other);

  c.header = store::IndexHeader{};
  std::fill(c.table.begin(), c.table.end(), store::ItemIndexEntry{});
  c.loaded.header = store::ItemRecordHeader{};
  bool ok;
  std::size_t replaced;
  {
    ImportSink sink(c);
    ok = kind == ExchangeKind::Xml ? importXmlItems(in, sink, c.today(), c.progress)
                                   : importQaItems(in, sink, counts, c.progress);
    ok = sink.finish() && ok;
    replaced = sink.replacedUnits();
  }
  if (ok) {
    finish(c);
  } else {
    fail(c, store::OpenError::Other);
  }
  if (replaced > 0) {
    c.messages().showMessage(kReplacedCharactersNotice, store::MessageKind::Information);
  }
  return ok;
}

bool exportCollection(store::Collection& c, ExchangeKind kind, const std::filesystem::path& base,
                      const std::filesystem::path& exportPath, const XmlTime& now) {
  c.progress.openProgress();
  QaCounts counts;
  store::OpenError error = store::OpenError::None;
  auto target = c.files().createForWriting(exportPath, &error);
  if (!target) return fail(c, error);
  store::TextWriter out(std::move(target));
  if (!c.openFiles(base, false)) {
    out.close();
    return fail(c, store::OpenError::Other);
  }
  if (!c.loadIndex() && !c.rebuildIndex()) {
    out.close();
    return fail(c, store::OpenError::Other);
  }

  {
    // Items without a record take a slot number as they are read; the index is written once.
    store::Collection::Batch batch(c);
    if (kind == ExchangeKind::Xml) {
      writeXmlHeader(out, c.header.itemCount, now);
      for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
        readItemForExport(c, p);
        writeXmlItem(out, c.loaded, c.progress);
      }
    } else {
      exportQaItems(out, c, counts);
    }
  }
  c.closeCollection();
  if (kind == ExchangeKind::Xml) writeXmlFooter(out);
  // A write that failed anywhere, or a close that could not store the data, is a failed
  // export: the file does not hold the collection.
  if (!out.close()) return fail(c, store::OpenError::Other);
  finish(c);
  return true;
}

}  // namespace kelvora::exchange
