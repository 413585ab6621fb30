// The command table, the keys and the timer, and the mode transitions they share.
#include "shell/application.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <utility>

#include "exchange/exchange_commands.h"
#include "exchange/xml_update.h"
#include "peers/peer_export.h"
#include "peers/peer_import.h"
#include "store/browsing.h"
#include "store/collection_opening.h"
#include "store/item_editing.h"
#include "store/reset_collection.h"
#include "store/user_texts.h"
#include "store/utf16_text.h"
#include "store/utf8.h"

namespace kelvora::shell {
namespace {

using store::MessageKind;

const std::vector<std::pair<std::u16string, std::u16string>> kDatabaseFilter = {
    {u"Kelvora database files (*.kdb)", u"*.kdb"}, {u"All files (*.*)", u"*.*"}};
const std::vector<std::pair<std::u16string, std::u16string>> kXmlFilter = {
    {u"XML files (*.xml)", u"*.xml"}, {u"All files (*.*)", u"*.*"}};
const std::vector<std::pair<std::u16string, std::u16string>> kAnkiFilter = {
    {u"Anki packages (*.apkg)", u"*.apkg"}, {u"All files (*.*)", u"*.*"}};
const std::vector<std::pair<std::u16string, std::u16string>> kPeerFilter = {
    {u"Other learners' files (*.apkg *.colpkg *.db *.csv *.tsv *.txt *.kvtml)",
     u"*.apkg *.colpkg *.db *.csv *.tsv *.txt *.kvtml"},
    {u"Anki packages (*.apkg *.colpkg)", u"*.apkg *.colpkg"},
    {u"Mnemosyne databases (*.db)", u"*.db"},
    {u"Text tables (*.csv *.tsv *.txt)", u"*.csv *.tsv *.txt"},
    {u"KVTML files (*.kvtml)", u"*.kvtml"},
    {u"All files (*.*)", u"*.*"}};
const std::vector<std::pair<std::u16string, std::u16string>> kQaFilter = {
    {u"Q&A files (*.txt)", u"*.txt"}, {u"All files (*.*)", u"*.*"}};

// The longest collection title shown, in code units.
constexpr std::size_t kMaxTitleLength = 127;
// The longest path a collection may have, in bytes.
constexpr std::size_t kMaxPathLength = 259;

// The grade a grade button stands for: 60 "Bright" is 5 down to 65 "Null", 0.
learning::Grade gradeOfButton(CommandId id) {
  return static_cast<learning::Grade>(cmd::GradeNull - id);
}

}  // namespace

Application::Application(store::Collection& collection, ShellPort& port, learning::Random& random,
                         const learning::Clock& clock, store::RecentFileStore* recentStore,
                         ApplicationConfig config)
    : m_c(collection),
      m_port(port),
      m_clock(clock),
      m_recentStore(recentStore),
      m_config(std::move(config)),
      m_session(collection, random, *this) {
  m_c.setEvents(this);
  m_c.progress.setWindow(&m_port);
}

Application::~Application() {
  m_c.setEvents(nullptr);
  m_c.progress.setWindow(nullptr);
}

void Application::start() {
  if (m_recentStore) {
    store::loadRecentFiles(m_recent, *m_recentStore, [this](const std::filesystem::path& p) {
      return m_c.collectionExists(p);
    });
  }
  enterIdle();
  refreshScreen();
}

void Application::exitSequence() {
  commitEdits();
  (void)m_c.closeCollection();  // a failure was reported; the journal keeps what it holds
  if (m_recentStore) store::saveRecentFiles(m_recent, *m_recentStore);
}

// ---- entry points ----

void Application::onCommand(CommandId id, std::uint16_t notification) {
  if (m_depth++ == 0) {
    m_replacedNoticeShown = false;
    m_screen.selection.reset();
  }
  dispatch(id, notification);
  if (--m_depth == 0) refreshScreen();
}

void Application::onKey(Key key) {
  if (m_depth++ == 0) m_screen.selection.reset();
  if (m_c.isOpen) {
    const auto& table = keyTable();
    if (const auto handler = table.find({m_mode, key}); handler != table.end()) {
      handler->second(*this);
    }
  }
  if (--m_depth == 0) refreshScreen();
}

void Application::onTimer() {
  ++m_depth;
  if (!isLearning(m_mode)) m_c.recount();
  if (--m_depth == 0) refreshScreen();
}

void Application::onSyncTimer() { m_c.syncIfDue(); }

void Application::setEditText(bool question, std::u16string text) {
  (question ? m_screen.panes.question : m_screen.panes.answer) = text;
  (question ? m_editQuestion : m_editAnswer) = std::move(text);
}

void Application::setMeasures(const ScreenMeasures& measures) {
  setMeasures(measures, m_config.narrowScreen);
}

void Application::setMeasures(const ScreenMeasures& measures, bool narrowScreen) {
  m_config.measures = measures;
  m_config.narrowScreen = narrowScreen;
  if (m_depth == 0) refreshScreen();
}

void Application::openPath(const std::filesystem::path& path) {
  if (m_depth++ == 0) {
    m_replacedNoticeShown = false;
    m_screen.selection.reset();
  }
  const std::u16string shownTitle = m_title;
  const std::filesystem::path base = deriveTitle(path);
  // A name typed wrong on the command line is not made into an empty collection unasked.
  if (!m_c.collectionExists(base) &&
      !m_c.messages().askYesNo(
          std::u16string(store::texts::kCreateMissing) + store::pathText(store::textsPath(base)),
          store::DefaultAnswer::No)) {
    m_title = shownTitle;  // the collection open before stays, under its own name
  } else {
    store::openCollection(m_c, base);
    firstItem();
    enterIdle();
  }
  if (--m_depth == 0) refreshScreen();
}

bool Application::buttonShown(CommandId id) const {
  const SoftButtonRow row = softButtonsFor(m_mode, m_c.isOpen, m_recent);
  return std::any_of(row.buttons.begin(), row.buttons.end(),
                     [id](const SoftButton& b) { return b.id == id; });
}

// ---- the command table ----

// A command's handler, and whether it is a soft button, which acts only while its set is on
// the screen (a click that arrives after the set changed does nothing).
struct Application::CommandEntry {
  void (*run)(Application&, CommandId id, std::uint16_t notification);
  bool softButton = false;
};

// Fills the command table one menu at a time. A nested type: the handlers reach the
// application's private operations.
struct Application::CommandTable {
  using App = Application;
  using Run = void (*)(App&, CommandId, std::uint16_t);
  std::map<CommandId, CommandEntry> t;

