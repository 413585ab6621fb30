// The collection store at full size: a 30000-item collection on disk, loaded, read item by
// item, filled with 30000 new items, and saved.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_collection.h"
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
  for (auto _ : state) store::resetCollection(b.c);
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_Reset30000Items)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
