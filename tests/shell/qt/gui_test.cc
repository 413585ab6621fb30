// The desktop window on the offscreen platform: its widgets show exactly the command layer's
// screen, clicks and typing reach the layer, closing writes everything, and a second start of
// the program hands over to the first.
#include <QAbstractTextDocumentLayout>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLocalSocket>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <functional>

#include "fake_shell_port.h"
#include "fixed_clock.h"
#include "learning/random.h"
#include "platform/peer_libraries.h"
#include "platform/posix_file_system.h"
#include "shell/application.h"
#include "shell/qt/dialogs.h"
#include "shell/qt/main_window.h"
#include "shell/qt/pane_widgets.h"
#include "shell/qt/qt_shell_port.h"
#include "shell/qt/working_window.h"
#include "store/collection_opening.h"
#include "store/item_editing.h"
#include "store/user_texts.h"
#include "store/utf16_text.h"
#include "temp_dir.h"

namespace kelvora::qt {
namespace {

QString qs(const std::u16string& s) { return QString::fromStdU16String(s); }

// The program started on its own: offscreen, its settings in dir, and a display of this
// test's own, so that no other copy of the program answers.
QProcessEnvironment programEnvironment(const fakes::TempDir& dir) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.path().string()));
  env.insert("DISPLAY", QString(":kelvora-test-%1").arg(QCoreApplication::applicationPid()));
  env.remove("WAYLAND_DISPLAY");
  return env;
}

// A window over a collection of three new items on disk, with a port that answers Yes and
// picks the files it is given.
struct Session {
  fakes::TempDir dir;
  platform::PosixFileSystem files;
  fakes::FakeShellPort port;
  fakes::FixedClock clock{learning::CalendarDate{2004, 8, 14}};
  store::Collection collection{files, port, [this] { return learning::today(clock); }};
  learning::LinearRandom random;
  MainWindow window;
  std::unique_ptr<shell::Application> app;

  // openDeck false: the program as it first starts, with no collection open and none recent.
  explicit Session(QSize size, bool openDeck = true)
      : window(size, [this] { return dir / "deck"; }) {
    store::createCollection(collection, dir / "deck");
    for (char16_t p = u'0'; p < u'3'; ++p) {
      QVERIFY(store::addItem(collection) == store::AddOutcome::Added);
      collection.loaded.question = u"question " + std::u16string(1, p);
      collection.loaded.answer = u"answer " + std::u16string(1, p);
      collection.loaded.itemModified = true;
    }
    QVERIFY(collection.closeCollection());
    shell::ApplicationConfig config = window.applicationConfig();
    config.newInSaveDialog = true;  // as the desktop program has it
    config.peerLibraries = platform::systemPeerLibraries();
    // A long local date, as some languages write it: "28 Sept. 2004".
    config.dateFormat = [](const learning::CalendarDate& d) {
      return store::decimalText(d.day) + u" Sept. " + store::decimalText(d.year);
    };
    app = std::make_unique<shell::Application>(collection, port, random, clock, nullptr, config);
    window.setApplication(app.get());
    // As the desktop port does: the work area takes the focus, and an edit control that had it
    // hands its text over.
    port.onFocus = [this] { window.focusWorkArea(); };
    app->start();
    window.render();
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    if (!openDeck) return;
    port.files = {dir / "deck.kdb"};
    window.menuAction(shell::cmd::Open)->trigger();
  }

  // The window closes (running the exit sequence) while the layer it calls still exists.
  ~Session() {
    window.close();
    window.setApplication(nullptr);
  }

  void click(const QString& caption) {
    for (QPushButton* b : window.softButtons()) {
      if (b->text() == caption) {
        QTest::mouseClick(b, Qt::LeftButton);
        return;
      }
    }
    QFAIL(qPrintable("no soft button " + caption));
  }

  // A key as the user presses it: it goes to whichever control has the keyboard focus.
  void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr ? focus : &window, static_cast<Qt::Key>(key), modifiers);
  }

  std::u16string storedAnswer(std::uint16_t position) {
    collection.currentPosition = position;
    if (!collection.readItem(position)) return u"(unreadable)";
    return collection.loaded.answer;
  }

  // Every widget shows what the screen holds.
  void checkWidgetsMirrorTheScreen() {
    const shell::Screen& s = app->screen();
    QCOMPARE(window.softButtons().size(), s.buttons.buttons.size());
    for (std::size_t i = 0; i < s.buttons.buttons.size(); ++i) {
      QPushButton* b = window.softButtons()[i];
      QCOMPARE(b->text(), qs(s.buttons.buttons[i].caption));
      QCOMPARE(b->isDefault(), static_cast<int>(i) == s.buttons.defaultIndex);
      QCOMPARE(b->isEnabled(), s.buttons.buttons[i].enabled);
      QCOMPARE(b->geometry(), QRect(s.buttonRects[i].x, s.buttonRects[i].y, s.buttonRects[i].width,
                                    s.buttonRects[i].height));
    }
    if (!s.html) {
      QCOMPARE(window.edit(true)->toPlainText().replace("\n", "\r\n"), qs(s.panes.question));
      QCOMPARE(window.edit(false)->toPlainText().replace("\n", "\r\n"), qs(s.panes.answer));
    }
    const auto& pane = s.layout.questionPane;
    QCOMPARE(window.edit(true)->geometry(), QRect(pane.x, pane.y, pane.width, pane.height));
    for (shell::CommandId id :
         {shell::cmd::Close, shell::cmd::Learn, shell::cmd::AddNew, shell::cmd::Forget,
          shell::cmd::Remember, shell::cmd::Dismiss, shell::cmd::Delete, shell::cmd::Find,
          shell::cmd::SwapAll, shell::cmd::Unicode, shell::cmd::Html}) {
      QCOMPARE(window.menuAction(id)->isEnabled(), s.menus.enabled(id));
      QCOMPARE(window.menuAction(id)->isChecked(), s.menus.checked(id));
    }
  }
};

QAccessibleInterface* accessible(QObject* object) {
  return QAccessible::queryAccessibleInterface(object);
}

class GuiTest : public QObject {
  Q_OBJECT