  void on(CommandId id, Run run) { t[id] = {run, false}; }
  void button(CommandId id, Run run) { t[id] = {run, true}; }

  void fileMenu() {
    on(cmd::New, [](App& a, CommandId, std::uint16_t) { a.newCommand(); });
    on(cmd::Open, [](App& a, CommandId, std::uint16_t) { a.openCommand(); });
    on(cmd::Close, [](App& a, CommandId, std::uint16_t) { a.closeCommand(); });
    for (CommandId k = 0; k < store::RecentFiles::kCount; ++k) {
      on(cmd::RecentMenu1 + k,
         [](App& a, CommandId id, std::uint16_t) { a.openRecent(id - cmd::RecentMenu1); });
      button(cmd::RecentButton1 + k,
             [](App& a, CommandId id, std::uint16_t) { a.openRecent(id - cmd::RecentButton1); });
    }
    for (CommandId id : {cmd::ImportXml, cmd::ImportQa}) {
      on(id, [](App& a, CommandId id, std::uint16_t) { a.importCommand(id == cmd::ImportXml); });
    }
    for (CommandId id : {cmd::ExportXml, cmd::ExportQa}) {
      on(id, [](App& a, CommandId id, std::uint16_t) { a.exportCommand(id == cmd::ExportXml); });
    }
    on(cmd::Reset, [](App& a, CommandId, std::uint16_t) {
      a.commitEdits();
      store::resetCollection(a.m_c);
    });
    on(cmd::Exit, [](App& a, CommandId, std::uint16_t) { a.m_port.requestClose(); });
  }

  void modeAndViewMenus() {
    using learning::StartKind;
    on(cmd::Learn, [](App& a, CommandId, std::uint16_t) {
      a.commitEdits();
      a.m_session.startLearning(StartKind::Start);
    });
    on(cmd::Edit, [](App& a, CommandId, std::uint16_t) {
      a.commitEdits();
      a.enterEdit();
    });
    on(cmd::Unicode, [](App& a, CommandId id, std::uint16_t) { a.chooseEncoding(id); });
    on(cmd::CompressedUnicode, [](App& a, CommandId id, std::uint16_t) { a.chooseEncoding(id); });
    on(cmd::Html, [](App& a, CommandId, std::uint16_t) { a.toggleHtml(); });
    // View: panel visibility and statistics follow from the ratio.
    for (CommandId id = cmd::StatisticsView; id <= cmd::QaSize25; ++id) {
      on(id, [](App& a, CommandId id, std::uint16_t) { a.chooseRatio(id); });
    }
  }

