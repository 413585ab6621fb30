// The collection store at full size: a 30000-item collection on disk, loaded, read item by
// item, filled with 30000 new items, and saved.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/posix_file_system.h"
#include "recording_messages.h"
#include "store/collection.h"
#include "store/collection_opening.h"
#include "store/reset_collection.h"
#include "temp_dir.h"

namespace {

using namespace kelvora;

constexpr std::uint16_t kItems = store::MaxItems;

struct Bench {
  fakes::TempDir dir;
  platform::PosixFileSystem files;
  fakes::RecordingMessages messages;
  store::Collection c{files, messages, [] { return store::DayNumber{9000}; }};

  // Appends kItems new items to the open collection, the index written once at the end.
  void fill() {
    store::Collection::Batch batch(c);
    for (std::uint16_t p = 0; p < kItems; ++p) {
      c.header.itemCount = p + 1;
      c.table[p] = store::ItemIndexEntry{store::kNoRecord, 0, 0, 0, 0, 0};
      c.currentPosition = p;
      c.loaded.loadedPosition = p;
      c.loaded.header = store::ItemRecordHeader{};
      c.loaded.header.aFactor = store::kNewItemAFactor;
      c.loaded.header.slotNumber = c.takeSlotNumber();
      c.loaded.question =
          u"What is the capital of country number " + std::u16string(1, u'A' + p % 26);
      c.loaded.answer = u"The capital of that country, with a short note about it.";
      c.writeItem(p);
    }
  }

  void createFilled(const std::string& name) {
    store::createCollection(c, dir / name);
    fill();
  }
};

void BM_LoadIndex(benchmark::State& state) {
  Bench b;
  b.createFilled("load");
  for (auto _ : state) {
    bool ok = b.c.loadIndex();
    benchmark::DoNotOptimize(ok);
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_LoadIndex)->Unit(benchmark::kMillisecond);

void BM_ReadEveryItem(benchmark::State& state) {
  Bench b;
  b.createFilled("read");
  for (auto _ : state) {
    for (std::uint16_t p = 0; p < kItems; ++p) {
      b.c.currentPosition = p;
      benchmark::DoNotOptimize(b.c.readItem(p));
    }
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_ReadEveryItem)->Unit(benchmark::kMillisecond);

void BM_Append30000Items(benchmark::State& state) {
  Bench b;
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    store::createCollection(b.c, b.dir / ("append" + std::to_string(round++)));
    state.ResumeTiming();
    b.fill();
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_Append30000Items)->Unit(benchmark::kMillisecond);

void BM_SaveIndex(benchmark::State& state) {
  Bench b;
  b.createFilled("save");
  for (auto _ : state) benchmark::DoNotOptimize(b.c.saveIndex());
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_SaveIndex)->Unit(benchmark::kMillisecond);

// One edit written back in a full collection: the record in place, then the whole index.
void BM_WriteOneItemWithIndex(benchmark::State& state) {
  Bench b;
  b.createFilled("one");
  b.c.currentPosition = 12345;
  b.c.readItem(12345);
  for (auto _ : state) benchmark::DoNotOptimize(b.c.writeItem(12345));
}
BENCHMARK(BM_WriteOneItemWithIndex)->Unit(benchmark::kMicrosecond);

// Rebuilding the table of a full collection in which every tenth item was moved once,
// leaving a dead copy behind.
void BM_Rebuild30000WithDeadRecords(benchmark::State& state) {
  Bench b;
  b.createFilled("rebuild");
  {
    store::Collection::Batch batch(b.c);
    for (std::uint16_t p = 0; p < kItems; p += 10) {
      b.c.currentPosition = p;
      b.c.readItem(p);
      b.c.loaded.answer += u" (grown)";
      b.c.writeItem(p);
    }
  }
  for (auto _ : state) benchmark::DoNotOptimize(b.c.rebuildIndex());
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_Rebuild30000WithDeadRecords)->Unit(benchmark::kMillisecond);

void BM_Reset30000Items(benchmark::State& state) {
  Bench b;
  b.createFilled("reset");
  for (auto _ : state) store::resetCollection(b.c);
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_Reset30000Items)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