 private slots:
  void bothArrangements() {
    Session wide(QSize(640, 480));
    QVERIFY(!wide.window.narrowScreen());
    QVERIFY(wide.window.toolbar() && wide.window.toolbar()->isVisible());
    wide.checkWidgetsMirrorTheScreen();
    Session narrow(QSize(480, 640));
    QVERIFY(narrow.window.narrowScreen());
    QVERIFY(!narrow.window.toolbar() || !narrow.window.toolbar()->isVisible());
    narrow.checkWidgetsMirrorTheScreen();
  }

  void learningThroughWidgets() {
    Session s(QSize(640, 480));
    s.click("Learn");
    QCOMPARE(s.app->mode(), shell::AppMode::LearnQuestion);
    s.checkWidgetsMirrorTheScreen();
    s.click("Show answer");
    s.checkWidgetsMirrorTheScreen();
    s.click("Good");
    QCOMPARE(s.app->mode(), shell::AppMode::LearnQuestion);
    QCOMPARE(s.collection.counters.memorizedCount, 1);
    QTest::keyClick(&s.window, Qt::Key_Return);
    QTest::keyClick(&s.window, Qt::Key_0);
    QCOMPARE(s.collection.counters.drillCount, 1);
    s.checkWidgetsMirrorTheScreen();
  }