  void itemMenu() {
    on(cmd::AddNew, [](App& a, CommandId, std::uint16_t) {
      a.commitEdits();
      if (a.m_c.settings.html != 0) a.setHtml(false);
      if (!hasBit(a.m_mode, kEditBit)) a.enterEdit();
      a.addItem();
    });
    on(cmd::Delete, [](App& a, CommandId, std::uint16_t) {
      a.commitEdits();
      a.deleteItem();
    });
    on(cmd::SwapQa, [](App& a, CommandId, std::uint16_t) {
      a.commitEdits();
      a.swapCurrentItem();
    });
    on(cmd::Forget,
       [](App& a, CommandId, std::uint16_t) { a.statusCommand(learning::StatusCommand::Forget); });
    on(cmd::Remember, [](App& a, CommandId, std::uint16_t) {
      a.statusCommand(learning::StatusCommand::Remember);
    });
    on(cmd::Dismiss,
       [](App& a, CommandId, std::uint16_t) { a.statusCommand(learning::StatusCommand::Dismiss); });
    on(cmd::UndoGrade, [](App& a, CommandId, std::uint16_t) { a.undoGradeCommand(); });
    on(cmd::Find, [](App& a, CommandId, std::uint16_t) { a.findCommand(); });
    on(cmd::FindNext, [](App& a, CommandId, std::uint16_t) { a.findNextCommand(); });
    on(cmd::GoTo, [](App& a, CommandId, std::uint16_t) { a.goToCommand(); });
  }

  void miscAndHelpMenusAndControls() {
    on(cmd::Fonts, [](App& a, CommandId, std::uint16_t) { a.fontsCommand(); });
    on(cmd::Calendar, [](App& a, CommandId, std::uint16_t) { a.calendarCommand(); });
    on(cmd::SwapAll, [](App& a, CommandId, std::uint16_t) { a.swapAllItems(); });
    on(cmd::UpdateXml, [](App& a, CommandId, std::uint16_t) { a.updateCommand(); });
    on(cmd::ImportPeer, [](App& a, CommandId, std::uint16_t) { a.importPeerCommand(); });
    on(cmd::ExportAnki, [](App& a, CommandId, std::uint16_t) { a.exportAnkiCommand(); });
    on(cmd::About, [](App& a, CommandId, std::uint16_t) { a.m_port.runAbout(); });
    on(cmd::HelpTopics, [](App& a, CommandId, std::uint16_t) {
      a.m_port.launch(a.m_config.helpProgram, a.m_config.helpArgument);
    });
    // The edit controls' focus loss
    on(cmd::StoreQuestion,
       [](App& a, CommandId id, std::uint16_t n) { a.storeEditText(id == cmd::StoreQuestion, n); });
    on(cmd::StoreAnswer,
       [](App& a, CommandId id, std::uint16_t n) { a.storeEditText(id == cmd::StoreQuestion, n); });
  }

