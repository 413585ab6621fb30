// The desktop program: one copy per user and display, the adapters built and handed to the
// command layer, the main window shown, and the event loop run until the window closes.
#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <cstdlib>
#include <optional>

#include "learning/random.h"
#include "platform/documents_folder.h"
#include "platform/peer_libraries.h"
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

std::filesystem::path documentsFolder() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return platform::documentsFolder(folder.isEmpty() ? std::filesystem::path()
                                                    : qt::qStringToPath(folder));
}

// A file the program ships: the installed copy (PREFIX/share/kelvora beside PREFIX/bin), else
// the build folder's copy beside the program; empty when neither exists.
QString shippedFile(const QString& name) {
  const QDir programDir(QCoreApplication::applicationDirPath());
  for (const QString& path :
       {programDir.filePath("../share/kelvora/" + name), programDir.filePath(name)}) {
    if (QFileInfo::exists(path)) return QFileInfo(path).absoluteFilePath();
  }
  return {};
}

// The help page; where it would be installed when no copy is found, so that --help names it.
QString helpPage() {
  QString found = shippedFile(QStringLiteral("help.html"));
  if (!found.isEmpty()) return found;
  return QFileInfo(
             QDir(QCoreApplication::applicationDirPath()).filePath("../share/kelvora/help.html"))
      .absoluteFilePath();
}

// The example collection the welcome names.
QString examplePath() { return shippedFile(QStringLiteral("examples/capitals.xml")); }

std::u16string localShortDate(const learning::CalendarDate& date) {
  return qt::toU16(
      QLocale::system().toString(QDate(date.year, date.month, date.day), QLocale::ShortFormat));
}

// The collection named on the command line, as an absolute path; empty when none is.
QString commandLineFile(const QApplication& application) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Kelvora, a flash-card learner.\nHelp page: %1\nExample collection: %2")
          .arg(helpPage(), examplePath()));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("A collection (.kdb) to open at start."));
  parser.process(application);
  if (parser.positionalArguments().isEmpty()) return {};
  return QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath();
}

// The size the window had when it last closed, else the first size.
QSize firstWindowSize(const std::optional<std::filesystem::path>& configDir) {
  if (configDir) {
    if (const auto last = platform::readWindowSize(*configDir)) {
      return QSize(last->width, last->height);
    }
  }
  // The first time: two thirds of what the screen offers, the arrangement following its shape.
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize available = screen != nullptr ? screen->availableGeometry().size() : QSize(960, 720);
  return available * 2 / 3;
}

// Kept for the next start: the window's normal size, also when it closes maximized.
void saveWindowSize(const QMainWindow& window,
                    const std::optional<std::filesystem::path>& configDir) {
  if (!configDir) return;
  const QSize last = window.isMaximized() || window.isFullScreen() ? window.normalGeometry().size()
                                                                   : window.size();
  // Not kept (a full disk, a read-only folder): the next start opens at the first size, which
  // is not worth a message at exit.
  (void)platform::writeWindowSize(*configDir, {last.width(), last.height()});
}

// A second start brings this window forward and opens the file it was given.
void bringForward(qt::MainWindow& window, const QString& file) {
  window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  window.show();
  window.raise();
  window.activateWindow();
  if (!file.isEmpty()) window.openPath(qt::qStringToPath(file));
}

shell::ApplicationConfig applicationConfig(const qt::MainWindow& window,
                                           const std::filesystem::path& documents) {
  shell::ApplicationConfig config = window.applicationConfig();
  config.documentsFolder = documents;
  config.newInSaveDialog = true;
  config.dateFormat = localShortDate;
  config.helpArgument = qt::toU16(helpPage());
  config.peerLibraries = platform::systemPeerLibraries();
  return config;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kelvora"));
  QApplication::setApplicationVersion(QStringLiteral(KELVORA_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("org.kelvora.Kelvora"));
  // The help window may outlive the main window; closing the main window ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  const QString file = commandLineFile(application);

  qt::SingleInstance instance(qt::instanceSocketName());
  if (instance.handOver(file)) return 0;
  instance.listen();  // without it this copy still runs, only alone

  const std::optional<std::filesystem::path> configDir = platform::configDirFromEnvironment();
  platform::PosixFileSystem files;
  platform::SystemClock clock;
  const store::Collection* opened = nullptr;
  qt::MainWindow window(firstWindowSize(configDir), [&opened]() -> std::filesystem::path {
    if (opened == nullptr || !opened->isOpen) return {};
    return opened->basePath;
  });
  const std::filesystem::path documents = documentsFolder();
  qt::QtShellPort port(window, documents);
  store::Collection collection(files, port, [&clock] { return learning::today(clock); });
  collection.setSyncClock(platform::monotonicMilliseconds);
  opened = &collection;
  learning::LinearRandom random;
  std::optional<platform::XdgRecentFileStore> recentStore;
  if (configDir) recentStore.emplace(*configDir);
  shell::Application app(collection, port, random, clock, recentStore ? &*recentStore : nullptr,
                         applicationConfig(window, documents));
  app.start();
  window.setExampleCollection(examplePath());
  window.setApplication(&app);

  QObject::connect(&window, &qt::MainWindow::closed, &application, [&] {
    saveWindowSize(window, configDir);
    QCoreApplication::quit();
  });
  QObject::connect(&instance, &qt::SingleInstance::requested, &window,
                   [&window](const QString& f) { bringForward(window, f); });
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
