// Adding, deleting and swapping items of the open collection, and typed text taken over into
// the loaded item.
#include "store/item_editing.h"

#include <algorithm>
#include <utility>

#include "store/user_texts.h"
#include "store/utf16_text.h"

namespace kelvora::store {

bool takeOverText(Collection& c, bool question, std::u16string text) {
  bool cut = false;
  if (text.size() > MaxTextLength - 1) {
    text.resize(MaxTextLength - 1);
    cut = true;
  }
  // The text becomes what the record will hold: '?' for what the compressed form cannot
  // store, and no more than a record's text can keep.
  Bytes stored;
  EncodeReport report;
  const std::uint16_t bytes = encodeText(stored, text, c.encoding(), &report);
  if (report.replacedUnits > 0 || report.truncated) {
    std::u16string kept;
    decodeText(kept, stored, bytes, c.encoding());
    text = std::move(kept);
    cut = cut || report.truncated;
  }
  if (cut) c.messages().showMessage(texts::kItemTooLong, MessageKind::Error);
  (question ? c.loaded.question : c.loaded.answer) = std::move(text);
  c.loaded.itemModified = true;
  return report.replacedUnits > 0;
}

std::uint16_t appendItemFor(Collection& c, const ItemRecordHeader& header) {
  const std::uint16_t p = c.header.itemCount;
  c.table[p] =
      ItemIndexEntry{kNoRecord, header.interval, header.lastRepetition, 0, header.status, 0};
  ++c.header.itemCount;
  (void)c.readItem(p);  // no record yet: a blank item with a slot number of its own
  const std::uint16_t slot = c.loaded.header.slotNumber;
  c.loaded.header = header;
  c.loaded.header.slotNumber = slot;
  return p;
}

AddOutcome addItem(Collection& c) {
  if (c.header.itemCount >= MaxItems) {
    c.messages().showMessage(texts::kTooManyItems, MessageKind::Error);
    return AddOutcome::TooManyItems;
  }
  const std::uint16_t previous = c.currentPosition;
  c.currentPosition = c.header.itemCount;
  // With no item before it (an empty collection) there is nothing to write back: the write
  // is refused for a position past the end, so no record appears for the texts taken over.
  (void)c.flushItem();  // a failure was reported; the new item is added all the same
  c.loaded.question.clear();
  c.loaded.answer.clear();
  c.loaded.header = newItemHeader(c.takeSlotNumber());
  c.table[c.currentPosition] = ItemIndexEntry{kNoRecord, 0, 0, 0, 0, 0};
  ++c.header.itemCount;
  if (!c.indexChanged()) {
    // Not stored, so not added: the item shown before comes back.
    c.currentPosition =
        std::min<std::uint16_t>(previous, c.header.itemCount > 0 ? c.header.itemCount - 1 : 0);
    c.readItem(c.currentPosition);
    return AddOutcome::NotStored;
  }
  return AddOutcome::Added;
}

DeleteOutcome deleteCurrentItem(Collection& c) {
  if (!c.messages().askYesNo(texts::kDeleteQuestion, DefaultAnswer::No))
    return DeleteOutcome::Declined;
  {
    // The record marked deleted and the table without it are one change.
    Collection::Batch change(c);
    ItemIndexEntry& entry = c.table[c.currentPosition];
    uncountStatus(c.counters, entry.status);
    entry.status = code(ItemStatus::Deleted);
    c.loaded.header.status = entry.status;
    (void)c.writeItem(c.currentPosition);  // inside the batch only an unreadable item fails
    c.loaded.itemModified = false;
    c.compactTable();
    (void)c.indexChanged();  // inside the batch: its commit decides
    // Refused by the disk: the item stays, as it was.
    if (!change.commit()) return DeleteOutcome::NotStored;
  }
  (void)c.undoLog().dropItem(c.loaded.header.slotNumber);
  if (c.header.itemCount == 0) {
    c.currentPosition = 0;
    return DeleteOutcome::Deleted;
  }
  if (c.currentPosition > c.header.itemCount - 1) c.currentPosition = c.header.itemCount - 1;
  c.readItem(c.currentPosition);
  return DeleteOutcome::Deleted;
}

void swapLoadedItem(Collection& c) {
  std::swap(c.loaded.question, c.loaded.answer);
  c.loaded.itemModified = true;
}

SwapAllOutcome swapAllItems(Collection& c) {
  if (!c.messages().askYesNo(texts::kSwapAllQuestion, DefaultAnswer::No))
    return SwapAllOutcome::Declined;
  c.progress.openProgress();
  bool stored = false;
  {
    Collection::Batch batch(c);
    for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
      if (c.progress.stopAt(p, c.header.itemCount)) break;
      // An item without a readable record is left alone: writing it would give it the texts
      // of the item read before.
      if (!c.readItem(p)) continue;
      std::swap(c.loaded.question, c.loaded.answer);
      c.progress.setProgressText(u"Q <-> A: " + decimalText(p));
      (void)c.writeItem(p);  // inside the batch only an unreadable item fails
    }
    if (c.progress.wasCancelled()) {
      batch.abandon();
    } else {
      stored = batch.commit();  // all or nothing; a failure was reported
    }
  }
  c.progress.closeProgress();
  if (c.progress.wasCancelled()) return SwapAllOutcome::Cancelled;
  if (!stored) return SwapAllOutcome::NotStored;
  (void)c.undoLog().clear();  // every item changed: no step of before applies any more
  return SwapAllOutcome::Swapped;
}

}  // namespace kelvora::store