  void softButtons() {
    using learning::StartKind;
    button(cmd::LearnButton,
           [](App& a, CommandId, std::uint16_t) { a.m_session.startLearning(StartKind::Start); });
    button(cmd::NextRepetition,
           [](App& a, CommandId, std::uint16_t) { a.m_session.startLearning(StartKind::Start); });
    button(cmd::EditButton, [](App& a, CommandId, std::uint16_t) { a.enterEdit(); });
    for (CommandId id = cmd::GradeBright; id <= cmd::GradeNull; ++id) {
      button(id, [](App& a, CommandId id, std::uint16_t) {
        a.m_session.gradeCurrentItem(gradeOfButton(id));
      });
    }
    button(cmd::Home, [](App& a, CommandId, std::uint16_t) {
      a.firstItem();
      a.m_port.focusMainWindow();
    });
    button(cmd::Prev, [](App& a, CommandId, std::uint16_t) {
      a.moveBy(-1, 0);
      a.m_port.focusMainWindow();
    });
    button(cmd::Next, [](App& a, CommandId, std::uint16_t) {
      a.moveBy(1, 0);
      a.m_port.focusMainWindow();
    });
    button(cmd::End, [](App& a, CommandId, std::uint16_t) {
      a.moveTo(a.m_c.header.itemCount - 1);
      a.m_port.focusMainWindow();
    });
    button(cmd::Add, [](App& a, CommandId, std::uint16_t) {
      if (a.m_c.settings.html != 0) a.setHtml(false);
      a.addItem();
      a.m_port.focusMainWindow();
    });
    button(cmd::CancelEdit, [](App& a, CommandId, std::uint16_t) { a.enterIdle(); });
    button(cmd::ShowAnswer, [](App& a, CommandId, std::uint16_t) { a.showAnswer(); });
    button(cmd::CancelQuestion,
           [](App& a, CommandId, std::uint16_t) { a.m_session.cancelLearning(); });
    button(cmd::CancelLearning,
           [](App& a, CommandId, std::uint16_t) { a.m_session.cancelLearning(); });
    button(cmd::Last, [](App& a, CommandId, std::uint16_t) { a.m_session.reviewLastGraded(); });
  }
};

const std::map<CommandId, Application::CommandEntry>& Application::commandTable() {
  static const std::map<CommandId, CommandEntry> table = [] {
    CommandTable c;
    c.fileMenu();
    c.modeAndViewMenus();
    c.itemMenu();
    c.miscAndHelpMenusAndControls();
    c.softButtons();
    return std::move(c.t);
  }();
  return table;
}

void Application::dispatch(CommandId id, std::uint16_t notification) {
  const auto& table = commandTable();
  const auto entry = table.find(id);
  if (entry == table.end()) return;
  if (entry->second.softButton && !buttonShown(id)) return;
  entry->second.run(*this, id, notification);
}

// ---- the key table ----

const std::map<std::pair<AppMode, Key>, void (*)(Application&)>& Application::keyTable() {
  using App = Application;
  static const std::map<std::pair<AppMode, Key>, void (*)(App&)> table = [] {
    std::map<std::pair<AppMode, Key>, void (*)(App&)> t;
    const AppMode question = AppMode::LearnQuestion;
    const AppMode answer = AppMode::LearnAnswer;
    const AppMode review = AppMode::LearnReview;
    const AppMode edit = AppMode::Edit;
    using G = learning::Grade;
    t[{question, Key::Enter}] = [](App& a) { a.showAnswer(); };
    t[{question, Key::Space}] = [](App& a) { a.showAnswer(); };
    t[{question, Key::Right}] = [](App& a) { a.m_session.cancelLearning(); };
    t[{question, Key::Down}] = [](App& a) { a.m_session.reviewLastGraded(); };
    // Arrows grade as the buttons lie around Enter's Pass: up Bright, left Good, right Fail,
    // down Bad; a digit is its grade.
    t[{answer, Key::Enter}] = [](App& a) { a.m_session.gradeCurrentItem(G::Pass); };
    t[{answer, Key::Up}] = [](App& a) { a.m_session.gradeCurrentItem(G::Bright); };
    t[{answer, Key::Left}] = [](App& a) { a.m_session.gradeCurrentItem(G::Good); };
    t[{answer, Key::Right}] = [](App& a) { a.m_session.gradeCurrentItem(G::Fail); };
    t[{answer, Key::Down}] = [](App& a) { a.m_session.gradeCurrentItem(G::Bad); };
    t[{answer, Key::Digit0}] = [](App& a) { a.m_session.gradeCurrentItem(G::Null); };
    t[{answer, Key::Digit1}] = [](App& a) { a.m_session.gradeCurrentItem(G::Bad); };
    t[{answer, Key::Digit2}] = [](App& a) { a.m_session.gradeCurrentItem(G::Fail); };
    t[{answer, Key::Digit3}] = [](App& a) { a.m_session.gradeCurrentItem(G::Pass); };
    t[{answer, Key::Digit4}] = [](App& a) { a.m_session.gradeCurrentItem(G::Good); };
    t[{answer, Key::Digit5}] = [](App& a) { a.m_session.gradeCurrentItem(G::Bright); };
    t[{review, Key::Enter}] = [](App& a) { a.m_session.startLearning(learning::StartKind::Start); };
    t[{review, Key::Right}] = [](App& a) { a.m_session.cancelLearning(); };
    t[{edit, Key::Home}] = [](App& a) { a.firstItem(); };
    t[{edit, Key::End}] = [](App& a) { a.moveTo(a.m_c.header.itemCount - 1); };
    t[{edit, Key::Left}] = [](App& a) { a.moveBy(-1, 0); };
    t[{edit, Key::Right}] = [](App& a) { a.moveBy(1, 0); };
    t[{edit, Key::Up}] = [](App& a) { a.moveBy(10, 0); };
    t[{edit, Key::Down}] = [](App& a) { a.moveBy(-10, 10); };
    t[{edit, Key::PageUp}] = [](App& a) { a.moveBy(100, 0); };
    t[{edit, Key::PageDown}] = [](App& a) { a.moveBy(-100, 100); };
    return t;
  }();
  return table;
}

// ---- commands with a rule of their own ----

void Application::chooseEncoding(CommandId id) {
  // Records carry no mark of their form: switching while a collection is open would make
  // its texts unreadable, so the choice is for collections made afterwards only.
  if (m_c.isOpen) return;
  m_c.settings.utf8 = id == cmd::Unicode ? 1 : 0;
  m_c.settings.settingsChanged = true;
}

void Application::toggleHtml() {
  commitEdits();
  setHtml(m_c.settings.html == 0);
  m_c.settings.settingsChanged = true;
  (void)m_c.storeSettings();  // a failure was reported; the close tries again
}

void Application::chooseRatio(CommandId id) {
  m_c.settings.ratio = static_cast<std::uint8_t>(id - cmd::StatisticsView);
  m_c.settings.settingsChanged = true;
  (void)m_c.storeSettings();  // a failure was reported; the close tries again
}

void Application::fontsCommand() {
  // Only where its menu item is on: Edit and learning.
  if (!m_c.isOpen || m_mode == AppMode::Idle) return;
  presentation::FontsDialog dialog(m_c.settings, m_port.fontFamilies());
  const store::FontSetting question = m_c.settings.questionFont;
  const store::FontSetting answer = m_c.settings.answerFont;
  if (m_port.runFontsDialog(dialog) && dialog.ok(m_c.settings) != 0 &&
      (m_c.settings.questionFont != question || m_c.settings.answerFont != answer)) {
    // The fonts and style sheets follow from the settings; HTML panes show the new style.
    if (m_c.settings.html != 0) show(false);
    m_c.settings.settingsChanged = true;
    (void)m_c.storeSettings();  // a failure was reported; the close tries again
  }
}

void Application::storeEditText(bool question, std::uint16_t notification) {
  if (notification != kFocusLost || !m_c.isOpen || m_c.settings.html != 0) return;
  const bool allowed =
      m_mode == AppMode::Edit || (question ? isLearning(m_mode) : m_mode == AppMode::LearnAnswer);
  if (allowed) takeOverText(question);
}

// ---- screen ----

void Application::show(bool force) {
  const auto bits = static_cast<std::uint8_t>(m_mode);
  m_screen.panes = presentation::showItem(bits, force, m_c.loaded, m_screen.panes);
  m_editQuestion = m_screen.panes.question;
  m_editAnswer = m_screen.panes.answer;
}

void Application::refreshScreen() {
  m_screen.mode = m_mode;
  m_screen.html = m_c.settings.html != 0;
  m_screen.editEnabled = m_mode != AppMode::Idle;
  m_screen.title = m_c.isOpen ? m_title : std::u16string();
  learning::StatisticsInput stats{m_c,
                                  m_screen.title,
                                  m_mode == AppMode::Idle,
                                  m_config.narrowScreen,
                                  m_c.settings.ratio,
                                  m_config.dateFormat};
  m_screen.statistics = learning::refreshStatistics(stats, m_screen.statistics);
  m_screen.buttons = softButtonsFor(m_mode, m_c.isOpen, m_recent);
  m_screen.buttonTips =
      buttonTips(m_screen.buttons, m_c.isOpen ? learning::currentLearningData(m_c) : std::nullopt,
                 m_c.today());
  m_screen.layout = layoutFor(m_config.measures, m_config.narrowScreen);
  std::vector<std::u16string> captions;
  for (const SoftButton& b : m_screen.buttons.buttons) captions.push_back(b.caption);
  m_screen.buttonRects = softButtonRects(m_screen.layout.softButtonRow, captions);
  if (m_config.narrowScreen && m_c.settings.ratio != 0) {
    const QaGeometry qa =
        qaSizeGeometry(m_screen.layout, m_config.measures.lineHeight, m_c.settings.ratio);
    m_screen.layout.questionBox = qa.questionBox;
    m_screen.layout.questionPane = qa.questionPane;
    m_screen.layout.answerBox = qa.answerBox;
    m_screen.layout.answerPane = qa.answerPane;
  }
  m_screen.collectionOpen = m_c.isOpen;
  m_screen.questionFont = presentation::editFont(m_c.settings.questionFont);
  m_screen.answerFont = presentation::editFont(m_c.settings.answerFont);
  m_screen.questionStyle = presentation::styleSheet(m_c.settings.questionFont);
  m_screen.answerStyle = presentation::styleSheet(m_c.settings.answerFont);
  const bool hasItem = m_c.isOpen && m_c.currentPosition < m_c.header.itemCount;
  CommandId mark = 0;
  if (m_mode == AppMode::Edit) mark = cmd::Edit;
  if (isLearning(m_mode)) mark = cmd::Learn;
  MenuInput menus{m_config.narrowScreen,
                  m_c.isOpen,
                  m_mode,
                  hasItem ? m_c.table[m_c.currentPosition].status : std::uint8_t{0},
                  hasItem,
                  mark,
                  m_c.settings.utf8,
                  m_c.settings.html,
                  m_c.settings.ratio,
                  m_recent,
                  m_c.isOpen && !m_c.undoLog().steps().empty()};
  m_screen.menus = computeMenuState(menus);
}

// ---- mode transitions ----

void Application::enterIdle() {
  m_mode = AppMode::Idle;
  show(false);
}

void Application::enterEdit() {
  if (!m_c.isOpen) return;
  m_mode = AppMode::Edit;
  if (m_c.header.itemCount == 0) addItem();
  m_c.readItem(m_c.currentPosition);
  show(false);
}

void Application::enterLearnState(learning::LearnState state, bool showIt) {
  switch (state) {
    case learning::LearnState::Question:
      m_mode = AppMode::LearnQuestion;
      break;
    case learning::LearnState::Answer:
      m_mode = AppMode::LearnAnswer;
      break;
    case learning::LearnState::Review:
      m_mode = AppMode::LearnReview;
      break;
  }
  if (showIt) show(false);
}

void Application::showAnswer() {
  m_mode = AppMode::LearnAnswer;
  show(false);
}

void Application::setHtml(bool on) {
  m_c.settings.html = on ? 1 : 0;
  show(true);
}

// ---- items ----

void Application::commitEdits() { m_port.focusMainWindow(); }

void Application::firstItem() {
  store::moveToFirst(m_c);
  if (m_mode == AppMode::Edit) show(false);
}

void Application::takeOverText(bool question) {
  const bool replaced =
      store::takeOverText(m_c, question, question ? m_editQuestion : m_editAnswer);
  if (replaced && !m_replacedNoticeShown) {
    m_replacedNoticeShown = true;
    m_c.messages().showMessage(store::texts::kReplacedWhileTyping, MessageKind::Information);
  }
}

void Application::addItem() {
  if (!m_c.isOpen) return;
  takeOverText(true);
  takeOverText(false);
  if (store::addItem(m_c) != store::AddOutcome::TooManyItems) show(false);
}

// ---- browsing and search: only in Edit ----

void Application::moveTo(int position) {
  if (m_mode != AppMode::Edit || !m_c.isOpen) return;
  if (store::moveTo(m_c, position)) show(false);
}

void Application::moveBy(int delta, int minimumPosition) {
  if (m_mode != AppMode::Edit || !m_c.isOpen) return;
  if (store::moveBy(m_c, delta, minimumPosition)) show(false);
}

void Application::showMatch(const std::optional<store::TextMatch>& match) {
  show(false);
  if (match)
    m_screen.selection = Screen::Selection{match->question, match->start, m_searchText.size()};
}

void Application::findCommand() {
  if (m_mode != AppMode::Edit || !m_c.isOpen || m_c.header.itemCount == 0) return;
  // Its accelerator reaches it while an edit control has the focus: what is typed there belongs
  // to the item shown, before the search reads others.
  commitEdits();
  m_port.softKeyboard(true);
  // OK puts the dialog's text into the search text, an emptied one too (Find next then does
  // nothing); Cancel leaves it as it was.
  const int n = m_port.askString(u"Find what", m_searchText);
  m_port.softKeyboard(false);
  if (n <= 0 || m_searchText.empty()) return;
  showMatch(store::findFirst(m_c, m_searchText));
}

void Application::findNextCommand() {
  if (m_mode != AppMode::Edit || !m_c.isOpen || m_searchText.empty()) return;
  if (m_c.currentPosition >= m_c.header.itemCount) return;
  commitEdits();
  showMatch(store::findNext(m_c, m_searchText));
}

void Application::goToCommand() {
  if (m_mode != AppMode::Edit || !m_c.isOpen || m_c.header.itemCount == 0) return;
  commitEdits();
  m_port.softKeyboard(true);
  const int n = m_port.askNumber(m_c.currentPosition + 1);
  m_port.softKeyboard(false);
  if (n == -1) return;
  store::goToNumber(m_c, n);
  show(false);
}

// ---- editing ----

void Application::deleteItem() {
  if (!m_c.isOpen || m_mode != AppMode::Edit || m_c.currentPosition >= m_c.header.itemCount) {
    return;
  }
  const store::DeleteOutcome outcome = store::deleteCurrentItem(m_c);
  if (outcome == store::DeleteOutcome::Declined) return;
  // Nothing is left to show: back to Idle; Edit then starts with a new first item.
  if (outcome == store::DeleteOutcome::Deleted && m_c.header.itemCount == 0) {
    enterIdle();
    return;
  }
  show(false);
}

void Application::swapCurrentItem() {
  if (!m_c.isOpen || m_mode != AppMode::Edit) return;
  store::swapLoadedItem(m_c);
  show(false);
}

void Application::swapAllItems() {
  if (!m_c.isOpen || isLearning(m_mode)) return;
  if (store::swapAllItems(m_c) == store::SwapAllOutcome::Declined) return;
  if (m_mode == AppMode::Edit) m_c.readItem(m_c.currentPosition);
  show(false);
}

void Application::statusCommand(learning::StatusCommand command) {
  if (m_mode == AppMode::Idle) return;
  commitEdits();
  learning::applyStatusCommand(m_c, command, isLearning(m_mode), m_session);
}

void Application::undoGradeCommand() {
  // Not in Edit mode, where Ctrl+Z belongs to the editors.
  if (!m_c.isOpen || m_mode == AppMode::Edit) return;
  commitEdits();
  // The item comes back as a question, in learning whatever mode was on.
  if (!m_session.undoLastGrade()) show(false);
}

void Application::calendarCommand() {
  if (!m_c.isOpen) return;
  // The editors' texts are taken over first: a day's list reads items through the loaded one.
  commitEdits();
  learning::RepetitionsCalendar calendar(m_c.today());
  const auto chosen = m_port.runCalendar(calendar, m_c);
  if (!chosen || *chosen >= m_c.header.itemCount) return;
  // The item chosen is shown in Edit, as Go to shows the item it finds.
  m_mode = AppMode::Edit;
  (void)store::moveTo(m_c, *chosen);
  show(false);
}

// ---- files ----

std::filesystem::path Application::deriveTitle(const std::filesystem::path& chosen) {
  // Only a dot in the file name itself starts an extension; a dot in a folder name does not,
  // nor a leading dot.
  const std::string path = chosen.string();
  const std::size_t slash = path.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::string base = path;
  const std::size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && dot > nameStart) base = path.substr(0, dot);
  m_title = store::cutWithinUnits(store::decodeTextBytes(base.substr(nameStart)), kMaxTitleLength);
  return base;
}

