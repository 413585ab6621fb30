// The links of a new collection, and a source merged into an open one: the links say which item
// each of the source's keys became, and everything the merge changes is one batch.
#include "peers/peer_merge.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "exchange/import_sink.h"
#include "peers/anki_template.h"
#include "peers/links_file.h"
#include "store/atomic_file.h"
#include "store/item_editing.h"
#include "store/item_status.h"
#include "store/text_encoding.h"
#include "store/utf8.h"

namespace kelvora::peers {
namespace {

constexpr std::uint32_t kNoPosition = 0xFFFFFFFF;

// Plain text as HTML that shows it: the three special characters escaped, line breaks as <br>.
std::u16string escapedAsHtml(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    switch (text[i]) {
      case u'&':
        out += u"&amp;";
        break;
      case u'<':
        out += u"&lt;";
        break;
      case u'>':
        out += u"&gt;";
        break;
      case u'\r':
        if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        out += u"<br>";
        break;
      case u'\n':
        out += u"<br>";
        break;
      default:
        out.push_back(text[i]);
    }
  }
  return out;
}

// The text as the collection's record will hold it and read it back: in its kind (plain or
// HTML), line breaks as CR LF, cut to what an item keeps, and through the collection's text form.
class StoredForm {
 public:
  StoredForm(store::TextEncoding encoding, bool sourceHtml, bool collectionHtml)
      : m_encoding(encoding), m_sourceHtml(sourceHtml), m_collectionHtml(collectionHtml) {}

  void make(std::u16string_view text, std::u16string& out) {
    if (m_sourceHtml && !m_collectionHtml) {
      out = store::decodeTextBytes(htmlToText(store::encodeUtf8(text), {.breaksAsLines = true}));
      while (!out.empty() && out.back() == u'\n') out.pop_back();
    } else if (!m_sourceHtml && m_collectionHtml) {
      out = escapedAsHtml(text);
    } else {
      out.assign(text);
    }
    exchange::normalizeLineBreaks(out);
    if (out.size() > store::MaxTextLength - 1) out.resize(store::MaxTextLength - 1);
    m_bytes.clear();
    const std::uint16_t length = store::encodeText(m_bytes, out, m_encoding, &m_report);
    store::decodeText(out, m_bytes, length, m_encoding);
  }
  std::size_t replacedUnits() const { return m_report.replacedUnits; }

 private:
  store::TextEncoding m_encoding;
  bool m_sourceHtml;
  bool m_collectionHtml;
  store::Bytes m_bytes;
  store::EncodeReport m_report;
};

// The links of one key in the order the links file gives them, taken one by one as the source's
// items of that key come.
class LinksByKey {
 public:
  void add(std::string_view key, std::uint16_t slot) { m_slots[key].push_back(slot); }
  // The next slot linked to key, or kNoPosition when none is left.
  std::uint32_t take(std::string_view key) {
    const auto at = m_slots.find(key);
    if (at == m_slots.end()) return kNoPosition;
    std::size_t& taken = m_taken[key];
    if (taken >= at->second.size()) return kNoPosition;
    return at->second[taken++];
  }

 private:
  std::unordered_map<std::string_view, std::vector<std::uint16_t>> m_slots;
  std::unordered_map<std::string_view, std::size_t> m_taken;
};

// The progress of the merge's walk of what it does in steps, after the reading of the source,
// which was the first half.
bool stopAtStep(store::Progress& progress, std::uint64_t step, std::uint64_t steps) {
  return progress.stopAt(steps + step, 2 * std::max<std::uint64_t>(steps, 1));
}

}  // namespace

bool stageNewLinks(store::Collection& c, const std::vector<std::string>& keys) {
  LinksText links;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (!keys[i].empty()) links.add(static_cast<std::uint16_t>(i), keys[i]);
  }
  return stageNewLinks(c, links);
}

bool stageNewLinks(store::Collection& c, const LinksText& links) {
  if (writeStagedLinks(c.files(), c.basePath, links.text()).failed()) return false;
  c.stageLinks();
  return true;
}

