// A kill at any write while a collection changes, with or without damage to its files after:
// the collection must open (or fail with a message) without crashing or reading outside the
// files, and every item must read or be reported. Without damage, every item must be as it was
// before or after the interrupted change, and every change finished before the kill must stay.
//
// Input: a head, then operations until the input ends.
//   head: flags (bit 0 Unicode texts, bit 1 torn write at the kill, bit 2 journal syncs grouped
//         by a clock), initial items (1 + n % 4), kill point (u16, write operation number
//         % kKillRange), damage count (0 below 128, else 1 + n % 3), and per damage: file, kind,
//         position (u16), xor mask.
//   operations: edit texts, edit in place, grade, add, delete, close and reopen, clock tick,
//         checkpoint; each takes a position and its values from the bytes that follow.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "memory_file_system.h"
#include "recording_messages.h"
#include "store/collection.h"
#include "store/collection_opening.h"
#include "store/item_status.h"

using namespace kelvora;

namespace {

constexpr const char* kBase = "/c";
constexpr std::size_t kItemLimit = 8;
constexpr std::size_t kMaxOperations = 12;
constexpr long kKillRange = 160;
// No Memorized item ever falls due (its interval is at least one day), so reading the table
// back never turns one Outstanding.
constexpr store::DayNumber kToday = 0;

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
  std::uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
  std::uint16_t u16() {
    const std::uint16_t low = byte();
    return static_cast<std::uint16_t>(low | (byte() << 8));
  }
  bool empty() const { return m_pos >= m_size; }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
};

// Units that both text forms store unchanged: ASCII (one byte in Compressed Unicode), units up
// to 0x7FFF (two bytes), line breaks.
std::u16string text(Input& in) {
  static constexpr char16_t kAlphabet[] = {
      u'a', u'b', u'c', u'x', u'Q', u' ', u'\r', u'\n', u'\u00e9', u'\u03a9', u'\u4e2d', u'\u7fff'};
  std::u16string out;
  const std::size_t length = in.byte() % 9;
  for (std::size_t i = 0; i < length; ++i) out.push_back(kAlphabet[in.byte() % 12]);
  return out;
}

struct Item {
  std::u16string question;
  std::u16string answer;
  std::uint16_t interval = 0;
  store::DayNumber lastRepetition = 0;
  std::uint8_t status = store::code(store::ItemStatus::Pending);
  std::uint16_t aFactor = store::kNewItemAFactor;
  std::uint8_t repetitions = 0;
  std::uint8_t lapses = 0;

  bool operator==(const Item&) const = default;
};
using Model = std::vector<Item>;

enum class Op { Create, Add, Edit, EditInPlace, Grade, Delete, Reopen, Tick, Checkpoint, Close };
const char* name(Op op) {
  static const char* const kNames[] = {"create", "add",    "edit", "edit-in-place", "grade",
                                       "delete", "reopen", "tick", "checkpoint",    "close"};
  return kNames[static_cast<int>(op)];
}

struct Damage {
  int file;  // 0 journal, 1 texts, 2 index
  bool truncate;
  std::uint16_t position;
  std::uint8_t mask;
};

// Two disks and two collections, kept from input to input: a Collection carries whole
// MaxItems tables, which cost more to build than a whole run. The first pair makes the
// changes and is killed; the second opens what the kill left.
struct Harness {
  std::uint64_t nowMs = 0;
  fakes::MemoryFileSystem files;
  fakes::RecordingMessages messages;
  store::Collection c{files, messages, [] { return kToday; }};
  fakes::MemoryFileSystem after;
  fakes::RecordingMessages afterMessages;
  store::Collection reopened{after, afterMessages, [] { return kToday; }};
};

// What one finished step left: the model after it and the write operations it took.
struct Step {
  Op op;
  long firstWrite;
  long endWrite;
  Model model;
};

[[noreturn]] void fail(const char* what, const std::vector<Step>& steps, long killAt) {
  std::fprintf(stderr, "recovery_fuzz: %s (kill at write %ld)\n", what, killAt);
  for (const Step& s : steps) {
    std::fprintf(stderr, "  %-13s writes [%ld, %ld) items %zu\n", name(s.op), s.firstWrite,
                 s.endWrite, s.model.size());
  }
  std::abort();
}

// The items of an open collection, read one by one; false when one does not read, or its record
// and its entry disagree.
bool readAll(store::Collection& c, Model& out) {
  out.clear();
  for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
    c.currentPosition = p;
    if (!c.readItem(p)) return false;
    Item item;
    item.question = c.loaded.question;
    item.answer = c.loaded.answer;
    item.interval = c.table[p].interval;
    item.lastRepetition = c.table[p].lastRepetition;
    item.status = c.table[p].status;
    item.aFactor = c.loaded.header.aFactor;
    item.repetitions = c.loaded.header.repetitions;
    item.lapses = c.loaded.header.lapses;
    // Record and entry carry the learning fields each; a write keeps them equal.
    if (c.loaded.header.status != item.status || c.loaded.header.interval != item.interval ||
        c.loaded.header.lastRepetition != item.lastRepetition) {
      return false;
    }
    out.push_back(std::move(item));
  }
  return true;
}

