// Updating the open collection from an XML file: the file is read whole into memory, its
// elements are matched with the items by ID in one walk of the table, and the changes go to the
// collection as one batch.
#include "exchange/xml_update.h"

#include <algorithm>
#include <span>
#include <unordered_map>
#include <vector>

#include "exchange/import_sink.h"
#include "exchange/xml_reader.h"
#include "store/file_error.h"
#include "store/item_editing.h"
#include "store/text_stream.h"
#include "store/user_texts.h"
#include "store/utf16_text.h"
#include "store/utf8.h"

namespace kelvora::exchange {
namespace {

constexpr std::uint32_t kNoElement = 0xFFFFFFFF;

// One element of the file: its header as an import reads it, its texts in the stored form the
// collection's records hold, question then answer, at offset in the gathered bytes.
struct FileElement {
  store::ItemRecordHeader header;
  std::size_t offset = 0;
};

// Keeps the elements of the file in memory in their stored form, as a record would hold them: a
// matched item's texts are compared with that and an appended item's written from it. Every
// element either updates an item or adds one, so a file of more than MaxItems elements can never
// fit, and reading stops there.
class UpdateSink final : public ItemSink {
 public:
  explicit UpdateSink(store::TextEncoding encoding) : m_encoding(encoding) {}

  bool full() const override { return false; }
  std::uint16_t itemCount() const override {
    return static_cast<std::uint16_t>(std::min<std::size_t>(m_elements.size(), store::MaxItems));
  }
  bool append(store::ItemRecordHeader header, ImportText question, ImportText answer) override {
    if (m_elements.size() >= store::MaxItems) {
      m_tooMany = true;
      return false;
    }
    FileElement element{header, m_bytes.size()};
    element.header.questionLength = keep(question);
    element.header.answerLength = keep(answer);
    m_elements.push_back(element);
    return true;
  }

  bool tooMany() const { return m_tooMany; }
  std::size_t replacedUnits() const { return m_report.replacedUnits; }
  const std::vector<FileElement>& elements() const { return m_elements; }

  // The element's texts as an item read from its record would have them.
  void decode(const FileElement& e, std::u16string& question, std::u16string& answer) const {
    const std::span<const std::uint8_t> from = std::span(m_bytes).subspan(e.offset);
    const std::size_t used = store::decodeText(question, from, e.header.questionLength, m_encoding);
    store::decodeText(answer, from.subspan(std::min(used, from.size())), e.header.answerLength,
                      m_encoding);
  }

 private:
  // Line breaks as CR LF, cut to the longest text an item keeps, then stored as a record stores
  // it; returns the stored length.
  std::uint16_t keep(const ImportText& text) {
    if (text.isPlain && text.bytes.find('\n') == std::string_view::npos) {
      // Plain ASCII without line breaks is stored straight from its bytes.
      return store::encodeAsciiText(
          m_bytes, text.bytes.substr(0, std::min(text.bytes.size(), store::MaxTextLength - 1)),
          m_encoding, &m_report);
    }
    if (text.isPlain) {
      m_text.assign(text.bytes.begin(), text.bytes.end());
    } else {
      m_text.assign(text.units);
    }
    normalizeLineBreaks(m_text);
    if (m_text.size() > store::MaxTextLength - 1) m_text.resize(store::MaxTextLength - 1);
    return store::encodeText(m_bytes, m_text, m_encoding, &m_report);
  }

  store::TextEncoding m_encoding;
  std::vector<FileElement> m_elements;
  store::Bytes m_bytes;
  std::u16string m_text;
  store::EncodeReport m_report;
  bool m_tooMany = false;
};

// The elements of each ID in document order, as chains: first[id] is the first element, and
// next[i] the one after element i with the same ID.
class ElementsById {
 public:
  explicit ElementsById(const std::vector<FileElement>& elements) : m_next(elements.size()) {
    std::unordered_map<std::uint32_t, std::uint32_t> last;
    m_first.reserve(elements.size());
    last.reserve(elements.size());
    for (std::uint32_t i = 0; i < elements.size(); ++i) {
      m_next[i] = kNoElement;
      const std::uint32_t id = elements[i].header.itemId();
      if (id == 0) continue;
      auto [at, added] = last.try_emplace(id, i);
      if (added) {
        m_first.emplace(id, i);
      } else {
        m_next[at->second] = i;
        at->second = i;
      }
    }
  }

