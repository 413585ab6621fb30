// Saves pictures of the desktop window in every mode, in both arrangements, of the calendar,
// Fonts and About dialogs and of two menus, so that a person can look at them. Runs on any Qt
// platform; on the offscreen one it needs no display:
//   QT_QPA_PLATFORM=offscreen kelvora-screenshots COLLECTION.kdb OUTPUT_FOLDER
#include <QApplication>
#include <QColor>
#include <QDir>
#include <QMenu>
#include <QPalette>
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
  qt::MainWindow window(size, [&] { return std::filesystem::path(kdb).replace_extension(); });
  port.onFocus = [&window] { window.focusWorkArea(); };
  window.setExampleCollection(QStringLiteral("/usr/share/kelvora/examples/capitals.xml"));
  shell::Application app(collection, port, random, clock, nullptr, window.applicationConfig());
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
    // The menus that grew last: File > Import/Export and Item, as they drop down.
    for (QMenu* menu : window.findChildren<QMenu*>()) {
      QString title = menu->title().remove('&');
      if (title != QStringLiteral("Import/Export") && title != QStringLiteral("Item")) continue;
      menu->popup(window.mapToGlobal(QPoint(20, 40)));
      QApplication::processEvents();
      menu->grab().save(out + "/menu-" + title.toLower().replace('/', '-') + ".png");
      menu->hide();
    }
  }
  window.close();
  window.setApplication(nullptr);
}

}  // namespace

// A dark desktop theme, to see that nothing is drawn in fixed light colours.
void useDarkPalette() {
  QApplication::setStyle(QStringLiteral("Fusion"));
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(45, 45, 48));
  dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
  dark.setColor(QPalette::Base, QColor(30, 30, 32));
  dark.setColor(QPalette::AlternateBase, QColor(50, 50, 54));
  dark.setColor(QPalette::Text, QColor(230, 230, 230));
  dark.setColor(QPalette::Button, QColor(55, 55, 60));
  dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
  dark.setColor(QPalette::Highlight, QColor(60, 110, 190));
  dark.setColor(QPalette::HighlightedText, Qt::white);
  dark.setColor(QPalette::ToolTipBase, QColor(60, 60, 64));
  dark.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
  dark.setColor(QPalette::Mid, QColor(90, 90, 96));
  dark.setColor(QPalette::Dark, QColor(20, 20, 22));
  dark.setColor(QPalette::Light, QColor(80, 80, 86));
  dark.setColor(QPalette::PlaceholderText, QColor(160, 160, 160));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    dark.setColor(QPalette::Disabled, role, QColor(120, 120, 120));
  }
  QApplication::setPalette(dark);
}

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const bool darkTheme = argc == 4 && QString::fromLocal8Bit(argv[3]) == QStringLiteral("--dark");
  if (argc != 3 && !darkTheme) {
    std::fprintf(stderr,
                 "usage: kelvora-screenshots COLLECTION.kdb OUTPUT_FOLDER [--dark]\n"
                 "  QT_SCALE_FACTOR=2 gives the pictures of a high-density screen\n");
    return 2;
  }
  if (darkTheme) useDarkPalette();
  std::filesystem::path kdb = std::filesystem::absolute(argv[1]);
  const QString out = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(out);
  shoot(kdb, out, QSize(560, 760), "narrow");
  shoot(kdb, out, QSize(900, 600), "wide");
  std::printf("pictures saved in %s\n", argv[2]);
  return 0;
}
