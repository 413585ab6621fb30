// Import and export of a 30000-item collection in both exchange formats, on disk.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "bench_collection.h"
#include "exchange/exchange_commands.h"
#include "exchange/xml_update.h"

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

// Update from XML of a collection whose 30000 items all have IDs, from a document of all of
// them: mode 0 imports that document into a new collection (the yardstick), mode 1 updates the
// collection from its own export (every item matched, none written), mode 2 from an export in
// which every question has grown by a word (every record rewritten at the end of the file).
// Each timed run opens the collection, updates it and closes it; its files are put back between
// runs.
void BM_UpdateXml30000(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  Bench b;
  store::createCollection(b.c, b.dir / "deck");
  b.fill();
  {
    store::Collection::Batch batch(b.c);
    for (std::uint16_t p = 0; p < kItems; ++p) {
      b.c.currentPosition = p;
      (void)b.c.readItem(p);
      b.c.loaded.header.setItemId(p + 1u);
      (void)b.c.writeItem(p);
    }
  }
  (void)b.c.closeCollection();
  const std::filesystem::path deck = b.dir / "deck";
  exchange::exportCollection(b.c, ExchangeKind::Xml, deck, b.dir / "in.xml", kNow);
  if (mode == 2) {
    std::stringstream text;
    text << std::ifstream(b.dir / "in.xml").rdbuf();
    const std::string original = text.str();
    const std::string tag = "<Question>";
    std::string edited;
    std::size_t from = 0;
    for (std::size_t at = original.find(tag); at != std::string::npos;
         at = original.find(tag, at + 1)) {
      edited.append(original, from, at + tag.size() - from).append("Now: ");
      from = at + tag.size();
    }
    edited.append(original, from);
    std::ofstream(b.dir / "in.xml", std::ios::binary) << edited;
  }
  for (const char* suffix : {".kdb", ".kbi", ".cfg"}) {
    std::filesystem::copy_file(b.dir / (std::string("deck") + suffix),
                               b.dir / (std::string("saved") + suffix));
  }
  for (auto _ : state) {
    state.PauseTiming();
    for (const char* suffix : {".kdb", ".kbi", ".cfg"}) {
      std::filesystem::copy_file(b.dir / (std::string("saved") + suffix),
                                 b.dir / (std::string("deck") + suffix),
                                 std::filesystem::copy_options::overwrite_existing);
    }
    std::filesystem::remove(b.dir / "in.kdb");
    std::filesystem::remove(b.dir / "in.kbi");
    state.ResumeTiming();
    if (mode == 0) {
      if (!exchange::importCollection(b.c, ExchangeKind::Xml, b.dir / "in")) {
        state.SkipWithError("import failed");
      }
      continue;
    }
    if (!store::openCollection(b.c, deck)) state.SkipWithError("open failed");
    const exchange::UpdateResult result = exchange::updateFromXml(b.c, b.dir / "in.xml");
    if (result.outcome != exchange::UpdateOutcome::Updated ||
        result.updated != (mode == 2 ? kItems : 0)) {
      state.SkipWithError("update failed");
    }
    if (!b.c.closeCollection()) state.SkipWithError("close failed");
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_UpdateXml30000)->ArgName("mode")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
