// The collection store at full size: a 30000-item collection on disk, loaded, read item by
// item, filled with 30000 new items, and saved.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>

#include "bench_collection.h"
#include "platform/system_clock.h"
#include "store/reset_collection.h"

namespace {

using namespace kelvora;

using bench::Bench;
using bench::kItems;

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

// The whole table changed (as a delete or a rebuild leaves it): one journal transaction with
// every entry, then applied to the index file and synced.
void BM_WholeTableChangeWithCheckpoint(benchmark::State& state) {
  Bench b;
  b.createFilled("save");
  for (auto _ : state) {
    bool ok = b.c.indexChanged() && b.c.checkpoint();
    benchmark::DoNotOptimize(ok);
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_WholeTableChangeWithCheckpoint)->Unit(benchmark::kMillisecond);

// Opening a full collection that was closed cleanly: no journal, the index loaded and counted.
void BM_OpenAfterCleanClose(benchmark::State& state) {
  Bench b;
  b.createFilled("open");
  (void)b.c.closeCollection();
  for (auto _ : state) {
    benchmark::DoNotOptimize(store::openCollection(b.c, b.dir / "open"));
    state.PauseTiming();
    (void)b.c.closeCollection();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenAfterCleanClose)->Unit(benchmark::kMillisecond);

// Copies the collection files (journal included) of base from one folder to another.
void copyCollection(const std::filesystem::path& from, const std::filesystem::path& to) {
  for (const char* ext : {".kdb", ".kbi", ".cfg", ".kjn"}) {
    std::filesystem::copy_file(store::withSuffix(from, ext), store::withSuffix(to, ext),
                               std::filesystem::copy_options::overwrite_existing);
  }
}

// Opening a full collection after a kill, with a journal of 20000 grades and edits waiting (close
// to the 4 MiB at which it would have been applied): every transaction is applied again.
void BM_RecoverAfterKill30000(benchmark::State& state) {
  Bench b;
  b.createFilled("killed");
  (void)b.c.closeCollection();
  (void)store::openCollection(b.c, b.dir / "killed");
  for (std::uint16_t p = 0; p < 20000; ++p) {
    b.c.currentPosition = p;
    b.c.readItem(p);
    b.c.table[p].interval = 7;
    b.c.loaded.header.repetitions = 2;
    (void)b.c.writeItem(p);
  }
  // The files as the kill leaves them, journal included.
  const auto kept = b.dir / "kept";
  copyCollection(b.dir / "killed", kept);
  (void)b.c.closeCollection();
  state.counters["journal_bytes"] =
      static_cast<double>(std::filesystem::file_size(store::withSuffix(kept, ".kjn")));
  for (auto _ : state) {
    state.PauseTiming();
    copyCollection(kept, b.dir / "r");
    ::sync();  // the copies on the disk, as the killed program's files would long since be
    state.ResumeTiming();
    benchmark::DoNotOptimize(store::openCollection(b.c, b.dir / "r"));
    state.PauseTiming();
    (void)b.c.closeCollection();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_RecoverAfterKill30000)->Unit(benchmark::kMillisecond);

// One edit written back in a full collection: the record in place and its entry, one journal
// transaction (the journal's sync is grouped; see the learning pass).
void BM_WriteOneItemWithIndex(benchmark::State& state) {
  Bench b;
  b.createFilled("one");
  b.c.setSyncClock(platform::monotonicMilliseconds);
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
      (void)b.c.writeItem(p);
    }
  }
  for (auto _ : state) benchmark::DoNotOptimize(b.c.rebuildIndex());
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_Rebuild30000WithDeadRecords)->Unit(benchmark::kMillisecond);

void BM_Reset30000Items(benchmark::State& state) {
  Bench b;
  b.createFilled("reset");
  for (auto _ : state) benchmark::DoNotOptimize(store::resetCollection(b.c));
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_Reset30000Items)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