void Application::closeCommand() {
  if (!m_c.isOpen) return;
  commitEdits();
  (void)m_c.closeCollection();  // a failure was reported; the journal keeps what it holds
  enterIdle();
}

void Application::newCommand() {
  std::optional<std::filesystem::path> chosen;
  if (m_config.newInSaveDialog) {
    chosen =
        m_port.pickSaveFile({u"Create database...", kDatabaseFilter, u"kdb", false, false, {}}, {});
  } else if (m_config.narrowScreen) {
    m_searchText.clear();
    if (m_port.askString(u"Create database...", m_searchText) > 0) {
      // A plain name in the documents folder: a name that reaches into other folders, or a
      // path past the length a collection path may have, is refused.
      const std::string name = store::encodeUtf8(m_searchText);
      const std::filesystem::path path = m_config.documentsFolder / name;
      if (name.find('/') != std::string::npos || name == "." || name == ".." ||
          path.string().size() > kMaxPathLength) {
        m_c.messages().showMessage(store::texts::kOpenFailed, MessageKind::Error);
        m_searchText.clear();
        enterIdle();
        return;
      }
      chosen = path;
    }
    m_searchText.clear();
  } else {
    chosen =
        m_port.pickOpenFile({u"Create database...", kDatabaseFilter, u"kdb", false, false, {}});
  }
  if (chosen) store::createCollection(m_c, deriveTitle(*chosen));
  enterIdle();
}

