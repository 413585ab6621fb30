// Saves pictures of the desktop window in every mode, in both arrangements, and of the
// calendar, Fonts and About dialogs, so that a person can look at them. Runs on any Qt
// platform; on the offscreen one it needs no display:
//   QT_QPA_PLATFORM=offscreen kelvora-screenshots COLLECTION.kdb OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <filesystem>

#include "fake_shell_port.h"
#include "learning/clock.h"
#include "learning/random.h"
#include "platform/posix_file_system.h"
#include "platform/system_clock.h"
#include "shell/application.h"
#include "shell/qt/dialogs.h"
#include "shell/qt/main_window.h"
#include "store/collection_opening.h"

namespace {

using namespace kelvora;

// Saves the dialog that is about to run modally, then closes it.
void grabNextDialog(const QString& file) {
  QTimer::singleShot(200, [file] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      dialog->grab().save(file);
      dialog->close();
    }
  });
}

void shoot(const std::filesystem::path& kdb, const QString& out, QSize size, const QString& tag) {
  platform::PosixFileSystem files;
  platform::SystemClock clock;
  fakes::FakeShellPort port;
  store::Collection collection(files, port, [&clock] { return learning::today(clock); });
  learning::LinearRandom random;
  qt::MainWindow window(size, [&] { return kdb.parent_path(); });
  port.onFocus = [&window] { window.focusWorkArea(); };
  shell::ApplicationConfig config;
  config.measures = window.measures();
  config.narrowScreen = window.narrowScreen();
  shell::Application app(collection, port, random, clock, nullptr, config);
  app.start();
  window.setApplication(&app);
  window.show();
  auto save = [&](const char* name) {
    QApplication::processEvents();
    window.grab().save(out + "/" + tag + "-" + name + ".png");
  };
  save("no-collection");
  window.openPath(kdb);
  save("idle");
  app.onCommand(shell::cmd::EditButton);
  window.render();
  save("edit");
  app.onCommand(shell::cmd::CancelEdit);
  app.onCommand(shell::cmd::LearnButton);
  window.render();
  save("learn-question");
  app.onCommand(shell::cmd::ShowAnswer);
  window.render();
  save("learn-answer");
  app.onCommand(shell::cmd::GradeBright + 1);
  app.onCommand(shell::cmd::Last);
  window.render();
  save("learn-review");
  if (tag == "wide") {
    learning::RepetitionsCalendar calendar(collection.today());
    grabNextDialog(out + "/calendar.png");
    qt::runCalendarDialog(&window, calendar, collection);
    presentation::FontsDialog fonts(collection.settings, {u"DejaVu Sans", u"Tahoma"});
    grabNextDialog(out + "/fonts.png");
    qt::runFontsDialog(&window, fonts);
    grabNextDialog(out + "/about.png");
    qt::runAboutDialog(&window);
  }
  window.close();
  window.setApplication(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: kelvora-screenshots COLLECTION.kdb OUTPUT_FOLDER\n");
    return 2;
  }
  std::filesystem::path kdb = std::filesystem::absolute(argv[1]);
  const QString out = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(out);
  shoot(kdb, out, QSize(480, 640), "narrow");
  shoot(kdb, out, QSize(640, 480), "wide");
  std::printf("pictures saved in %s\n", argv[2]);
  return 0;
}
