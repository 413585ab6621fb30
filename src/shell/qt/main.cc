// The desktop program: one copy per user and display, the adapters built and handed to the
// command layer, the main window shown, and the event loop run until the window closes.
#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTimer>
#include <cstdlib>
#include <optional>

#include "learning/random.h"
#include "platform/documents_folder.h"
#include "platform/posix_file_system.h"
#include "platform/system_clock.h"
#include "platform/window_size_file.h"
#include "platform/xdg_recent_file_store.h"
#include "shell/application.h"
#include "shell/qt/main_window.h"
#include "shell/qt/qt_shell_port.h"
#include "shell/qt/single_instance.h"
#include "shell/qt/termination_signals.h"
#include "shell/qt/text_conversion.h"

namespace {

using namespace kelvora;

// The window's size the first time: a handheld's screen, upright.
constexpr QSize kFirstSize(480, 640);

std::filesystem::path documentsFolder() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return platform::documentsFolder(folder.isEmpty() ? std::filesystem::path()
                                                    : qt::qStringToPath(folder));
}

// The installed help page (PREFIX/share/kelvora beside PREFIX/bin), else the build folder's copy
// beside the program.
QString helpPage() {
  const QDir programDir(QCoreApplication::applicationDirPath());
  const QString installed = programDir.filePath("../share/kelvora/help.html");
  if (QFileInfo::exists(installed)) return QFileInfo(installed).absoluteFilePath();
  const QString built = programDir.filePath("help.html");
  return QFileInfo::exists(built) ? built : QFileInfo(installed).absoluteFilePath();
}

std::u16string localShortDate(const learning::CalendarDate& date) {
  return qt::toU16(
      QLocale::system().toString(QDate(date.year, date.month, date.day), QLocale::ShortFormat));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kelvora"));
  QApplication::setApplicationVersion(QStringLiteral(KELVORA_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("org.kelvora.Kelvora"));
  // The help window may outlive the main window; closing the main window ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Kelvora, a flash-card learner.\nHelp page: %1").arg(helpPage()));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("A collection (.kdb) to open at start."));
  parser.process(application);
  QString file;
  if (!parser.positionalArguments().isEmpty()) {
    file = QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath();
  }

  qt::SingleInstance instance(qt::instanceSocketName());
  if (instance.handOver(file)) return 0;
  instance.listen();  // without it this copy still runs, only alone

  const std::optional<std::filesystem::path> configDir = platform::configDirFromEnvironment();
  QSize size = kFirstSize;
  if (configDir) {
    if (const auto last = platform::readWindowSize(*configDir)) {
      size = QSize(last->width, last->height);
    }
  }

  platform::PosixFileSystem files;
  platform::SystemClock clock;
  const store::Collection* opened = nullptr;
  qt::MainWindow window(size, [&opened]() -> std::filesystem::path {
    if (opened == nullptr || !opened->isOpen) return {};
    return opened->basePath.parent_path();
  });
  const std::filesystem::path documents = documentsFolder();
  qt::QtShellPort port(window, documents);
  store::Collection collection(files, port, [&clock] { return learning::today(clock); });
  collection.setSyncClock(platform::monotonicMilliseconds);
  opened = &collection;
  learning::LinearRandom random;
  std::optional<platform::XdgRecentFileStore> recentStore;
  if (configDir) recentStore.emplace(*configDir);

  shell::ApplicationConfig config;
  config.measures = window.measures();
  config.narrowScreen = window.narrowScreen();
  config.documentsFolder = documents;
  config.dateFormat = localShortDate;
  config.helpArgument = qt::toU16(helpPage());
  shell::Application app(collection, port, random, clock, recentStore ? &*recentStore : nullptr,
                         config);
  app.start();
  window.setApplication(&app);

  QObject::connect(&window, &qt::MainWindow::closed, &application, [&] {
    if (configDir) {
      const QSize last = window.isMaximized() || window.isFullScreen()
                             ? window.normalGeometry().size()
                             : window.size();
      platform::writeWindowSize(*configDir, {last.width(), last.height()});
    }
    QCoreApplication::quit();
  });
  QObject::connect(&instance, &qt::SingleInstance::requested, &window, [&window](const QString& f) {
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
    if (!f.isEmpty()) window.openPath(qt::qStringToPath(f));
  });
  qt::TerminationSignals termination;
  termination.install();
  QObject::connect(&termination, &qt::TerminationSignals::received, &window,
                   [&window] { window.terminate(); });

  window.show();
  if (!file.isEmpty()) window.openPath(qt::qStringToPath(file));
  // For measuring start-up from outside (scripts/bench.sh): close as soon as the window is up.
  if (qEnvironmentVariableIsSet("KELVORA_CLOSE_WHEN_SHOWN")) {
    QTimer::singleShot(0, &window, &QWidget::close);
  }
  const int code = QApplication::exec();
  window.setApplication(nullptr);
  return code;
}