// The texts file of the collection at base, as the dialogs name a collection.
std::filesystem::path Application::suggestedFile() const {
  if (m_suggested.empty()) return {};
  std::filesystem::path file = m_suggested;
  file += ".kdb";
  return file;
}

void Application::openCommand() {
  auto chosen = m_port.pickOpenFile(
      {u"Open database...", kDatabaseFilter, u"kdb", true, false, suggestedFile()});
  if (chosen) store::openCollection(m_c, deriveTitle(*chosen));
  firstItem();
  enterIdle();
}

void Application::openRecent(std::size_t index) {
  if (index >= m_recent.entries.size() || m_recent.entries[index].empty()) return;
  const std::filesystem::path entry = m_recent.entries[index];
  store::openCollection(m_c, deriveTitle(entry));
  firstItem();
  enterIdle();
}

void Application::collectionOpened(const std::filesystem::path& base) {
  store::updateRecentList(m_recent, base);
}

void Application::importCommand(bool xml) {
  closeCommand();
  auto chosen = m_port.pickOpenFile({xml ? u"Open XML file..." : u"Open Q&A file...",
                                     xml ? kXmlFilter : kQaFilter,
                                     xml ? u"xml" : u"txt",
                                     true,
                                     false,
                                     {}});
  if (!chosen) return;
  const auto kind = xml ? exchange::ExchangeKind::Xml : exchange::ExchangeKind::QaText;
  const std::filesystem::path base = deriveTitle(*chosen);
  if (auto done = exchange::importWithQuestions(m_c, kind, base, exchange::WideCharacters::Ask)) {
    m_suggested = base;  // the next Open offers the new collection
    m_c.messages().showMessage(*done, MessageKind::Information);
  }
}

