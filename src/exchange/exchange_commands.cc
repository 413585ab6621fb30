// The import and export operations: progress window, files, the format's reader or writer,
// and the failure steps that close everything again.
#include "exchange/exchange_commands.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <span>

#include "exchange/import_sink.h"
#include "exchange/qa_reader.h"
#include "exchange/qa_writer.h"
#include "exchange/xml_escape.h"
#include "exchange/xml_reader.h"
#include "store/atomic_file.h"
#include "store/file_error.h"
#include "store/settings.h"
#include "store/text_stream.h"
#include "store/user_texts.h"
#include "store/utf16_text.h"
#include "store/utf8.h"

namespace kelvora::exchange {
namespace {

// The end of either operation, successful or not: the collection closed, the progress window
// gone, the statistics shown again.
void finish(store::Collection& c) {
  (void)c.closeCollection();  // a failure was reported, and the journal keeps the change
  c.progress.closeProgress();
  c.events().countersChanged();
}

bool fail(store::Collection& c, store::OpenError error) {
  // Work the user stopped is no failure to report.
  if (!c.progress.wasCancelled()) store::reportFileError(c.messages(), error);
  finish(c);
  return false;
}

}  // namespace

bool importItems(store::Collection& c, const std::filesystem::path& base, const ItemSource& read,
                 bool unicodeOnLoss) {
  // The collection at base is held from here on, so no other program has it open while it is
  // replaced, and its files stay exactly as they are until the new texts are complete.
  const bool textsExisted = c.files().exists(store::textsPath(base));
  const bool indexExisted = c.files().exists(store::indexPath(base));
  // The new collection keeps the settings in effect now, the text form chosen for it above all:
  // an old settings file at base goes with the collection it described.
  const store::Settings chosen = c.settings;
  if (!c.openForReplacing(base)) return fail(c, store::OpenError::Other);
  c.settings = chosen;

  bool ok = false;
  bool tooMany = false;
  std::size_t replaced = 0;
  int sinkError = 0;
  const auto readSource = [&] {
    c.header = store::IndexHeader{};
    store::clearTable(c.table);
    c.loaded.header = store::ItemRecordHeader{};
    ImportSink sink(c);
    const ImportRead r = read(sink, c.settings);
    ok = r == ImportRead::Whole;
    tooMany = r == ImportRead::TooManyItems;
    ok = sink.finish() && ok;
    replaced = sink.replacedUnits();
    sinkError = sink.error() != 0 ? sink.error() : (r == ImportRead::SourceFailed ? EIO : 0);
  };
  readSource();
  if (ok && replaced > 0 && unicodeOnLoss &&
      c.encoding() == store::TextEncoding::CompressedUnicode) {
    // Characters the compressed form would lose: the source is read again into Unicode, and
    // nothing of the first reading is kept.
    (void)c.files().remove(store::temporaryPathFor(store::textsPath(base)));
    c.settings.utf8 = 1;
    c.settings.settingsChanged = true;
    readSource();
  }
  if (ok) {
    const store::IoResult staged = store::stageSettings(c.settings, c.files(), base);
    if (staged.failed()) {
      ok = false;
      sinkError = staged.error;
    }
  }
  if (ok) ok = c.installImportedTexts();
  if (ok) c.settings.settingsChanged = false;
  if (!ok) {
    c.closeWithoutWriting();
    // Files that only the attempt created go again: a failed import leaves the folder as it was.
    if (!textsExisted) (void)c.files().remove(store::textsPath(base));
    if (!indexExisted) (void)c.files().remove(store::indexPath(base));
    (void)c.files().remove(store::temporaryPathFor(store::textsPath(base)));
    (void)c.files().remove(store::temporaryPathFor(store::settingsPath(base)));
    (void)c.files().remove(store::temporaryPathFor(store::linksPath(base)));
    if (tooMany) {
      finish(c);  // no file failed: the caller says what the source holds
    } else {
      fail(c, store::openErrorFor(sinkError));
    }
  } else {
    finish(c);
  }
  if (replaced > 0 && !c.progress.wasCancelled()) {
    c.messages().showMessage(store::texts::kReplacedAtImport, store::MessageKind::Information);
  }
  return ok;
}

bool importCollection(store::Collection& c, ExchangeKind kind, const std::filesystem::path& base,
                      bool unicodeOnLoss) {
  c.progress.openProgress();
  const std::filesystem::path sourcePath =
      store::withSuffix(base, kind == ExchangeKind::Xml ? ".xml" : ".txt");
  store::OpenError error = store::OpenError::None;
  auto source = c.files().openForReading(sourcePath, &error);
  if (!source) return fail(c, error);
  std::optional<store::TextReader> in(std::in_place, std::move(source));
  bool firstReading = true;
  const auto read = [&](ItemSink& sink, store::Settings&) {
    if (!firstReading) {
      // Read again from the start, for the Unicode form.
      in.reset();
      source = c.files().openForReading(sourcePath, &error);
      if (!source) return ImportRead::SourceFailed;
      in.emplace(std::move(source));
    }
    firstReading = false;
    QaCounts counts;
    const bool ok = kind == ExchangeKind::Xml ? importXmlItems(*in, sink, c.today(), c.progress)
                                              : importQaItems(*in, sink, counts, c.progress);
    // A source that could not be read to its end is not imported in part.
    if (in->failed()) return ImportRead::SourceFailed;
    return ok ? ImportRead::Whole : ImportRead::Stopped;
  };
  return importItems(c, base, read, unicodeOnLoss);
}

bool exportCollection(store::Collection& c, ExchangeKind kind, const std::filesystem::path& base,
                      const std::filesystem::path& exportPath, const XmlTime& now) {
  c.progress.openProgress();
  QaCounts counts;
  // The collection is held before the target is touched: a collection in use elsewhere is
  // refused with an earlier export at that path unharmed.
  if (!c.openFiles(base)) return fail(c, store::OpenError::Other);
  if (!c.loadIndex() && !c.rebuildIndex()) return fail(c, store::OpenError::Other);
  store::OpenError error = store::OpenError::None;
  // The target is written by way of a temporary beside it and replaced only when complete.
  auto out = store::createTextWriter(c.files(), exportPath, &error);
  if (!out) return fail(c, error);

  {
    // Items without a record take a slot number as they are read; the index is written once.
    store::Collection::Batch batch(c);
    if (kind == ExchangeKind::Xml) {
      writeXmlHeader(*out, c.header.itemCount, now);
      for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
        if (c.progress.stopAt(p, c.header.itemCount)) break;
        readItemForExport(c, p);
        writeXmlItem(*out, c.loaded, c.progress);
      }
    } else {
      exportQaItems(*out, c, counts);
    }
    // Slot numbers taken by a stopped export are not kept either.
    if (c.progress.wasCancelled()) batch.abandon();
  }
  if (c.progress.wasCancelled()) {
    // A stopped export leaves the target as it was.
    out->abandon();
    finish(c);
    return false;
  }
  (void)c.closeCollection();  // a failure to store the slot numbers was reported; the export stands
  if (kind == ExchangeKind::Xml) writeXmlFooter(*out);
  // A write that failed anywhere, or a close that could not store the data, is a failed
  // export: the target keeps what it held before.
  if (!out->close()) return fail(c, store::OpenError::Other);
  finish(c);
  return true;
}