  // The next element of the ID not yet taken, which is taken now; kNoElement when none is left.
  std::uint32_t take(std::uint32_t id) {
    const auto at = m_first.find(id);
    if (at == m_first.end() || at->second == kNoElement) return kNoElement;
    const std::uint32_t taken = at->second;
    at->second = m_next[taken];
    return taken;
  }

 private:
  std::unordered_map<std::uint32_t, std::uint32_t> m_first;
  std::vector<std::uint32_t> m_next;
};

void showStep(store::Progress& progress, std::u16string_view what, std::uint16_t n) {
  if (!progress.isOpen()) return;
  progress.setProgressText(std::u16string(what) + store::decimalText(n));
}

// The changes are the second half of the work, after the reading of a file of fileLength
// bytes: step of steps.
bool stopAtStep(store::Progress& progress, std::uint64_t fileLength, std::uint64_t step,
                std::uint64_t steps) {
  if (fileLength == 0 || steps == 0) return progress.stopAt(step, steps);
  return progress.stopAt(fileLength + fileLength * step / steps, 2 * fileLength);
}

// The file read whole, or why it could not be.
UpdateOutcome readFile(store::Collection& c, const std::filesystem::path& xmlPath, UpdateSink& sink,
                       std::uint64_t& fileLength) {
  store::OpenError error = store::OpenError::None;
  auto source = c.files().openForReading(xmlPath, &error);
  if (!source) {
    store::reportFileError(c.messages(), error);
    return UpdateOutcome::Unreadable;
  }
  store::TextReader in(std::move(source));
  (void)importXmlItems(in, sink, c.today(), c.progress, true);
  fileLength = in.fileLength();
  if (c.progress.wasCancelled()) return UpdateOutcome::Cancelled;
  if (sink.tooMany()) return UpdateOutcome::TooManyItems;
  // A file that could not be read to its end is not taken in part.
  if (in.failed()) {
    store::reportFileError(c.messages(), store::OpenError::Other);
    return UpdateOutcome::Unreadable;
  }
  return UpdateOutcome::Updated;
}

}  // namespace

UpdateResult updateFromXml(store::Collection& c, const std::filesystem::path& xmlPath) {
  UpdateResult result;
  if (!c.isOpen) {
    result.outcome = UpdateOutcome::NotStored;
    return result;
  }
  // Typed text not yet stored would otherwise be lost with an abandoned batch.
  if (!c.flushItem()) {
    result.outcome = UpdateOutcome::NotStored;
    return result;
  }
  const store::ProgressScope working(c.progress);
  const std::uint16_t current = c.currentPosition;
  const std::uint16_t itemCount = c.header.itemCount;
  UpdateSink sink(c.encoding());
  std::uint64_t fileLength = 0;
  result.outcome = readFile(c, xmlPath, sink, fileLength);
  result.replacedUnits = sink.replacedUnits();
  if (result.outcome != UpdateOutcome::Updated) return result;

  const std::vector<FileElement>& elements = sink.elements();
  ElementsById byId(elements);
  std::vector<bool> matched(elements.size(), false);
  std::vector<std::uint16_t> updatedSlots;
  std::u16string question;
  std::u16string answer;
  bool stored = false;
  // Every item is read to find its ID, and every element left over is added.
  const std::uint64_t steps = std::uint64_t{itemCount} + elements.size();
  {
    store::Collection::Batch batch(c);
    for (std::uint16_t p = 0; p < itemCount; ++p) {
      if (stopAtStep(c.progress, fileLength, p, steps)) break;
      // An item without a readable record has no ID to match, and is never written.
      if (!c.readItem(p)) continue;
      const std::uint32_t id = c.loaded.header.itemId();
      if (id == 0) continue;
      const std::uint32_t e = byId.take(id);
      if (e == kNoElement) continue;
      matched[e] = true;
      sink.decode(elements[e], question, answer);
      if (question == c.loaded.question && answer == c.loaded.answer) continue;
      c.loaded.question.swap(question);
      c.loaded.answer.swap(answer);
      (void)c.writeItem(p);  // inside the batch only an unreadable item is refused
      updatedSlots.push_back(c.loaded.header.slotNumber);
      showStep(c.progress, u"Updating: ", p);
    }
    const auto toAdd = static_cast<std::size_t>(std::count(matched.begin(), matched.end(), false));
    if (!c.progress.wasCancelled() && itemCount + toAdd > store::MaxItems) {
      result.outcome = UpdateOutcome::TooManyItems;
    }
    for (std::size_t e = 0; e < elements.size() && result.outcome == UpdateOutcome::Updated; ++e) {
      if (matched[e]) continue;
      if (stopAtStep(c.progress, fileLength, itemCount + e, steps)) break;
      const store::ItemRecordHeader& h = elements[e].header;
      const std::uint16_t p = store::appendItemFor(c, h);
      sink.decode(elements[e], c.loaded.question, c.loaded.answer);
      (void)c.writeItem(p);  // inside the batch: its commit decides
      store::countStatus(c.counters, h.status);
      ++result.added;
      showStep(c.progress, u"Adding: ", result.added);
    }
    // The last look at Cancel, with everything done but the storing.
    if (result.outcome == UpdateOutcome::Updated && !c.progress.wasCancelled()) {
      (void)stopAtStep(c.progress, fileLength, steps, steps);
    }
    if (c.progress.wasCancelled()) result.outcome = UpdateOutcome::Cancelled;
    result.updated = static_cast<std::uint16_t>(updatedSlots.size());
    if (result.outcome != UpdateOutcome::Updated || (result.updated == 0 && result.added == 0)) {
      // Nothing to store: the files stay exactly as they were.
      batch.abandon();
      stored = result.outcome == UpdateOutcome::Updated;
    } else {
      (void)c.indexChanged();  // inside the batch: the commit below decides
      stored = batch.commit();
    }
  }
  if (!stored && result.outcome == UpdateOutcome::Updated)
    result.outcome = UpdateOutcome::NotStored;
  if (result.outcome != UpdateOutcome::Updated) {
    result.updated = 0;
    result.added = 0;
  } else {
    // Their texts changed, as by an edit: no step taken before applies to them any more.
    for (const std::uint16_t slot : updatedSlots) (void)c.undoLog().dropItem(slot);
  }
  result.leftAlone = static_cast<std::uint16_t>(itemCount - result.updated);
  c.currentPosition =
      std::min<std::uint16_t>(current, c.header.itemCount > 0 ? c.header.itemCount - 1 : 0);
  c.readItem(c.currentPosition);
  c.events().countersChanged();
  return result;
}

std::optional<std::u16string> updateWithMessages(store::Collection& c,
                                                 const std::filesystem::path& xmlPath) {
  const UpdateResult result = updateFromXml(c, xmlPath);
  switch (result.outcome) {
    case UpdateOutcome::Cancelled:
      return std::nullopt;
    case UpdateOutcome::TooManyItems:
      c.messages().showMessage(store::texts::kUpdateTooMany, store::MessageKind::Error);
      return std::nullopt;
    case UpdateOutcome::Unreadable:
    case UpdateOutcome::NotStored:
      c.messages().showMessage(store::texts::kUpdateFailed, store::MessageKind::Error);
      return std::nullopt;
    case UpdateOutcome::Updated:
      break;
  }
  if (result.replacedUnits > 0) {
    c.messages().showMessage(store::texts::kReplacedWhileTyping, store::MessageKind::Information);
  }
  return std::u16string(store::texts::kUpdated) + store::pathText(xmlPath) + u"\r\n\r\n" +
         u"Items updated: " + store::decimalText(result.updated) + u"\r\nItems added: " +
         store::decimalText(result.added) + u"\r\nItems left alone: " +
         store::decimalText(result.leftAlone);
}

}  // namespace kelvora::exchange