void Application::updateCommand() {
  if (!m_c.isOpen || isLearning(m_mode)) return;
  commitEdits();
  auto chosen = m_port.pickOpenFile({u"Update from XML...", kXmlFilter, u"xml", true, false, {}});
  if (!chosen) return;
  // The current item is read again afterwards: in Edit it shows its new texts.
  if (auto done = exchange::updateWithMessages(m_c, *chosen)) {
    m_c.messages().showMessage(*done, MessageKind::Information);
  }
  show(false);
}

void Application::importPeerCommand() {
  closeCommand();
  auto source =
      m_port.pickOpenFile({u"Import from another learner...", kPeerFilter, u"", true, false, {}});
  if (!source) return;
  // The collection is named in a save dialog. One that exists already is merged into, or
  // replaced after a second question whose Enter keeps it.
  std::filesystem::path proposed = *source;
  proposed.replace_extension(".kdb");
  auto target = m_port.pickSaveFile(
      {u"Save new database as...", kDatabaseFilter, u"kdb", false, false, {}}, proposed);
  if (!target) return;
  const std::filesystem::path base = deriveTitle(*target);
  const std::u16string shown = store::pathText(store::textsPath(base));
  bool merging = false;
  if (m_c.collectionExists(base)) {
    merging = m_c.messages().askYesNo(
        shown +
            u" holds a collection already.\r\n\r\nMerge the file into it? Its items from "
            u"the file take the file's texts and keep their progress, and the file's new "
            u"cards are added.",
        store::DefaultAnswer::Yes);
    if (!merging &&
        !m_c.messages().askYesNo(u"Replace the collection " + shown +
                                     u" with the file's items? Everything it holds now is lost.",
                                 store::DefaultAnswer::No)) {
      return;
    }
  }
  if (merging && !store::openCollection(m_c, base)) return;  // the reason was shown
  const peers::PeerImportResult result =
      peers::importPeerFile(m_c, m_config.peerLibraries, *source, base, m_c.settings.utf8 == 0);
  if (merging) {
    if (result.replacedUnits > 0) {
      m_c.messages().showMessage(store::texts::kReplacedWhileTyping, MessageKind::Information);
    }
    firstItem();
    enterIdle();
  }
  switch (result.outcome) {
    case peers::PeerImportOutcome::Imported:
      if (!merging) m_suggested = base;  // the next Open offers the new collection
      m_c.messages().showMessage(peers::peerImportMessage(result, base), MessageKind::Information);
      break;
    case peers::PeerImportOutcome::Unreadable:
    case peers::PeerImportOutcome::TooManyItems:
      m_c.messages().showMessage(peers::peerImportMessage(result, base), MessageKind::Error);
      break;
    case peers::PeerImportOutcome::NotStored:  // told as it happened
    case peers::PeerImportOutcome::Cancelled:
      break;
  }
}