  // A grade given too early is taken back from the keyboard: Ctrl+Z, also after the collection
  // was closed and opened again, and the item is asked again.
  // Ctrl+W opens the calendar on today's list, the backlog in it; a click on a day lists that
  // day's items; the arrow keys and Enter do the same from the keyboard, and Enter on a row
  // shows that item in Edit. Escape leaves everything as it was.
  void calendarDaysListTheirItemsAndGoToTheOneChosen() {
    Session s(QSize(800, 560));
    QtShellPort real(s.window, s.dir.path());
    s.port.calendar = [&real](learning::RepetitionsCalendar& c, store::Collection& collection) {
      return real.runCalendar(c, collection);
    };
    const store::DayNumber today = s.collection.today();
    auto& table = s.collection.table;
    table[1].status = store::code(store::ItemStatus::Memorized);
    table[1].interval = 3;
    table[1].lastRepetition = today - 1;  // the 16th
    table[2].status = store::code(store::ItemStatus::Outstanding);
    table[2].interval = 2;
    table[2].lastRepetition = today - 10;  // overdue since the 6th
    QVERIFY(s.collection.indexChanged());
    s.collection.recount();
    s.click("Learn");
    const shell::AppMode learning = s.app->mode();
    const std::uint16_t shown = s.collection.currentPosition;

    auto rowsOf = [](QTreeWidget* list) {
      QStringList rows;
      for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows << QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}.join('|');
      }
      return rows;
    };
    // Whatever a step inside the dialog finds, the dialog is closed at the end of it, so that
    // a failure reports instead of waiting on a modal window.
    QStringList opened;
    QStringList clicked;
    bool areaFocused = false;
    QTimer::singleShot(0, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (dialog == nullptr) return;
      QApplication::setActiveWindow(dialog);
      auto* list = dialog->findChild<QTreeWidget*>("dayList");
      QWidget* area = nullptr;
      for (QWidget* w : dialog->findChildren<QWidget*>()) {
        if (w->accessibleName() == "Repetitions calendar") area = w;
      }
      if (list != nullptr && area != nullptr) {
        opened = rowsOf(list);
        areaFocused = QApplication::focusWidget() == area;
        // The 16th: August 2004 begins on a Sunday, so the 16th opens the fourth row.
        const learning::CalendarView view =
            learning::calendarView(s.collection, learning::firstOfMonth(today), today);
        const learning::CalendarText& day16 = view.cells[6 + 15].dayText;
        const double scale = area->width() / 236.0;
        QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier,
                          QPoint(static_cast<int>((day16.x + 8) * scale),
                                 static_cast<int>((day16.y + 5) * scale)));
        clicked = rowsOf(list);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
      }
      if (dialog->isVisible()) dialog->close();
    });
    s.press(Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(s.port.dialogs.back(), std::u16string(u"Calendar"));
    QVERIFY(areaFocused);
    QCOMPARE(opened, QStringList{"question 2|answer 2|Memorized, overdue|2 days"});
    QCOMPARE(clicked, QStringList{"question 1|answer 1|Memorized|3 days"});
    QCOMPARE(s.app->mode(), learning);
    QCOMPARE(s.collection.currentPosition, shown);

    // From the keyboard: two days on, Enter lists them and goes to the list, Enter takes one.
    QApplication::setActiveWindow(&s.window);
    bool listFocused = false;
    QTimer::singleShot(0, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (dialog == nullptr) return;
      QApplication::setActiveWindow(dialog);
      s.press(Qt::Key_Right);
      s.press(Qt::Key_Right);
      s.press(Qt::Key_Return);
      listFocused = QApplication::focusWidget() == dialog->findChild<QTreeWidget*>("dayList");
      s.press(Qt::Key_Return);
      if (dialog->isVisible()) dialog->close();
    });
    s.press(Qt::Key_W, Qt::ControlModifier);
    QVERIFY(listFocused);
    QCOMPARE(s.app->mode(), shell::AppMode::Edit);
    QCOMPARE(s.collection.currentPosition, 1);
    QCOMPARE(qs(s.collection.loaded.question), QString("question 1"));
    s.checkWidgetsMirrorTheScreen();
  }

  void ctrlZTakesBackTheLastGradeAfterReopening() {
    Session s(QSize(640, 480));
    QAction* undo = s.window.menuAction(shell::cmd::UndoGrade);
    QCOMPARE(undo->shortcut(), QKeySequence("Ctrl+Z"));
    QVERIFY(!undo->isEnabled());
    s.click("Learn");
    const std::uint16_t graded = s.collection.currentPosition;
    s.press(Qt::Key_Return);
    s.press(Qt::Key_5);
    QCOMPARE(s.collection.counters.memorizedCount, 1);
    QVERIFY(undo->isEnabled());
    s.window.menuAction(shell::cmd::Close)->trigger();
    s.port.files = {s.dir / "deck.kdb"};
    s.window.menuAction(shell::cmd::Open)->trigger();
    QVERIFY(undo->isEnabled());
    s.press(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(s.app->mode(), shell::AppMode::LearnQuestion);
    QCOMPARE(s.collection.currentPosition, graded);
    QCOMPARE(s.collection.counters.memorizedCount, 0);
    QVERIFY(!undo->isEnabled());
    s.checkWidgetsMirrorTheScreen();
  }

  void editingThroughWidgetsAndClosingWritesIt() {
    Session s(QSize(640, 480));
    s.click("Edit");
    QCOMPARE(s.app->mode(), shell::AppMode::Edit);
    QPlainTextEdit* question = s.window.edit(true);
    question->setFocus();
    question->selectAll();
    QTest::keyClicks(question, "typed line");
    QTest::keyClick(question, Qt::Key_Return);
    QTest::keyClicks(question, "second");
    s.click("Next");  // leaving the control hands its text over
    s.checkWidgetsMirrorTheScreen();
    s.window.close();
    QVERIFY(store::openCollection(s.collection, s.dir / "deck"));
    s.collection.currentPosition = 0;
    QVERIFY(s.collection.readItem(0));
    QCOMPARE(qs(s.collection.loaded.question), QString("typed line\r\nsecond"));
  }

  // File > Import/Export > Update from XML: text typed a moment before is kept, the file's
  // items are added, and a later version of the file mends the item on screen in Edit.
  void updateFromXmlMendsTheItemShownAndKeepsTypedText() {
    Session s(QSize(640, 480));
    QAction* update = s.window.menuAction(shell::cmd::UpdateXml);
    QCOMPARE(update->text(), QString("&Update from XML..."));
    s.click("Learn");
    QVERIFY(!update->isEnabled());
    s.press(Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(s.app->mode(), shell::AppMode::Edit);
    QVERIFY(update->isEnabled());
    QPlainTextEdit* answer = s.window.edit(false);
    answer->setFocus();
    answer->selectAll();
    QTest::keyClicks(answer, "typed");
    const auto write =
        [&](const char* name, const std::string& question) {
          std::ofstream(s.dir / name)
              << "<KelvoraCollection><KelvoraElement><ID>5</ID><Content><Question>" << question
              << "</Question><Answer>five</Answer></Content></KelvoraElement></KelvoraCollection>";
        };
    write("v1.xml", "fiv");
    s.port.files = {s.dir / "v1.xml"};
    update->trigger();
    QCOMPARE(s.port.dialogs.back(), std::u16string(u"Update from XML..."));
    QCOMPARE(s.port.texts().back(),
             u"The collection has been updated from:\r\n" + (s.dir / "v1.xml").u16string() +
                 u"\r\n\r\nItems updated: 0\r\nItems added: 1\r\nItems left alone: 3");
    QCOMPARE(s.collection.header.itemCount, std::uint16_t{4});
    s.click("End");
    QCOMPARE(s.window.edit(true)->toPlainText(), QString("fiv"));
    write("v2.xml", "five");
    s.port.files = {s.dir / "v2.xml"};
    update->trigger();
    QCOMPARE(s.window.edit(true)->toPlainText(), QString("five"));
    QCOMPARE(s.app->mode(), shell::AppMode::Edit);
    s.checkWidgetsMirrorTheScreen();
    QCOMPARE(s.storedAnswer(0), std::u16string(u"typed"));
  }

  void importFromAnotherLearnerMakesTheCollectionTheNextOpenOffers() {
    Session s(QSize(640, 480));
    QAction* import = s.window.menuAction(shell::cmd::ImportPeer);
    QCOMPARE(import->text(), QString("Import from &another learner..."));
    QVERIFY(import->isEnabled());
    std::ofstream(s.dir / "words.csv") << "#html:false\nhouse;Haus\n\"tree, big\";Baum\n";
    s.port.files = {s.dir / "words.csv", s.dir / "words.kdb"};
    import->trigger();
    QCOMPARE(s.port.dialogs.at(s.port.dialogs.size() - 2),
             std::u16string(u"Import from another learner..."));
    QCOMPARE(s.port.texts().back(), u"Your file has been imported into:\r\n" +
                                        (s.dir / "words.kdb").u16string() +
                                        u"\r\n\r\nItems added: 2");
    QCOMPARE(s.app->mode(), shell::AppMode::Idle);
    QVERIFY(!s.collection.isOpen);  // the collection open before was closed first
    // Open offers the new collection: taking it shows its first item in Edit.
    s.port.files = {s.dir / "words.kdb"};
    s.press(Qt::Key_O, Qt::ControlModifier);
    QVERIFY(s.collection.isOpen);
    QCOMPARE(s.collection.header.itemCount, std::uint16_t{2});
    s.press(Qt::Key_E, Qt::ControlModifier);
    s.click("End");
    QCOMPARE(s.window.edit(true)->toPlainText(), QString("tree, big"));
    // The mended table into the same collection: Yes merges, and the window shows it open.
    std::ofstream(s.dir / "words.csv") << "house;das Haus\n\"tree, big\";Baum\nsky;Himmel\n";
    s.port.files = {s.dir / "words.csv", s.dir / "words.kdb"};
    s.port.answers = {true};
    import->trigger();
    QCOMPARE(s.port.texts().back(), u"Your file has been merged into:\r\n" +
                                        (s.dir / "words.kdb").u16string() +
                                        u"\r\n\r\nItems added: 1\r\nItems updated: 1\r\n"
                                        u"Items unchanged: 1\r\nItems not in the file, kept as "
                                        u"they are: 0");
    QVERIFY(s.collection.isOpen);
    QCOMPARE(s.collection.header.itemCount, std::uint16_t{3});
    // Out again as an Anki package: the collection, then the package's name.
    QAction* exportAnki = s.window.menuAction(shell::cmd::ExportAnki);
    QCOMPARE(exportAnki->text(), QString("Export for A&nki..."));
    s.port.files = {s.dir / "words.kdb", s.dir / "words.apkg"};
    exportAnki->trigger();
    QCOMPARE(s.port.dialogs.back(), std::u16string(u"Export for Anki..."));
    QCOMPARE(s.port.texts().back(), u"Database has been exported into:\r\n" +
                                        (s.dir / "words.apkg").u16string() + u"\r\n\r\nNotes: 3");
    QVERIFY(std::filesystem::exists(s.dir / "words.apkg"));
    // No and then No again (Enter's answer to the second): the collection stays as it is.
    s.port.files = {s.dir / "words.csv", s.dir / "words.kdb"};
    s.port.answers = {false, false};
    import->trigger();
    QVERIFY(s.port.asked.back().rfind(u"Replace the collection ", 0) == 0);
    QCOMPARE(s.port.defaults.back(), store::DefaultAnswer::No);
    QVERIFY(store::openCollection(s.collection, s.dir / "words"));
    QCOMPARE(s.collection.header.itemCount, std::uint16_t{3});
    // A file that is no package, database or table: the reason, and nothing made.
    std::ofstream(s.dir / "broken.apkg") << "PK\x03\x04 cut short";
    s.port.files = {s.dir / "broken.apkg", s.dir / "broken.kdb"};
    import->trigger();
    QVERIFY(s.port.texts().back().rfind(u"The file cannot be imported: the file is not a "
                                        u"readable package",
                                        0) == 0);
    QVERIFY(!std::filesystem::exists(s.dir / "broken.kdb"));
  }

  void htmlPanesReadImagesFromTheCollectionsFolderAndMediaFolderOnly() {
    fakes::TempDir dir;
    std::filesystem::create_directories(dir / "deck_media");
    std::filesystem::create_directories(dir / "sub");
    std::ofstream(dir / "beside.png") << "beside";
    std::ofstream(dir / "deck_media" / "imported.png") << "imported";
    std::ofstream(dir / "sub" / "deeper.png") << "deeper";
    fakes::TempDir elsewhere;
    std::ofstream(elsewhere / "secret.png") << "secret";
    std::filesystem::path base = dir / "deck";
    PaneBrowser browser(nullptr, [&] { return base; });
    const auto load = [&](const QString& name) {
      return browser.loadResource(QTextDocument::ImageResource, QUrl(name)).toByteArray();
    };
    QCOMPARE(load("beside.png"), QByteArray("beside"));
    QCOMPARE(load("imported.png"), QByteArray("imported"));  // Anki's <img src="imported.png">
    QCOMPARE(load("sub/deeper.png"), QByteArray("deeper"));
    QCOMPARE(load("deck_media/imported.png"), QByteArray("imported"));
    for (const QString& refused :
         {QString("../") + elsewhere.path().filename().c_str() + "/secret.png",
          QString::fromStdString((elsewhere / "secret.png").string()),
          QString("file://") + QString::fromStdString((elsewhere / "secret.png").string()),
          QString("http://example.com/x.png"), QString("missing.png")}) {
      QVERIFY2(load(refused).isEmpty(), qPrintable(refused));
    }
    base.clear();  // no collection open: nothing is read
    QVERIFY(load("beside.png").isEmpty());
  }

  void gradeKeysNeverTypeIntoTheCardWhileLearning() {
    Session s(QSize(640, 480));
    s.click("Learn");
    s.press(Qt::Key_Return);
    QCOMPARE(s.app->mode(), shell::AppMode::LearnAnswer);
    const std::uint16_t shown = s.collection.currentPosition;
    const std::u16string answer = s.collection.loaded.answer;
    // A click into the answer box to read it neither focuses nor opens it.
    QTest::mouseClick(s.window.edit(false)->viewport(), Qt::LeftButton);
    QVERIFY(!s.window.edit(false)->hasFocus());
    QVERIFY(s.window.edit(false)->isReadOnly());
    s.press(Qt::Key_4);
    QCOMPARE(s.app->mode(), shell::AppMode::LearnQuestion);
    QCOMPARE(s.collection.counters.memorizedCount, 1);
    // A soft button that took the focus with its click does not swallow the keys either.
    s.click("Show answer");
    s.press(Qt::Key_Return);
    s.press(Qt::Key_Space);
    QCOMPARE(s.collection.counters.memorizedCount, 2);
    s.window.close();
    QVERIFY(store::openCollection(s.collection, s.dir / "deck"));
    QCOMPARE(qs(s.storedAnswer(shown)), qs(answer));
  }

  void theTitleNamesTheOpenCollection() {
    Session s(QSize(640, 480));
    QVERIFY2(s.window.windowTitle().startsWith("deck "), qPrintable(s.window.windowTitle()));
    s.window.menuAction(shell::cmd::Close)->trigger();
    QCOMPARE(s.window.windowTitle(), QString("Kelvora"));
  }

  void spaceShowsTheAnswer() {
    Session s(QSize(640, 480));
    s.click("Learn");
    s.press(Qt::Key_Space);
    QCOMPARE(s.app->mode(), shell::AppMode::LearnAnswer);
  }

  void aCorrectionDuringLearningIsADeliberateActAndIsStored() {
    Session s(QSize(640, 480));
    s.click("Learn");
    s.press(Qt::Key_F2);
    PaneEdit* question = s.window.edit(true);
    QVERIFY(question->hasFocus());
    QVERIFY(!question->isReadOnly());
    QVERIFY(question->property("correcting").toBool());
    question->selectAll();
    QTest::keyClicks(question, "corrected4");
    s.press(Qt::Key_Escape);  // leaves the box, which stores the text
    QVERIFY(question->isReadOnly());
    QVERIFY(!question->property("correcting").toBool());
    QCOMPARE(qs(s.collection.loaded.question), QString("corrected4"));
    s.press(Qt::Key_Return);
    QCOMPARE(s.app->mode(), shell::AppMode::LearnAnswer);
    // The answer opens by a double click once it is shown; the question box stays closed.
    PaneEdit* answer = s.window.edit(false);
    QTest::mouseDClick(answer->viewport(), Qt::LeftButton);
    QVERIFY(answer->hasFocus() && !answer->isReadOnly());
    QVERIFY(question->isReadOnly());
    answer->selectAll();
    QTest::keyClicks(answer, "fixed");
    s.click("Good");  // the click takes the focus first: the text is stored, then graded
    QCOMPARE(s.collection.counters.memorizedCount, 1);
    s.window.close();
    QVERIFY(store::openCollection(s.collection, s.dir / "deck"));
    bool found = false;
    for (std::uint16_t p = 0; p < s.collection.header.itemCount; ++p) {
      found = found || s.storedAnswer(p) == u"fixed";
    }
    QVERIFY(found);
  }

  void tabMovesTheFocusAndTypesNoTab() {
    Session s(QSize(640, 480));
    s.click("Edit");
    PaneEdit* question = s.window.edit(true);
    PaneEdit* answer = s.window.edit(false);
    question->setFocus();
    s.press(Qt::Key_Tab);
    QVERIFY(answer->hasFocus());
    s.press(Qt::Key_Tab);
    QVERIFY(qobject_cast<QPushButton*>(QApplication::focusWidget()) != nullptr);
    answer->setFocus();
    s.press(Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(question->hasFocus());
    QVERIFY(!question->toPlainText().contains('\t'));
    QVERIFY(!answer->toPlainText().contains('\t'));
  }

  void destructiveQuestionsTakeEnterAsNo() {
    Session s(QSize(640, 480));
    s.click("Edit");
    s.port.answers = {false};
    s.window.menuAction(shell::cmd::Delete)->trigger();
    QCOMPARE(s.port.defaults.back(), store::DefaultAnswer::No);
    // The real box: Enter gives the answer offered by default.
    QtShellPort port(s.window, s.dir.path());
    for (const auto offered : {store::DefaultAnswer::No, store::DefaultAnswer::Yes}) {
      QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
          QTest::keyClick(box, Qt::Key_Return);
        }
      });
      QCOMPARE(port.askYesNo(u"Reset database?", offered), offered == store::DefaultAnswer::Yes);
    }
  }

  void fontsWithOkAndNoChangeChangesNothing() {
    Session s(QSize(640, 480));
    s.click("Edit");
    // A face the list does not hold, and a weight the Bold box cannot show.
    s.collection.settings.questionFont = {u"No Such Face", 17, 400};
    s.collection.settings.settingsChanged = false;
    const store::Settings before = s.collection.settings;
    presentation::FontsDialog logic(before, {u"Alpha", u"Beta"});
    QTimer::singleShot(0, [] {
      if (QWidget* dialog = QApplication::activeModalWidget()) {
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);  // the face list has the focus
      }
    });
    QVERIFY(runFontsDialog(&s.window, logic));
    store::Settings after = before;
    logic.ok(after);
    QVERIFY(after.questionFont == before.questionFont);
    QVERIFY(after.answerFont == before.answerFont);
    // Through the command: nothing marked for writing.
    s.port.fontsOk = true;
    s.window.menuAction(shell::cmd::Fonts)->trigger();
    QVERIFY(!s.collection.settings.settingsChanged);
  }

  void aScreenReaderFindsEveryControlNamedAndHearsTheAnswer() {
    Session s(QSize(900, 600));
    QVERIFY(!s.window.narrowScreen());
    s.click("Edit");
    QCOMPARE(accessible(s.window.edit(true))->text(QAccessible::Name), QStringLiteral("Question"));
    QCOMPARE(accessible(s.window.edit(false))->text(QAccessible::Name), QStringLiteral("Answer"));
    QCOMPARE(accessible(s.window.browser(false))->text(QAccessible::Name),
             QStringLiteral("Answer"));
    // Every control a user works with or reads a value from has a name.
    const QSet<QAccessible::Role> named = {QAccessible::EditableText, QAccessible::PushButton,
                                           QAccessible::ProgressBar, QAccessible::StaticText};
    int bars = 0;
    for (QWidget* w : s.window.findChildren<QWidget*>()) {
      if (!w->isVisible()) continue;
      QAccessibleInterface* i = accessible(w);
      if (i == nullptr || !named.contains(i->role())) continue;
      QVERIFY2(!i->text(QAccessible::Name).trimmed().isEmpty(), qPrintable(w->objectName()));
      if (i->role() == QAccessible::ProgressBar) {
        ++bars;
        QVERIFY(!i->text(QAccessible::Description).isEmpty());
      }
    }
    QCOMPARE(bars, 3);
    // Each value is labelled by its caption.
    for (const char* name : {"statisticsValue0", "itemValue1"}) {
      auto* value = s.window.findChild<QLabel*>(QString::fromLatin1(name));
      QVERIFY(value != nullptr);
      const auto labels = accessible(value)->relations(QAccessible::Label);
      QCOMPARE(labels.size(), 1);
      const QString caption = labels.front().first->text(QAccessible::Name);
      QVERIFY2(caption.endsWith(':'), qPrintable(caption));
      QVERIFY(caption.startsWith(accessible(value)->text(QAccessible::Description)));
    }
    // While learning the work area holds the focus and its name carries the card, so a screen
    // reader speaks the question as it comes and the answer the moment it is shown (a change
    // of the focused control's name is announced).
    s.window.menuAction(shell::cmd::Learn)->trigger();
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus != nullptr);
    QCOMPARE(accessible(focus)->text(QAccessible::Name),
             QStringLiteral("Question: ") + qs(s.collection.loaded.question));
    QVERIFY(!accessible(s.window.edit(false))->text(QAccessible::Description).isEmpty());
    s.press(Qt::Key_Return);
    QCOMPARE(s.app->mode(), shell::AppMode::LearnAnswer);
    QCOMPARE(QApplication::focusWidget(), focus);
    QCOMPARE(accessible(focus)->text(QAccessible::Name),
             QStringLiteral("Answer: ") + qs(s.collection.loaded.answer));
    // HTML is spoken without its markup.
    s.collection.loaded.answer = u"<b>bold</b> &amp; plain";
    s.window.menuAction(shell::cmd::Html)->trigger();
    QCOMPARE(accessible(focus)->text(QAccessible::Name), QStringLiteral("Answer: bold & plain"));
  }

  void theEmptyPanesWelcomeWhileNoCollectionIsOpen() {
    Session s(QSize(900, 600));
    s.window.setExampleCollection(QStringLiteral("/usr/share/kelvora/examples/capitals.xml"));
    QVERIFY(s.window.edit(true)->placeholderText().isEmpty());
    s.window.menuAction(shell::cmd::Close)->trigger();
    for (bool question : {true, false}) {
      PaneEdit* edit = s.window.edit(question);
      QVERIFY(edit->isVisible());
      QVERIFY(edit->toPlainText().isEmpty());  // shown, not a text
      QVERIFY(edit->isReadOnly());
      QCOMPARE(accessible(edit)->text(QAccessible::Description), edit->placeholderText());
    }
    QVERIFY(s.window.edit(true)->placeholderText().contains("flash-card learner"));
    const QString steps = s.window.edit(false)->placeholderText();
    for (const char* part : {"File > Open...", "File > New...", "Import XML",
                             "/usr/share/kelvora/examples/capitals.xml", "F1"}) {
      QVERIFY2(steps.contains(QString::fromLatin1(part)), part);
    }
    // The recent button opens the collection just closed; the welcome goes with it.
    QCOMPARE(s.window.softButtons().size(), std::size_t{1});
    QVERIFY(s.window.softButtons()[0]->isEnabled());
    s.click("deck");
    QVERIFY(s.app->screen().collectionOpen);
    QVERIFY(s.window.edit(false)->placeholderText().isEmpty());
    // At the first start, with nothing recent, the lone "Recent" button is greyed: it has
    // nothing to do.
    Session first(QSize(900, 600), false);
    QVERIFY(!first.window.edit(false)->placeholderText().isEmpty());
    QCOMPARE(first.window.softButtons().size(), std::size_t{1});
    QCOMPARE(first.window.softButtons()[0]->text(), QStringLiteral("Recent"));
    QVERIFY(!first.window.softButtons()[0]->isEnabled());
  }

  void eachGradeButtonTellsWhatItsGradeWouldDo() {
    Session s(QSize(900, 600));
    s.click("Learn");
    s.press(Qt::Key_Return);
    QCOMPARE(s.app->mode(), shell::AppMode::LearnAnswer);
    QStringList tips;
    for (QPushButton* b : s.window.softButtons()) tips << b->toolTip();
    QCOMPARE(
        tips,
        QStringList({"Bright (5): next repetition in 6 days", "Good (4): next repetition in 5 days",
                     "Pass (3): next repetition in 4 days",
                     "Fail (2): again in the final drill, then next repetition in 3 days",
                     "Bad (1): again in the final drill, then next repetition in 2 days",
                     "Null (0): again in the final drill, then next repetition in 1 day"}));
    // A screen reader reads the same, and the grade does what the tip said.
    QPushButton* good = s.window.softButtons()[1];
    QCOMPARE(accessible(good)->text(QAccessible::Description), tips[1]);
    const std::uint16_t graded = s.collection.currentPosition;
    s.click("Good");
    QCOMPARE(s.collection.table[graded].interval, 5);
    QCOMPARE(s.collection.table[graded].lastRepetition, s.collection.today());
    // The question's buttons have none.
    for (QPushButton* b : s.window.softButtons()) QVERIFY(b->toolTip().isEmpty());
  }

  void theFileDialogsOfferTheCollectionJustImportedOrExported() {
    Session s(QSize(640, 480));
    std::filesystem::create_directory(s.dir / "imports");
    { std::ofstream(s.dir / "imports" / "words.txt", std::ios::binary) << "Q: one\nA: eins\n"; }
    s.port.files = {s.dir / "imports" / "words.txt"};
    s.window.menuAction(shell::cmd::ImportQa)->trigger();
    QVERIFY(std::filesystem::exists(s.dir / "imports" / "words.kdb"));
    s.window.menuAction(shell::cmd::Open)->trigger();  // cancelled: no file given
    QCOMPARE(s.port.selected.back(), s.dir / "imports" / "words.kdb");
    // Export offers the collection that was open.
    s.port.files = {s.dir / "deck.kdb"};
    s.window.menuAction(shell::cmd::Open)->trigger();
    s.window.menuAction(shell::cmd::ExportXml)->trigger();
    QCOMPARE(s.port.selected.back(), s.dir / "deck.kdb");

    // The real dialog starts in that folder with that file selected.
    QtShellPort real(s.window, s.dir.path());
    QString folder;
    QStringList chosen;
    QTimer::singleShot(0, [&] {
      if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
        folder = dialog->directory().absolutePath();
        chosen = dialog->selectedFiles();
        dialog->reject();
      }
    });
    const std::filesystem::path words = s.dir / "imports" / "words.kdb";
    QVERIFY(!real.pickOpenFile(
        {u"Open database...", {{u"Kelvora", u"*.kdb"}}, u"kdb", true, false, words}));
    QCOMPARE(folder, QString::fromStdString((s.dir / "imports").string()));
    QCOMPARE(chosen, QStringList{QString::fromStdString(words.string())});
  }

  void theHtmlViewDrawsInThePanesFont() {
    Session s(QSize(640, 480));
    s.click("Edit");
    // The width of the first line as the HTML view lays it out: the plain view's face, size and
    // weight give the same width.
    auto firstLineWidth = [](QTextDocument* document) {
      document->documentLayout()->documentSize();  // lays the text out
      const QTextLayout* layout = document->firstBlock().layout();
      return layout->lineCount() > 0 ? layout->lineAt(0).naturalTextWidth() : 0.0;
    };
    const QString family = QFontDatabase::families().value(0, QStringLiteral("Sans"));
    s.collection.settings.questionFont = {family.toStdU16String(), 40, 700};
    s.window.menuAction(shell::cmd::Html)->trigger();
    QVERIFY(s.app->screen().html);
    const qreal plain =
        QFontMetricsF(s.window.edit(true)->font()).horizontalAdvance(QStringLiteral("question 0"));
    PaneBrowser* browser = s.window.browser(true);
    QVERIFY(browser->isVisible());
    QCOMPARE(browser->toPlainText(), QStringLiteral("question 0"));
    const qreal html = firstLineWidth(browser->document());
    QVERIFY2(qAbs(html - plain) < 1.5, qPrintable(QStringLiteral("%1 / %2").arg(html).arg(plain)));
    // Far wider than the default size would draw it.
    QTextDocument small;
    small.setPlainText(QStringLiteral("question 0"));
    QVERIFY(html > 2 * firstLineWidth(&small));
    QVERIFY(browser->document()->firstBlock().layout()->lineAt(0).height() >= 40);
    // A change of font reaches the view that is showing.
    s.collection.settings.questionFont = {family.toStdU16String(), 12, 0};
    s.window.menuAction(shell::cmd::Edit)->trigger();
    QVERIFY(firstLineWidth(browser->document()) < html / 2);
  }

  void anImportThatWouldLoseCharactersAsksForUnicodeFirst() {
    Session s(QSize(640, 480));
    { std::ofstream(s.dir / "cjk.txt", std::ios::binary) << "Q: \xE8\xAA\x9E\nA: word\n"; }
    s.port.files = {s.dir / "cjk.txt"};
    s.window.menuAction(shell::cmd::ImportQa)->trigger();
    QVERIFY(!s.port.asked.empty());
    QCOMPARE(qs(s.port.asked.back()), qs(std::u16string(store::texts::kStoreAsUnicodeQuestion)));
    QCOMPARE(s.port.defaults.back(), store::DefaultAnswer::Yes);
    QVERIFY(s.window.menuAction(shell::cmd::Unicode)->isChecked());
    QVERIFY(store::openCollection(s.collection, s.dir / "cjk"));
    s.collection.currentPosition = 0;
    QVERIFY(s.collection.readItem(0));
    QCOMPARE(qs(s.collection.loaded.question), QString::fromUtf8("\xE8\xAA\x9E"));
  }

  void theScreenIsUpToDateBehindEveryQuestion() {
    Session s(QSize(640, 480));
    auto shownTexts = [&s] {
      QStringList texts;
      for (QLabel* label : s.window.findChildren<QLabel*>()) {
        if (label->objectName().startsWith("statisticsValue") ||
            label->objectName().startsWith("itemValue")) {
          texts << label->objectName() + "=" + label->text();
        }
      }
      texts.sort();
      return texts;
    };
    QStringList atQuestion;
    s.port.beforeModal = [&] {
      s.window.showCurrentState();
      atQuestion = shownTexts();
    };
    s.click("Learn");
    QStringList beforeLastGrade;
    for (int item = 0; item < 3; ++item) {
      s.press(Qt::Key_Return);
      beforeLastGrade = shownTexts();
      s.press(item == 0 ? Qt::Key_0 : Qt::Key_5);  // the first fails: a final drill is offered
    }
    QVERIFY(!s.port.asked.empty());
    QVERIFY(!atQuestion.isEmpty());
    QVERIFY2(atQuestion != beforeLastGrade, qPrintable(atQuestion.join(", ")));
  }

  // Every menu and item is reachable by the keyboard: F10 opens the bar, and within each menu
  // every entry has an underlined letter of its own.
  void theMenusAreReachableFromTheKeyboard() {
    Session s(QSize(640, 480));
    s.press(Qt::Key_F10);
    QVERIFY(s.window.menuBar()->activeAction() != nullptr);
    std::function<void(QMenu*)> check;
    auto mnemonics = [&](const QList<QAction*>& actions, const QString& where) {
      QSet<QChar> seen;
      for (QAction* a : actions) {
        if (a->isSeparator() || a->menu() == s.window.findChild<QMenu*>("recentMenu")) continue;
        const qsizetype at = a->text().indexOf(QRegularExpression("&[^&]"));
        QVERIFY2(at >= 0, qPrintable(where + ": " + a->text()));
        const QChar letter = a->text()[at + 1].toLower();
        QVERIFY2(!seen.contains(letter), qPrintable(where + ": " + a->text()));
        seen.insert(letter);
        if (a->menu()) check(a->menu());
      }
    };
    check = [&](QMenu* menu) { mnemonics(menu->actions(), menu->title()); };
    mnemonics(s.window.menuBar()->actions(), "menu bar");
    QCOMPARE(s.window.menuAction(shell::cmd::Exit)->shortcut(), QKeySequence("Ctrl+Q"));
    QCOMPARE(s.window.menuAction(shell::cmd::HelpTopics)->shortcut(), QKeySequence("F1"));
  }

  // Resizing the window switches the arrangement at once; New asks in a save dialog in either.
  void theArrangementFollowsTheWindowsShape() {
    Session s(QSize(800, 560));
    auto narrow = [&s] { return s.app->screen().layout.narrow; };
    QVERIFY(!narrow());
    QVERIFY(s.window.toolbar()->isVisible());
    QVERIFY(s.window.findChild<QProgressBar*>("statisticsBar0")->isVisible());
    s.window.resize(560, 800);
    QTest::qWait(0);
    QVERIFY(narrow());
    QVERIFY(s.window.narrowScreen());
    QVERIFY(!s.window.toolbar()->isVisible());
    QVERIFY(!s.window.findChild<QProgressBar*>("statisticsBar0")->isVisible());
    s.checkWidgetsMirrorTheScreen();
    s.window.menuAction(shell::cmd::New)->trigger();
    QCOMPARE(s.port.saveDialogs.size(), 1u);
    QVERIFY(s.port.dialogs.back() == u"Create database...");
    s.window.resize(800, 560);
    QTest::qWait(0);
    QVERIFY(!narrow());
    QVERIFY(s.window.toolbar()->isVisible());
    s.checkWidgetsMirrorTheScreen();
  }

  // At the smallest size the window allows, tall or wide, no two controls overlap, and every
  // label, an item's long date among them, shows its whole text.
  void atTheMinimumSizeNothingOverlapsOrIsCut() {
    Session s(QSize(800, 560));
    QVERIFY(s.collection.isOpen);
    s.collection.table[0].status = store::code(store::ItemStatus::Memorized);
    s.collection.table[0].interval = 125;
    s.collection.table[0].lastRepetition = 8993;
    s.window.menuAction(shell::cmd::Edit)->trigger();
    const QSize least = s.window.minimumSize();
    QVERIFY(least.width() > 200 && least.height() > 200);
    for (const QSize size : {QSize(least.width(), least.height() + 300),
                             QSize(least.width() + 300, least.height()), least}) {
      s.window.resize(size);
      QTest::qWait(0);
      QVERIFY(s.window.size() == size);
      QList<QWidget*> leaves;
      for (QWidget* w : s.window.findChild<QWidget*>("workArea")
                            ->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->isVisible() && qobject_cast<QGroupBox*>(w) == nullptr) leaves << w;
      }
      const QRect area = s.window.findChild<QWidget*>("workArea")->rect();
      for (QWidget* w : leaves) {
        const QString what =
            QString("%1 at %2x%3").arg(w->objectName()).arg(size.width()).arg(size.height());
        QVERIFY2(area.contains(w->geometry()), qPrintable(what));
        if (auto* label = qobject_cast<QLabel*>(w)) {
          QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                   qPrintable(what + ": " + label->text()));
        }
        for (QWidget* other : leaves) {
          if (other != w) {
            QVERIFY2(!w->geometry().intersects(other->geometry()),
                     qPrintable(what + " and " + other->objectName()));
          }
        }
      }
    }
  }

  // The calendar follows the theme (a dark one keeps its grid visible and no white boxes) and
  // grows with the font.
  void theCalendarFollowsThePaletteAndTheFont() {
    Session s(QSize(800, 560));
    const QPalette light = QApplication::palette();
    const QFont normalFont = QApplication::font();
    QPalette dark = light;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Window, QColor(45, 45, 45));
    dark.setColor(QPalette::Text, QColor(220, 220, 220));
    dark.setColor(QPalette::HighlightedText, QColor(250, 250, 250));  // today's day
    QApplication::setPalette(dark);
    QFont big = normalFont;
    big.setPixelSize(24);
    QApplication::setFont(big);
    QImage picture;
    QSize size;
    QTimer::singleShot(0, [&] {
      if (QWidget* dialog = QApplication::activeModalWidget()) {
        for (QWidget* w : dialog->findChildren<QWidget*>()) {
          if (w->accessibleName() == "Repetitions calendar") {
            picture = w->grab().toImage();
            size = w->size();
          }
        }
        dialog->close();
      }
    });
    learning::RepetitionsCalendar calendar(s.collection.today());
    runCalendarDialog(&s.window, calendar, s.collection);
    QApplication::setPalette(light);
    QApplication::setFont(normalFont);
    QVERIFY(!picture.isNull());
    QVERIFY2(size.width() >= 2 * 236, qPrintable(QString::number(size.width())));
    int white = 0;
    int ink = 0;
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) {
        const QRgb p = picture.pixel(x, y);
        if (p == qRgb(255, 255, 255)) ++white;
        if (p == qRgb(220, 220, 220)) ++ink;
      }
    }
    QCOMPARE(white, 0);
    QVERIFY(ink > 500);
  }

  void aboutShowsTheVersion() {
    Session s(QSize(800, 560));
    QCoreApplication::setApplicationVersion("1.2.3");
    QString shown;
    QTimer::singleShot(0, [&shown] {
      if (QWidget* dialog = QApplication::activeModalWidget()) {
        if (auto* line = dialog->findChild<QLabel*>("version")) shown = line->text();
        dialog->close();
      }
    });
    runAboutDialog(&s.window);
    QCoreApplication::setApplicationVersion(QString());
    QCOMPARE(shown, QString("Version 1.2.3"));
  }

  // The "Working" window is painted on a clock, not for every item, and shows the bar.
  void theWorkingWindowPaintsAFewTimesASecond() {
    Session s(QSize(640, 480));
    WorkingWindow working(&s.window);
    QElapsedTimer t;
    t.start();
    int calls = 0;
    while (t.elapsed() < 300) {
      working.setLine(QStringLiteral("Parsing XML: %1").arg(++calls));
      working.setCompletion(t.elapsed(), 300);
    }
    QVERIFY(calls > 1000);
    QVERIFY2(working.paintCount() <= 1 + 300 / WorkingWindow::kPaintPeriodMs + 1,
             qPrintable(QString::number(working.paintCount())));
    QVERIFY(working.findChild<QProgressBar*>()->isVisible());
  }

  // Cancel, or Escape typed while the main window has the focus, stops a long command with the
  // collection as it was; keys meant for the main window go nowhere while it works.
  void cancelStopsALongCommandLeavingTheFilesAsTheyWere() {
    Session s(QSize(640, 480));
    QtShellPort real(s.window, s.dir.path());
    s.port.working = &real;
    s.window.menuAction(shell::cmd::Edit)->trigger();
    auto bytes = [&s] {
      std::ifstream in(s.dir / "deck.kdb", std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string before = bytes();
    QTimer::singleShot(0, &s.window, [&s] {
      auto* working = s.window.findChild<WorkingWindow*>();
      QVERIFY(working != nullptr);
      for (QPushButton* b : working->findChildren<QPushButton*>()) {
        if (b->text() == "Cancel") QTest::mouseClick(b, Qt::LeftButton);
      }
    });
    s.window.menuAction(shell::cmd::SwapAll)->trigger();
    QVERIFY(s.collection.progress.wasCancelled());
    QCOMPARE(s.storedAnswer(0), u"answer 0");
    QCOMPARE(s.window.edit(false)->toPlainText(), "answer 0");

    s.port.answers = {true};
    s.window.edit(false)->setFocus();
    QTimer::singleShot(0, &s.window, [&s] {
      s.press(Qt::Key_4);  // meant for the answer box: it does not get there
      s.press(Qt::Key_Escape);
    });
    s.window.menuAction(shell::cmd::Reset)->trigger();
    QVERIFY(s.collection.progress.wasCancelled());
    QVERIFY(s.window.findChild<WorkingWindow*>() == nullptr);
    QCOMPARE(s.window.edit(false)->toPlainText(), "answer 0");
    QVERIFY(s.port.shown.empty());
    QVERIFY(s.collection.closeCollection());
    QVERIFY(bytes() == before);
  }

  void secondStartHandsOverToTheFirst() {
    fakes::TempDir dir;
    const QProcessEnvironment env = programEnvironment(dir);
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(KELVORA_GUI_PATH, {});
    QVERIFY(first.waitForStarted());
    QProcess second;
    second.setProcessEnvironment(env);
    bool handedOver = false;
    for (int attempt = 0; attempt < 50 && !handedOver; ++attempt) {
      QTest::qWait(100);
      second.start(KELVORA_GUI_PATH, {});
      QVERIFY(second.waitForFinished(5000));
      handedOver = second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0 &&
                   first.state() == QProcess::Running;
    }
    QVERIFY(handedOver);
    first.terminate();  // SIGTERM runs the exit sequence
    QVERIFY(first.waitForFinished(5000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
  }

  // Told to end while the question about a file that is not there is still open at start-up:
  // the question goes away unanswered and the program ends normally (it once took the question
  // for the "Working" window and crashed).
  void terminationWhileAStartUpQuestionIsOpenEndsNormally() {
    fakes::TempDir dir;
    QProcess program;
    program.setProcessEnvironment(programEnvironment(dir));
    program.start(KELVORA_GUI_PATH, {QString::fromStdString((dir / "missing.kdb").string())});
    QVERIFY(program.waitForStarted());
    QTest::qWait(1500);  // long enough for the question to be up
    QCOMPARE(program.state(), QProcess::Running);
    program.terminate();
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(!std::filesystem::exists(dir / "missing.kdb"));
  }
};

}  // namespace
}  // namespace kelvora::qt

QTEST_MAIN(kelvora::qt::GuiTest)
#include "gui_test.moc"