namespace {

constexpr char16_t kFirstWideUnit = 0x8000;

// Reads a source unit by unit for what Compressed Unicode cannot hold: a unit from 0x8000 up, or
// in XML a reference "&#" whose number, as the reader takes it (white space, a sign, digits,
// wrapping), is such a unit and which a ";" later on the same line closes.
class WideUnitScan {
 public:
  explicit WideUnitScan(bool xml) : m_xml(xml) {}

  // True once the source is known to need Unicode.
  bool take(char16_t unit) {
    if (unit >= kFirstWideUnit) return true;
    if (!m_xml) return false;
    if (m_state == State::Number && !readsAsNumber(unit)) {
      if ((m_value & 0xFFFF) >= kFirstWideUnit) m_wideOpen = true;
      m_state = State::Text;
    }
    if (unit == u'\n') {
      m_wideOpen = false;
      m_state = State::Text;
      return false;
    }
    if (m_state == State::Number) return false;
    if (m_state == State::Ampersand && unit == u'#') {
      m_state = State::Number;
      m_numberPart = NumberPart::Space;
      m_value = 0;
      m_negative = false;
      return false;
    }
    m_state = unit == u'&' ? State::Ampersand : State::Text;
    return unit == u';' && m_wideOpen;
  }

  // Nothing but text is waiting: every ASCII byte but "&" may be passed over without take().
  bool onlyTextWaits() const { return !m_xml || (m_state == State::Text && !m_wideOpen); }

