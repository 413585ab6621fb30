// Summary and item lines for the terminal.
#include "item_listing.h"

#include <cstdio>

#include "learning/grade_undo.h"
#include "learning/scheduling.h"

namespace kelvora::cli {

std::string escapeText(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t u : text) {
    switch (u) {
      case u'\r':
        out += "\\r";
        break;
      case u'\n':
        out += "\\n";
        break;
      case u'\t':
        out += "\\t";
        break;
      case u'\\':
        out += "\\\\";
        break;
      default:
        if (u < 0x20 || u >= 0x80) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(u));
          out += buf;
        } else {
          out.push_back(static_cast<char>(u));
        }
    }
  }
  return out;
}

std::string collectionInfo(const store::Collection& c) {
  const auto& h = c.header;
  const auto& n = c.counters;
  std::string out;
  auto line = [&out](const char* name, unsigned value) {
    out += name;
    out += ": ";
    out += std::to_string(value);
    out += '\n';
  };
  line("headerSize", h.headerSize);
  line("entrySize", h.entrySize);
  line("recordHeaderSize", h.recordHeaderSize);
  line("itemCount", h.itemCount);
  line("learningDay", h.learningDay);
  line("nextSlotNumber", h.nextSlotNumber);
  line("memorizedCount", n.memorizedCount);
  line("outstandingCount", n.outstandingCount);
  line("drillCount", n.drillCount);
  line("dismissedCount", n.dismissedCount);
  return out;
}

std::string itemLine(store::Collection& c, std::uint16_t position) {
  const store::ItemIndexEntry& e = c.table[position];
  std::string out = std::to_string(position) + '\t' + std::to_string(e.status) + '\t' +
                    std::to_string(e.interval) + '\t' + std::to_string(e.lastRepetition);
  // An item without a record is not read: reading it would hand it a new slot number.
  c.currentPosition = position;
  if (e.recordOffset == store::kNoRecord || !c.readItem(position)) {
    for (int i = 0; i < 5; ++i) out += "\t-";
    out += '\t' + std::to_string(e.recordOffset) + "\t-\t-";
    return out;
  }
  const store::ItemRecordHeader& h = c.loaded.header;
  out += '\t' + std::to_string(h.aFactor) + '\t' + std::to_string(h.repetitions) + '\t' +
         std::to_string(h.lapses) + '\t' + std::to_string(h.itemId()) + '\t' +
         std::to_string(h.slotNumber) + '\t' + std::to_string(e.recordOffset) + '\t' +
         escapeText(c.loaded.question) + '\t' + escapeText(c.loaded.answer);
  return out;
}

std::optional<std::string> gradeItem(store::Collection& c, std::uint16_t position,
                                     learning::Grade grade) {
  c.currentPosition = position;
  c.readItem(position);  // an item never written grades as the blank item it is
  const store::UndoStep step =
      learning::beginUndoStep(c, store::UndoKind::Grade, static_cast<std::uint8_t>(grade));
  const bool changed = learning::applyGrade(c, grade).changed;
  if (!c.writeItem(position)) return std::nullopt;
  if (changed) learning::keepUndoStep(c, step);
  return itemLine(c, position) + "\n";
}

std::string undoStepLine(const store::UndoStep& step, std::size_t number) {
  std::string what;
  switch (step.kind) {
    case store::UndoKind::Grade:
      what = "grade " + std::to_string(step.grade);
      break;
    case store::UndoKind::Forget:
      what = "forget";
      break;
    case store::UndoKind::Remember:
      what = "remember";
      break;
    case store::UndoKind::Dismiss:
      what = "dismiss";
      break;
  }
  const auto n = [](unsigned v) { return std::to_string(v); };
  return n(static_cast<unsigned>(number)) + "\t" + n(step.position) + "\t" + what + "\t" +
         n(step.before.entryStatus) + "\t" + n(step.after.entryStatus) + "\t" +
         n(step.before.entryInterval) + "\t" + n(step.after.entryInterval) + "\t" +
         n(step.before.repetitions) + "\t" + n(step.after.repetitions);
}

}  // namespace kelvora::cli