PeerImportOutcome mergeSourceItems(store::Collection& c, const SourceItems& source,
                                   PeerImportResult& result) {
  result.merged = true;
  // Typed text not yet stored would otherwise be lost with an abandoned batch.
  if (!c.flushItem()) return PeerImportOutcome::NotStored;
  std::vector<ItemLink> links;
  if (!readLinks(c.files(), c.basePath, links, result.error)) return PeerImportOutcome::Unreadable;
  // The journal is emptied first, so the links it will hold are only those staged below.
  if (!c.checkpoint()) return PeerImportOutcome::NotStored;

  const std::uint16_t itemCount = c.header.itemCount;
  // The item shown goes back to what the files hold at the end, whatever happened.
  const auto shown = [&c](PeerImportOutcome outcome) {
    c.currentPosition = std::min<std::uint16_t>(
        c.currentPosition, c.header.itemCount > 0 ? c.header.itemCount - 1 : 0);
    c.readItem(c.currentPosition);
    c.recount();
    return outcome;
  };
  const std::size_t sourceCount = source.items.size();
  const std::uint64_t steps = std::uint64_t{itemCount} + 2 * sourceCount;
  // Where each slot's item is: only the records' headers are read here, and the texts of the
  // matched items below.
  std::vector<std::uint32_t> positionOfSlot(std::size_t{store::kDeadSlot} + 1, kNoPosition);
  store::ItemRecordHeader head;
  for (std::uint16_t p = 0; p < itemCount; ++p) {
    if (stopAtStep(c.progress, p, steps)) return shown(PeerImportOutcome::Cancelled);
    // An item without a readable record is never matched, nor one on its way out.
    if (c.table[p].status == store::code(store::ItemStatus::Deleted) ||
        !c.readRecordHeader(p, head)) {
      continue;
    }
    std::uint32_t& at = positionOfSlot[head.slotNumber];
    if (at == kNoPosition) at = p;
  }
  // Links of slots the collection no longer has are of items deleted since: they go.
  std::vector<ItemLink> kept;
  kept.reserve(links.size() + sourceCount);
  for (ItemLink& link : links) {
    if (positionOfSlot[link.slot] != kNoPosition) kept.push_back(std::move(link));
  }
  LinksByKey byKey;
  for (const ItemLink& link : kept) byKey.add(link.key, link.slot);

  std::vector<std::uint32_t> match(sourceCount, kNoPosition);
  std::vector<bool> taken(itemCount, false);
  std::size_t toAdd = 0;
  for (std::size_t i = 0; i < sourceCount; ++i) {
    const std::uint32_t slot = source.keys[i].empty() ? kNoPosition : byKey.take(source.keys[i]);
    const std::uint32_t p = slot == kNoPosition ? kNoPosition : positionOfSlot[slot];
    if (p != kNoPosition && !taken[p]) {
      taken[p] = true;
      match[i] = p;
    } else {
      ++toAdd;
    }
  }
  if (itemCount + toAdd > store::MaxItems) {
    result.collectionItems = itemCount;
    result.sourceItems = toAdd;
    return shown(PeerImportOutcome::TooManyItems);
  }

  StoredForm stored(c.encoding(), source.html, c.settings.html != 0);
  std::u16string question;
  std::u16string answer;
  std::vector<std::uint16_t> updatedSlots;
  PeerImportOutcome outcome = PeerImportOutcome::Imported;
  bool committed = false;
  {
    store::Collection::Batch batch(c);
    for (std::size_t i = 0; i < sourceCount && outcome == PeerImportOutcome::Imported; ++i) {
      if (stopAtStep(c.progress, itemCount + i, steps)) outcome = PeerImportOutcome::Cancelled;
      if (match[i] == kNoPosition || outcome != PeerImportOutcome::Imported) continue;
      const auto p = static_cast<std::uint16_t>(match[i]);
      const SourceItem& item = source.items[i];
      stored.make(source.question(item), question);
      stored.make(source.answer(item), answer);
      if (!c.readItem(p)) continue;
      if (question == c.loaded.question && answer == c.loaded.answer) {
        ++result.unchanged;
        continue;
      }
      c.loaded.question.swap(question);
      c.loaded.answer.swap(answer);
      (void)c.writeItem(p);  // inside the batch only an unreadable item is refused
      updatedSlots.push_back(c.loaded.header.slotNumber);
    }
    for (std::size_t i = 0; i < sourceCount && outcome == PeerImportOutcome::Imported; ++i) {
      if (match[i] != kNoPosition) continue;
      if (stopAtStep(c.progress, itemCount + sourceCount + i, steps)) {
        outcome = PeerImportOutcome::Cancelled;
        break;
      }
      const SourceItem& item = source.items[i];
      const std::uint16_t p = store::appendItemFor(c, item.header);
      stored.make(source.question(item), c.loaded.question);
      stored.make(source.answer(item), c.loaded.answer);
      (void)c.writeItem(p);  // inside the batch: its commit decides
      store::countStatus(c.counters, item.header.status);
      ++result.added;
      if (!source.keys[i].empty()) kept.push_back({c.loaded.header.slotNumber, source.keys[i]});
    }
    if (outcome == PeerImportOutcome::Imported && stopAtStep(c.progress, steps, steps)) {
      outcome = PeerImportOutcome::Cancelled;
    }
    result.updated = updatedSlots.size();
    if (outcome != PeerImportOutcome::Imported || (result.updated == 0 && result.added == 0)) {
      // Nothing to store: the files stay exactly as they were.
      batch.abandon();
    } else if (writeStagedLinks(c.files(), c.basePath, formatLinks(kept)).failed()) {
      batch.abandon();
      outcome = PeerImportOutcome::NotStored;
    } else {
      c.stageLinks();
      (void)c.indexChanged();  // inside the batch: the commit below decides
      committed = batch.commit();
      if (!committed) {
        (void)c.files().remove(store::temporaryPathFor(store::linksPath(c.basePath)));
        outcome = PeerImportOutcome::NotStored;
      }
    }
  }
  if (outcome != PeerImportOutcome::Imported) {
    result.updated = 0;
    result.added = 0;
    result.unchanged = 0;
  } else {
    // Their texts changed, as by an edit: no step taken before applies to them any more.
    for (const std::uint16_t slot : updatedSlots) (void)c.undoLog().dropItem(slot);
    result.replacedUnits = stored.replacedUnits();
  }
  result.notInSource = itemCount - result.updated - result.unchanged;
  return shown(outcome);
}

}  // namespace kelvora::peers