  // In XML, whether a plain ASCII byte may be passed over without take(): nothing but text is
  // waiting and the byte cannot start or close a reference.
  bool passes(std::uint8_t byte) const {
    return m_state == State::Text && byte != '&' && (!m_wideOpen || (byte != ';' && byte != '\n'));
  }

 private:
  enum class State : std::uint8_t { Text, Ampersand, Number };
  enum class NumberPart : std::uint8_t { Space, Digits };

  bool readsAsNumber(char16_t unit) {
    if (m_numberPart == NumberPart::Space) {
      if (store::isWhiteSpace(unit) && unit != u'\n') return true;
      m_numberPart = NumberPart::Digits;
      if (unit == u'+' || unit == u'-') {
        m_negative = unit == u'-';
        return true;
      }
    }
    if (!store::isAsciiDigit(unit)) {
      if (m_negative) m_value = 0 - m_value;
      return false;
    }
    m_value = m_value * 10 + (unit - u'0');
    return true;
  }

  bool m_xml;
  State m_state = State::Text;
  NumberPart m_numberPart = NumberPart::Space;
  std::uint64_t m_value = 0;  // wraps modulo 2^64 as the reader's number does
  bool m_negative = false;
  bool m_wideOpen = false;  // a wide reference on this line waits for its ";"
};

}  // namespace

bool sourceNeedsUnicode(store::FileSystem& files, ExchangeKind kind,
                        const std::filesystem::path& base) {
  auto reader = store::openTextReader(
      files, store::withSuffix(base, kind == ExchangeKind::Xml ? ".xml" : ".txt"));
  if (!reader) return false;
  WideUnitScan scan(kind == ExchangeKind::Xml);
  for (;;) {
    const std::span<const std::uint8_t> bytes = reader->bufferedBytes();
    std::size_t n = 0;
    if (scan.onlyTextWaits()) {
      // Nothing waits for a line's end or its ";": only "&" and what is not ASCII are looked at.
      n = store::asciiRunBefore(bytes, '&', '&');
    } else {
      while (n < bytes.size() && bytes[n] < 0x80 && bytes[n] != '\r' && scan.passes(bytes[n])) ++n;
    }
    reader->skipBytes(n);
    const std::optional<char16_t> unit = reader->get();
    if (!unit) return false;
    if (scan.take(*unit)) return true;
  }
}

std::optional<std::u16string> importWithQuestions(store::Collection& c, ExchangeKind kind,
                                                  const std::filesystem::path& base,
                                                  WideCharacters wide) {
  const std::u16string textsFile = store::pathText(store::textsPath(base));
  if (c.collectionExists(base) &&
      !c.messages().askYesNo(std::u16string(store::texts::kOverwrite) + textsFile,
                             store::DefaultAnswer::No)) {
    return std::nullopt;
  }
  // Decided before anything is written: Yes stores the new collection, and what the program
  // writes from now on, in Unicode; No keeps the form and its notice after the import.
  if (wide == WideCharacters::Ask && c.encoding() == store::TextEncoding::CompressedUnicode &&
      sourceNeedsUnicode(c.files(), kind, base) &&
      c.messages().askYesNo(store::texts::kStoreAsUnicodeQuestion, store::DefaultAnswer::Yes)) {
    c.settings.utf8 = 1;
    c.settings.settingsChanged = true;
  }
  if (!importCollection(c, kind, base, wide == WideCharacters::UnicodeWhenNeeded)) {
    if (!c.progress.wasCancelled()) {
      c.messages().showMessage(store::texts::kImportFailed, store::MessageKind::Error);
    }
    return std::nullopt;
  }
  return std::u16string(store::texts::kImported) + textsFile;
}

std::optional<std::u16string> exportWithMessages(store::Collection& c, ExchangeKind kind,
                                                 const std::filesystem::path& base,
                                                 const std::filesystem::path& exportPath,
                                                 const XmlTime& now) {
  if (!exportCollection(c, kind, base, exportPath, now)) {
    if (!c.progress.wasCancelled()) {
      c.messages().showMessage(store::texts::kExportFailed, store::MessageKind::Error);
    }
    return std::nullopt;
  }
  return std::u16string(store::texts::kExported) + store::pathText(exportPath);
}

}  // namespace kelvora::exchange
