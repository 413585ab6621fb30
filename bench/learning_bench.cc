// The application at 1000 items and at full size: one learning pass over a collection on disk,
// every item graded once through the keys, so that a step's cost can be seen not to grow with
// the collection; the undo of one grade; a calendar day's list; and a Find that reads and searches
// every item of a full one.
#include <benchmark/benchmark.h>

#include "bench_collection.h"
#include "fake_shell_port.h"
#include "fixed_clock.h"
#include "learning/random.h"
#include "learning/repetitions_calendar.h"
#include "platform/system_clock.h"
#include "shell/application.h"
#include "store/item_status.h"
#include "store/reset_collection.h"

namespace {

using namespace kelvora;
using bench::kItems;

// The application over a collection of the given size on disk, opened through its Open
// command; the journal synced at most every two seconds, as in the desktop program.
struct AppOnDisk {
  explicit AppOnDisk(std::uint16_t items) {
    c.setSyncClock(platform::monotonicMilliseconds);
    {
      bench::Bench b;
      b.createFilled("deck", items);
      (void)b.c.closeCollection();
      std::filesystem::copy_file(b.dir / "deck.kdb", dir / "deck.kdb");
      std::filesystem::copy_file(b.dir / "deck.kbi", dir / "deck.kbi");
    }
    app.start();
    port.files = {dir / "deck.kdb"};
    app.onCommand(shell::cmd::Open);
  }

  fakes::TempDir dir;
  platform::PosixFileSystem files;
  fakes::FakeShellPort port;
  fakes::FixedClock clock{learning::CalendarDate{2004, 8, 14}};
  store::Collection c{files, port, [this] { return learning::today(clock); }};
  learning::LinearRandom random;
  shell::Application app{c, port, random, clock, nullptr, shell::ApplicationConfig{}};
};

// range(1) 0: every item new, each next one the first new item; 1: every item memorized and
// due, each next one drawn at random among the due items.
void BM_LearningPass(benchmark::State& state) {
  const auto items = static_cast<std::uint16_t>(state.range(0));
  const bool due = state.range(1) != 0;
  AppOnDisk on(items);
  store::Collection& c = on.c;
  shell::Application& app = on.app;
  std::int64_t grades = 0;
  for (auto _ : state) {
    state.PauseTiming();
    (void)store::resetCollection(c);
    if (due) {
      for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
        c.table[p].status = store::code(store::ItemStatus::Memorized);
        c.table[p].interval = 1;
        c.table[p].lastRepetition = c.today() - 10;
      }
      (void)c.indexChanged();
      c.recount();
    }
    state.ResumeTiming();
    app.onCommand(shell::cmd::LearnButton);
    while (app.mode() == shell::AppMode::LearnQuestion) {
      app.onKey(shell::Key::Enter);
      app.onKey(shell::Key::Digit4);
      ++grades;
    }
  }
  // Seconds per grade (shown with a unit prefix: "17u" is 17 microseconds).
  state.counters["per_grade"] = benchmark::Counter(
      static_cast<double>(grades), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetItemsProcessed(grades);
}
BENCHMARK(BM_LearningPass)
    ->ArgsProduct({{1000, kItems}, {0, 1}})
    ->ArgNames({"items", "due"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

// Undo of one grade in a full collection: the item graded (untimed), then Ctrl+Z takes the
// grade back, its record, entry and counters written as one journal transaction, and shows the
// item as a question again.
void BM_UndoGrade30000(benchmark::State& state) {
  AppOnDisk on(kItems);
  store::Collection& c = on.c;
  shell::Application& app = on.app;
  app.onCommand(shell::cmd::LearnButton);
  for (auto _ : state) {
    state.PauseTiming();
    app.onKey(shell::Key::Enter);
    app.onKey(shell::Key::Digit4);
    state.ResumeTiming();
    app.onCommand(shell::cmd::UndoGrade);
  }
  if (app.mode() != shell::AppMode::LearnQuestion || !c.undoLog().steps().empty()) {
    state.SkipWithError("the grades were not taken back");
  }
}
BENCHMARK(BM_UndoGrade30000)->Unit(benchmark::kMicrosecond);

// Today's list in the calendar of a full collection whose learned half (15000 items) is all
// overdue: each item found in the table, its record read and its row made.
void BM_CalendarDayList30000(benchmark::State& state) {
  bench::Bench b;
  b.createFilled("deck");
  std::size_t rows = 0;
  for (auto _ : state) {
    const auto list = learning::dayList(b.c, 9000, 9000);
    rows = list.size();
    benchmark::DoNotOptimize(list.data());
  }
  if (rows < kItems / 2 - 1) state.SkipWithError("the backlog is not listed");
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_CalendarDayList30000)->Unit(benchmark::kMillisecond);

// Find of a string no item holds: every item of a full collection read and searched.
void BM_FindAbsent30000(benchmark::State& state) {
  bench::Bench b;
  b.createFilled("deck");
  (void)b.c.closeCollection();
  fakes::FakeShellPort port;
  fakes::FixedClock clock{learning::CalendarDate{2004, 8, 14}};
  store::Collection c{b.files, port, [&clock] { return learning::today(clock); }};
  learning::LinearRandom random;
  shell::Application app{c, port, random, clock, nullptr, shell::ApplicationConfig{}};
  app.start();
  port.files = {b.dir / "deck.kdb"};
  app.onCommand(shell::cmd::Open);
  app.onCommand(shell::cmd::EditButton);
  for (auto _ : state) {
    port.strings = {u"no item holds this"};
    app.onCommand(shell::cmd::Find);
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_FindAbsent30000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
