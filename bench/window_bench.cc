// The long commands of the desktop window (its menus, its "Working" window, its messages
// answered) beside the same work as the command-line program does it, in one process on the
// offscreen platform: import and export of 30000 items in both formats, and reset.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <functional>

#include "bench_collection.h"
#include "exchange/exchange_commands.h"
#include "learning/random.h"
#include "platform/system_clock.h"
#include "shell/application.h"
#include "shell/command_ids.h"
#include "shell/qt/main_window.h"
#include "shell/qt/qt_shell_port.h"
#include "store/reset_collection.h"

namespace {

using namespace kelvora;
using exchange::ExchangeKind;

// The window's own port with the file dialogs and message boxes answered, so that what is timed
// is the command and its "Working" window, not a person.
class AnsweringPort final : public qt::QtShellPort {
 public:
  using QtShellPort::QtShellPort;
  std::deque<std::filesystem::path> files;
  int errors = 0;

  void showMessage(std::u16string_view, store::MessageKind kind) override {
    if (kind == store::MessageKind::Error) ++errors;
  }
  bool askYesNo(std::u16string_view, store::DefaultAnswer) override { return true; }
  std::optional<std::filesystem::path> pickOpenFile(const shell::FileDialog&) override {
    return next();
  }
  std::optional<std::filesystem::path> pickSaveFile(const shell::FileDialog&,
                                                    const std::filesystem::path&) override {
    return next();
  }

 private:
  std::optional<std::filesystem::path> next() {
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
  }
};

double bestMs(const std::function<void()>& prepare, const std::function<void()>& run) {
  double best = 1e18;
  for (int i = 0; i < 5; ++i) {
    prepare();
    QElapsedTimer t;
    t.start();
    run();
    best = std::min(best, static_cast<double>(t.nsecsElapsed()) / 1e6);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  bench::Bench source;
  source.createFilled("source");
  (void)source.c.closeCollection();
  const auto dir = source.dir.path();
  constexpr exchange::XmlTime kNow{2004, 8, 14, 9, 30};
  for (ExchangeKind kind : {ExchangeKind::Xml, ExchangeKind::QaText}) {
    (void)exchange::exportCollection(source.c, kind, dir / "source",
                                     dir / (kind == ExchangeKind::Xml ? "in.xml" : "in.txt"), kNow);
  }

  platform::SystemClock clock;
  qt::MainWindow window(QSize(1200, 800), [] { return std::filesystem::path(); });
  AnsweringPort port(window, dir);
  store::Collection collection(source.files, port, [&clock] { return learning::today(clock); });
  learning::LinearRandom random;
  shell::Application app(collection, port, random, clock, nullptr, window.applicationConfig());
  app.start();
  window.setApplication(&app);
  window.show();

  // The command line's way: the same operations, questions answered Yes, no window to tell.
  fakes::RecordingMessages quiet;
  store::Collection cli(source.files, quiet, [&clock] { return learning::today(clock); });

  const auto removeImported = [&] {
    (void)collection.closeCollection();
    std::filesystem::remove(dir / "in.kdb");
    std::filesystem::remove(dir / "in.kbi");
    std::filesystem::remove(dir / "in.cfg");
  };
  struct Row {
    const char* name;
    shell::CommandId command;
    std::function<std::deque<std::filesystem::path>()> files;
    std::function<void()> cliRun;
    bool openFirst;
  };
  const Row rows[] = {
      {"import XML", shell::cmd::ImportXml, [&] { return std::deque{dir / "in.xml"}; },
       [&] {
         (void)exchange::importWithQuestions(cli, ExchangeKind::Xml, dir / "in",
                                             exchange::WideCharacters::Ask);
       },
       false},
      {"import Q&A", shell::cmd::ImportQa, [&] { return std::deque{dir / "in.txt"}; },
       [&] {
         (void)exchange::importWithQuestions(cli, ExchangeKind::QaText, dir / "in",
                                             exchange::WideCharacters::Ask);
       },
       false},
      {"export XML", shell::cmd::ExportXml,
       [&] {
         return std::deque{dir / "source.kdb", dir / "out.xml"};
       },
       [&] {
         (void)exchange::exportCollection(cli, ExchangeKind::Xml, dir / "source", dir / "out.xml",
                                          kNow);
       },
       false},
      {"export Q&A", shell::cmd::ExportQa,
       [&] {
         return std::deque{dir / "source.kdb", dir / "out.txt"};
       },
       [&] {
         (void)exchange::exportCollection(cli, ExchangeKind::QaText, dir / "source",
                                          dir / "out.txt", kNow);
       },
       false},
      {"reset", shell::cmd::Reset, [&] { return std::deque<std::filesystem::path>{}; },
       [&] {
         (void)store::openCollection(cli, dir / "source");
         (void)store::resetCollection(cli);
         (void)cli.closeCollection();
       },
       true},
  };
  std::printf("%-12s %12s %12s %8s\n", "command", "window ms", "core ms", "ratio");
  for (const Row& row : rows) {
    const double inWindow = bestMs(
        [&] {
          removeImported();
          if (row.openFirst) window.openPath(dir / "source.kdb");
          port.files = row.files();
        },
        [&] { window.menuAction(row.command)->trigger(); });
    const double core = bestMs(removeImported, row.cliRun);
    std::printf("%-12s %12.1f %12.1f %7.2fx\n", row.name, inWindow, core, inWindow / core);
  }
  window.setApplication(nullptr);
  return port.errors == 0 && quiet.shown.empty() ? 0 : 1;
}
