// Import and export of a 30000-item collection in both exchange formats, on disk.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "bench_collection.h"
#include "exchange/exchange_commands.h"

namespace {

using namespace kelvora;
using bench::Bench;
using bench::kItems;
using exchange::ExchangeKind;

constexpr exchange::XmlTime kNow{2004, 8, 14, 9, 30};

const char* suffix(ExchangeKind kind) { return kind == ExchangeKind::Xml ? ".xml" : ".txt"; }

void exportBench(benchmark::State& state, ExchangeKind kind) {
  Bench b;
  b.createFilled("source");
  (void)b.c.closeCollection();
  const auto out = b.dir / (std::string("out") + suffix(kind));
  for (auto _ : state) {
    if (!exchange::exportCollection(b.c, kind, b.dir / "source", out, kNow)) {
      state.SkipWithError("export failed");
    }
  }
  // KELVORA_BENCH_KEEP names a folder that receives the exported document, for comparisons
  // with other tools.
  if (const char* keep = std::getenv("KELVORA_BENCH_KEEP")) {
    std::error_code ec;
    std::filesystem::copy_file(out, std::filesystem::path(keep) / out.filename(),
                               std::filesystem::copy_options::overwrite_existing, ec);
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}

void importBench(benchmark::State& state, ExchangeKind kind) {
  Bench b;
  b.createFilled("source");
  (void)b.c.closeCollection();
  exchange::exportCollection(b.c, kind, b.dir / "source",
                             b.dir / (std::string("in") + suffix(kind)), kNow);
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(b.dir / "in.kdb");
    std::filesystem::remove(b.dir / "in.kbi");
    state.ResumeTiming();
    if (!exchange::importCollection(b.c, kind, b.dir / "in")) state.SkipWithError("import failed");
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}

void BM_ExportXml30000(benchmark::State& state) { exportBench(state, ExchangeKind::Xml); }
void BM_ImportXml30000(benchmark::State& state) { importBench(state, ExchangeKind::Xml); }
void BM_ExportQa30000(benchmark::State& state) { exportBench(state, ExchangeKind::QaText); }
void BM_ImportQa30000(benchmark::State& state) { importBench(state, ExchangeKind::QaText); }
BENCHMARK(BM_ExportXml30000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportXml30000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportQa30000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportQa30000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