std::optional<std::filesystem::path> Application::collectionToExport() {
  if (m_c.isOpen) m_suggested = m_c.basePath;  // offered first: the collection being closed
  closeCommand();
  auto chosen = m_port.pickOpenFile(
      {u"Open database...", kDatabaseFilter, u"kdb", false, false, suggestedFile()});
  if (!chosen) return std::nullopt;
  return deriveTitle(*chosen);
}

void Application::exportAnkiCommand() {
  const std::optional<std::filesystem::path> chosen = collectionToExport();
  if (!chosen) return;
  const std::filesystem::path& base = *chosen;
  std::filesystem::path proposed = base;
  proposed += ".apkg";
  auto target =
      m_port.pickSaveFile({u"Export for Anki...", kAnkiFilter, u"apkg", false, true, {}}, proposed);
  if (!target) return;
  const peers::PeerExportResult result =
      peers::exportAnkiPackage(m_c, m_config.peerLibraries, base, *target, std::time(nullptr));
  m_c.messages().showMessage(peers::peerExportMessage(result, *target),
                             result.exported ? MessageKind::Information : MessageKind::Error);
}

void Application::exportCommand(bool xml) {
  const std::optional<std::filesystem::path> chosen = collectionToExport();
  if (!chosen) return;
  const std::filesystem::path& base = *chosen;
  auto target = m_port.pickSaveFile({xml ? u"Save XML file..." : u"Save Q&A file...",
                                     xml ? kXmlFilter : kQaFilter,
                                     xml ? u"xml" : u"txt",
                                     false,
                                     true,
                                     {}},
                                    base);
  if (!target) return;
  const learning::LocalTime now = m_clock.localTime();
  const exchange::XmlTime time{now.date.year, now.date.month, now.date.day, now.hour, now.minute};
  const auto kind = xml ? exchange::ExchangeKind::Xml : exchange::ExchangeKind::QaText;
  if (auto done = exchange::exportWithMessages(m_c, kind, base, *target, time)) {
    m_c.messages().showMessage(*done, MessageKind::Information);
  }
}

}  // namespace kelvora::shell