// Appends an item the way the editor does: a new entry without a record, written at once.
bool addItem(store::Collection& c, const Item& item) {
  const std::uint16_t p = c.header.itemCount++;
  c.table[p] = store::ItemIndexEntry{};
  c.table[p].recordOffset = store::kNoRecord;
  c.loaded.header = store::newItemHeader(c.takeSlotNumber());
  c.loaded.question = item.question;
  c.loaded.answer = item.answer;
  c.currentPosition = p;
  c.loaded.loadedPosition = p;
  return c.writeItem(p);
}

void applyDamage(fakes::MemoryFileSystem& files, const Damage& d) {
  static const char* const kPaths[] = {"/c.kjn", "/c.kdb", "/c.kbi"};
  if (!files.exists(kPaths[d.file])) return;
  auto& bytes = files.bytes(kPaths[d.file]);
  if (d.truncate) {
    bytes.resize(d.position % (bytes.size() + 1));
  } else if (!bytes.empty()) {
    bytes[d.position % bytes.size()] ^= d.mask == 0 ? 1 : d.mask;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Harness h;
  // Nothing of one input outlives it, so that the leak check sees allocations balance.
  struct Cleanup {
    Harness& h;
    ~Cleanup() {
      h.files.restore({});
      h.after.restore({});
      h.messages.shown.clear();
      h.afterMessages.shown.clear();
    }
  } cleanup{h};
  Input in(data, size);
  const std::uint8_t flags = in.byte();
  const bool unicode = flags & 1;
  const std::size_t initialItems = 1 + in.byte() % 4;
  const long killAt = in.u16() % kKillRange;
  std::vector<Damage> damage;
  const std::uint8_t damageCount = in.byte();
  if (damageCount >= 128) {
    for (int i = 0; i < 1 + damageCount % 3; ++i) {
      Damage d;
      d.file = in.byte() % 3;
      d.truncate = in.byte() & 1;
      d.position = in.u16();
      d.mask = in.byte();
      damage.push_back(d);
    }
  }

  // ---- the changes, killed at write operation killAt ----
  fakes::MemoryFileSystem& files = h.files;
  files.restore({});
  files.heal();
  files.writeOps = 0;
  files.killed.reset();
  files.torn = flags & 2;
  files.killAtWriteOp = killAt;
  h.messages.shown.clear();
  h.nowMs = 0;
  store::Collection& c = h.c;
  if (flags & 4) {
    c.setSyncClock([] { return h.nowMs; });
  } else {
    c.setSyncClock(nullptr);
  }
  c.settings = store::Settings{};
  c.settings.utf8 = unicode ? 1 : 0;

  std::vector<Step> steps;
  Model model;
  auto step = [&](Op op, auto&& change) {
    const long first = files.writeOps;
    if (!change()) fail("a change failed on a sound disk", steps, killAt);
    steps.push_back(Step{op, first, files.writeOps, model});
  };
  step(Op::Create, [&] { return store::createCollection(c, kBase); });
  auto newItem = [&] {
    Item item;
    item.question = text(in);
    item.answer = text(in);
    return item;
  };
  for (std::size_t i = 0; i < initialItems; ++i) {
    Item item = newItem();
    model.push_back(item);
    step(Op::Add, [&] { return addItem(c, item); });
  }
  for (std::size_t n = 0; n < kMaxOperations && !in.empty(); ++n) {
    const std::uint8_t code = in.byte();
    const std::uint16_t p = model.empty() ? 0 : in.byte() % model.size();
    switch (code % 8) {
      case 0: {
        if (model.size() >= kItemLimit) break;
        Item item = newItem();
        model.push_back(item);
        step(Op::Add, [&] { return addItem(c, item); });
        break;
      }
      case 1:
      case 2: {
        if (model.empty()) break;
        // In place: the same units outside ASCII, other ASCII letters, so the same stored size.
        const bool inPlace = code % 8 == 2;
        Item& item = model[p];
        if (inPlace) {
          for (std::u16string* t : {&item.question, &item.answer}) {
            for (char16_t& u : *t) {
              if (u >= u'a' && u <= u'z') u = static_cast<char16_t>(u'a' + in.byte() % 26);
            }
          }
        } else {
          item.question = text(in);
          item.answer = text(in);
        }
        step(inPlace ? Op::EditInPlace : Op::Edit, [&] {
          c.currentPosition = p;
          if (!c.readItem(p)) return false;
          c.loaded.question = item.question;
          c.loaded.answer = item.answer;
          c.loaded.itemModified = true;
          return c.flushItem();
        });
        break;
      }
      case 3: {
        if (model.empty()) break;
        static constexpr store::ItemStatus kStatuses[] = {
            store::ItemStatus::Pending, store::ItemStatus::Drill, store::ItemStatus::Memorized,
            store::ItemStatus::Outstanding, store::ItemStatus::Dismissed};
        Item& item = model[p];
        item.interval = static_cast<std::uint16_t>(1 + in.byte());
        item.lastRepetition = in.u16();
        item.status = store::code(kStatuses[in.byte() % 5]);
        item.aFactor = static_cast<std::uint16_t>(1300 + in.byte() * 10);
        item.repetitions = in.byte();
        item.lapses = in.byte();
        step(Op::Grade, [&] {
          c.currentPosition = p;
          if (!c.readItem(p)) return false;
          store::ItemIndexEntry& entry = c.table[p];
          entry.interval = item.interval;
          entry.lastRepetition = item.lastRepetition;
          entry.status = item.status;
          c.loaded.header.status = item.status;
          c.loaded.header.aFactor = item.aFactor;
          c.loaded.header.repetitions = item.repetitions;
          c.loaded.header.lapses = item.lapses;
          return c.writeItem(p);
        });
        break;
      }
      case 4: {
        if (model.empty()) break;
        model.erase(model.begin() + p);
        step(Op::Delete, [&] {
          c.currentPosition = p;
          if (!c.readItem(p)) return false;
          // The record marked deleted and the table without it are one change.
          store::Collection::Batch change(c);
          store::ItemIndexEntry& entry = c.table[p];
          store::uncountStatus(c.counters, entry.status);
          entry.status = store::code(store::ItemStatus::Deleted);
          c.loaded.header.status = entry.status;
          (void)c.writeItem(p);
          c.loaded.itemModified = false;
          c.compactTable();
          (void)c.indexChanged();
          if (!change.commit()) return false;
          c.currentPosition = 0;
          return true;
        });
        break;
      }
      case 5:
        step(Op::Reopen, [&] {
          const bool closed = c.closeCollection();
          return store::openCollection(c, kBase) && closed;
        });
        break;
      case 6: {
        const std::uint64_t ms = in.byte() * 16u;
        step(Op::Tick, [&] {
          h.nowMs += ms;
          c.syncIfDue();
          return true;
        });
        break;
      }
      default:
        step(Op::Checkpoint, [&] { return c.checkpoint(); });
        break;
    }
  }
  {
    // The changes must have reached the live collection as the model has them.
    Model live;
    if (!readAll(c, live) || live != model) fail("the live collection differs", steps, killAt);
  }
  step(Op::Close, [&] { return c.closeCollection(); });
  const fakes::MemoryFileSystem::Snapshot left = files.killed ? *files.killed : files.snapshot();

  // ---- what the kill left, opened again ----
  fakes::MemoryFileSystem& after = h.after;
  after.restore(left);
  after.heal();
  for (const Damage& d : damage) applyDamage(after, d);
  h.afterMessages.shown.clear();
  store::Collection& r = h.reopened;
  r.settings = store::Settings{};
  r.settings.utf8 = unicode ? 1 : 0;  // what a missing settings file leaves
  if (!store::openCollection(r, kBase)) {
    if (h.afterMessages.shown.empty()) fail("an opening failed without a message", steps, killAt);
    if (damage.empty()) fail("a killed collection did not open", steps, killAt);
    return 0;
  }
  Model got;
  for (std::uint16_t p = 0; p < r.header.itemCount; ++p) {
    r.currentPosition = p;
    const std::size_t shown = h.afterMessages.shown.size();
    const bool hasRecord = r.table[p].recordOffset != store::kNoRecord;
    if (!r.readItem(p) && hasRecord && h.afterMessages.shown.size() == shown) {
      fail("an unreadable item was not reported", steps, killAt);
    }
  }
  if (damage.empty()) {
    // The change the kill interrupted is the one whose writes reach past it.
    std::size_t i = 0;
    while (i < steps.size() && steps[i].endWrite <= killAt) ++i;
    const Model empty;
    const Model& afterChange = i < steps.size() ? steps[i].model : steps.back().model;
    const Model& beforeChange = i == 0 ? empty : steps[i - 1].model;
    if (!readAll(r, got)) fail("an item of a killed collection did not read", steps, killAt);
    if (got != beforeChange && got != afterChange) {
      std::fprintf(stderr, "interrupted: %s; got %zu items, before %zu, after %zu\n",
                   i < steps.size() ? name(steps[i].op) : "nothing", got.size(),
                   beforeChange.size(), afterChange.size());
      fail("items are neither as before nor as after the interrupted change", steps, killAt);
    }
    // What recovery made of it is stored for good.
    if (!r.closeCollection()) fail("closing a recovered collection failed", steps, killAt);
    Model again;
    if (!store::openCollection(r, kBase) || !readAll(r, again) || again != got) {
      fail("a recovered collection did not open the same again", steps, killAt);
    }
  }
  (void)r.closeCollection();
  return 0;
}
