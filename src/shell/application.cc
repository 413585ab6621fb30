// The command table, the keys and the timer, and the mode transitions they share.
#include "shell/application.h"

#include <algorithm>

#include "exchange/exchange_commands.h"
#include "store/collection_opening.h"
#include "store/reset_collection.h"
#include "store/utf8.h"

namespace kelvora::shell {
namespace {

using store::MessageKind;

const std::vector<std::pair<std::u16string, std::u16string>> kDatabaseFilter = {
    {u"Kelvora database files (*.kdb)", u"*.kdb"}, {u"All files (*.*)", u"*.*"}};
const std::vector<std::pair<std::u16string, std::u16string>> kXmlFilter = {
    {u"XML files (*.xml)", u"*.xml"}, {u"All files (*.*)", u"*.*"}};
const std::vector<std::pair<std::u16string, std::u16string>> kQaFilter = {
    {u"Q&A files (*.txt)", u"*.txt"}, {u"All files (*.*)", u"*.*"}};

constexpr char16_t kOverwrite[] = u"Overwrite old data files?\r\n";
// The longest collection title shown, in code units.
constexpr std::size_t kMaxTitleLength = 127;
// The longest path a collection may have, in bytes.
constexpr std::size_t kMaxPathLength = 259;
constexpr char16_t kTooLong[] = u"Item is too long!";
constexpr char16_t kReplacedNotice[] =
    u"Some characters could not be stored in\nCompressed Unicode and became '?'.";

std::u16string pathText(const std::filesystem::path& p) {
  return store::decodeTextBytes(p.string());
}

// The grade a grade button stands for: 60 "Bright" is 5 down to 65 "Null", 0.
int gradeOfButton(CommandId id) { return cmd::GradeNull - id; }

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
    const int digit = static_cast<int>(key) - static_cast<int>(Key::Digit0);
    switch (m_mode) {
      case AppMode::LearnQuestion:
        if (key == Key::Enter) showAnswer();
        if (key == Key::Right) m_session.cancelLearning();
        if (key == Key::Down) m_session.reviewLastGraded();
        break;
      case AppMode::LearnAnswer:
        if (key == Key::Enter) m_session.gradeCurrentItem(3);
        if (key == Key::Up) m_session.gradeCurrentItem(5);
        if (key == Key::Left) m_session.gradeCurrentItem(4);
        if (key == Key::Right) m_session.gradeCurrentItem(2);
        if (key == Key::Down) m_session.gradeCurrentItem(1);
        if (digit >= 0 && digit <= 5) m_session.gradeCurrentItem(digit);
        break;
      case AppMode::LearnReview:
        if (key == Key::Enter) m_session.startLearning(learning::StartKind::Start);
        if (key == Key::Right) m_session.cancelLearning();
        break;
      case AppMode::Edit:
        if (key == Key::Home) firstItem();
        if (key == Key::End) moveTo(m_c.header.itemCount - 1);
        if (key == Key::Left) moveBy(-1, 0);
        if (key == Key::Right) moveBy(1, 0);
        if (key == Key::Up) moveBy(10, 0);
        if (key == Key::Down) moveBy(-10, 10);
        if (key == Key::PageUp) moveBy(100, 0);
        if (key == Key::PageDown) moveBy(-100, 100);
        break;
      case AppMode::Idle:
        break;
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
  m_config.measures = measures;
  if (m_depth == 0) refreshScreen();
}

void Application::openPath(const std::filesystem::path& path) {
  if (m_depth++ == 0) {
    m_replacedNoticeShown = false;
    m_screen.selection.reset();
  }
  store::openCollection(m_c, deriveTitle(path));
  firstItem();
  enterIdle();
  if (--m_depth == 0) refreshScreen();
}

bool Application::buttonShown(CommandId id) const {
  const SoftButtonRow row = softButtonsFor(m_mode, m_c.isOpen, m_recent);
  return std::any_of(row.buttons.begin(), row.buttons.end(),
                     [id](const SoftButton& b) { return b.id == id; });
}

void Application::dispatch(CommandId id, std::uint16_t notification) {
  using learning::StartKind;
  // Soft buttons act only while their set is on the screen.
  const bool softButton = (id >= cmd::LearnButton && id <= cmd::EditButton) ||
                          (id >= cmd::GradeBright && id <= cmd::GradeNull) ||
                          (id >= cmd::Home && id <= cmd::CancelEdit) ||
                          (id >= cmd::ShowAnswer && id <= cmd::Last) ||
                          (id >= cmd::NextRepetition && id <= cmd::CancelLearning) ||
                          (id >= cmd::RecentButton1 && id <= cmd::RecentButton1 + 2);
  if (softButton && !buttonShown(id)) return;

  if (id >= cmd::GradeBright && id <= cmd::GradeNull) {
    m_session.gradeCurrentItem(gradeOfButton(id));
    return;
  }
  if (id >= cmd::RecentMenu1 && id <= cmd::RecentMenu1 + 2) {
    openRecent(id - cmd::RecentMenu1);
    return;
  }
  if (id >= cmd::RecentButton1 && id <= cmd::RecentButton1 + 2) {
    openRecent(id - cmd::RecentButton1);
    return;
  }
  if (id >= cmd::StatisticsView && id <= cmd::QaSize25) {
    m_c.settings.ratio = static_cast<std::uint8_t>(id - cmd::StatisticsView);
    m_c.settings.settingsChanged = true;
    (void)m_c.storeSettings();  // a failure was reported; the close tries again
    return;                     // panel visibility and statistics follow from the ratio
  }
  switch (id) {
    case cmd::New:
      newCommand();
      break;
    case cmd::Open:
      openCommand();
      break;
    case cmd::Close:
      closeCommand();
      break;
    case cmd::ImportXml:
    case cmd::ImportQa:
      importCommand(id == cmd::ImportXml);
      break;
    case cmd::ExportXml:
    case cmd::ExportQa:
      exportCommand(id == cmd::ExportXml);
      break;
    case cmd::Reset:
      commitEdits();
      store::resetCollection(m_c);
      break;
    case cmd::Exit:
      m_port.requestClose();
      break;
    case cmd::Learn:
      commitEdits();
      m_session.startLearning(StartKind::Start);
      break;
    case cmd::LearnButton:
    case cmd::NextRepetition:
      m_session.startLearning(StartKind::Start);
      break;
    case cmd::Edit:
      commitEdits();
      enterEdit();
      break;
    case cmd::EditButton:
      enterEdit();
      break;
    case cmd::Unicode:
    case cmd::CompressedUnicode:
      // Records carry no mark of their form: switching while a collection is open would make
      // its texts unreadable, so the choice is for collections made afterwards only.
      if (m_c.isOpen) break;
      m_c.settings.utf8 = id == cmd::Unicode ? 1 : 0;
      m_c.settings.settingsChanged = true;
      break;
    case cmd::Html:
      commitEdits();
      setHtml(m_c.settings.html == 0);
      m_c.settings.settingsChanged = true;
      (void)m_c.storeSettings();  // a failure was reported; the close tries again
      break;
    case cmd::AddNew:
      commitEdits();
      if (m_c.settings.html != 0) setHtml(false);
      if (!hasBit(m_mode, kEditBit)) enterEdit();
      addItem();
      break;
    case cmd::Forget:
      statusCommand(learning::StatusCommand::Forget);
      break;
    case cmd::Remember:
      statusCommand(learning::StatusCommand::Remember);
      break;
    case cmd::Dismiss:
      statusCommand(learning::StatusCommand::Dismiss);
      break;
    case cmd::Fonts: {
      if (!m_c.isOpen || m_mode == AppMode::Idle) break;
      presentation::FontsDialog dialog(m_c.settings, m_port.fontFamilies());
      if (m_port.runFontsDialog(dialog) && dialog.ok(m_c.settings) != 0) {
        // The fonts and style sheets follow from the settings; HTML panes show the new style.
        if (m_c.settings.html != 0) show(false);
        m_c.settings.settingsChanged = true;
        (void)m_c.storeSettings();  // a failure was reported; the close tries again
      }
      break;
    }
    case cmd::Calendar: {
      if (!m_c.isOpen) break;
      learning::RepetitionsCalendar calendar(m_c.today());
      m_port.runCalendar(calendar, m_c);
      break;
    }
    case cmd::About:
      m_port.runAbout();
      break;
    case cmd::HelpTopics:
      m_port.launch(m_config.helpProgram, m_config.helpArgument);
      break;
    case cmd::StoreQuestion:
    case cmd::StoreAnswer: {
      if (notification != kFocusLost || !m_c.isOpen || m_c.settings.html != 0) break;
      const bool question = id == cmd::StoreQuestion;
      const bool allowed = m_mode == AppMode::Edit ||
                           (question ? isLearning(m_mode) : m_mode == AppMode::LearnAnswer);
      if (allowed) takeOverText(question);
      break;
    }
    case cmd::Home:
      firstItem();
      m_port.focusMainWindow();
      break;
    case cmd::Prev:
      moveBy(-1, 0);
      m_port.focusMainWindow();
      break;
    case cmd::Next:
      moveBy(1, 0);
      m_port.focusMainWindow();
      break;
    case cmd::End:
      moveTo(m_c.header.itemCount - 1);
      m_port.focusMainWindow();
      break;
    case cmd::Add:
      if (m_c.settings.html != 0) setHtml(false);
      addItem();
      m_port.focusMainWindow();
      break;
    case cmd::CancelEdit:
      enterIdle();
      break;
    case cmd::ShowAnswer:
      showAnswer();
      break;
    case cmd::CancelQuestion:
    case cmd::CancelLearning:
      m_session.cancelLearning();
      break;
    case cmd::Last:
      m_session.reviewLastGraded();
      break;
    case cmd::Delete:
      commitEdits();
      deleteItem();
      break;
    case cmd::SwapQa:
      commitEdits();
      swapCurrentItem();
      break;
    case cmd::Find:
      findCommand();
      break;
    case cmd::FindNext:
      findNextCommand();
      break;
    case cmd::GoTo:
      goToCommand();
      break;
    case cmd::SwapAll:
      swapAllItems();
      break;
    default:
      break;
  }
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
                  m_recent};
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
  m_c.currentPosition = 0;
  m_c.readItem(0);
  if (m_mode == AppMode::Edit) show(false);
}

void Application::takeOverText(bool question) {
  std::u16string text = question ? m_editQuestion : m_editAnswer;
  bool cut = false;
  if (text.size() > store::MaxTextLength - 1) {
    text.resize(store::MaxTextLength - 1);
    cut = true;
  }
  // The text becomes what the record will hold: '?' for what the compressed form cannot
  // store, and no more than a record's text can keep.
  store::Bytes stored;
  store::EncodeReport report;
  const std::uint16_t bytes = store::encodeText(stored, text, m_c.encoding(), &report);
  if (report.replacedUnits > 0 || report.truncated) {
    std::u16string kept;
    store::decodeText(kept, stored, bytes, m_c.encoding());
    text = std::move(kept);
    cut = cut || report.truncated;
  }
  if (cut) m_c.messages().showMessage(kTooLong, MessageKind::Error);
  if (report.replacedUnits > 0 && !m_replacedNoticeShown) {
    m_replacedNoticeShown = true;
    m_c.messages().showMessage(kReplacedNotice, MessageKind::Information);
  }
  (question ? m_c.loaded.question : m_c.loaded.answer) = std::move(text);
  m_c.loaded.itemModified = true;
}

void Application::addItem() {
  if (!m_c.isOpen) return;
  takeOverText(true);
  takeOverText(false);
  if (m_c.header.itemCount >= store::MaxItems) {
    m_c.messages().showMessage(u"Too many items!", MessageKind::Error);
    return;
  }
  const std::uint16_t previous = m_c.currentPosition;
  m_c.currentPosition = m_c.header.itemCount;
  // With no item before it (an empty collection) there is nothing to write back: the write
  // is refused for a position past the end, so no record appears for the texts taken over.
  (void)m_c.flushItem();  // a failure was reported; the new item is added all the same
  m_c.loaded.question.clear();
  m_c.loaded.answer.clear();
  m_c.loaded.header = store::ItemRecordHeader{};
  m_c.loaded.header.aFactor = store::kNewItemAFactor;
  m_c.loaded.header.status = store::code(store::ItemStatus::Pending);
  m_c.loaded.header.slotNumber = m_c.takeSlotNumber();
  m_c.table[m_c.currentPosition] = store::ItemIndexEntry{store::kNoRecord, 0, 0, 0, 0, 0};
  ++m_c.header.itemCount;
  if (!m_c.indexChanged()) {
    // Not stored, so not added: the item shown before comes back.
    m_c.currentPosition =
        std::min<std::uint16_t>(previous, m_c.header.itemCount > 0 ? m_c.header.itemCount - 1 : 0);
    m_c.readItem(m_c.currentPosition);
  }
  show(false);
}

// ---- browsing and search ----

void Application::moveTo(int position) {
  if (m_mode != AppMode::Edit || !m_c.isOpen || m_c.header.itemCount == 0) return;
  position = std::clamp(position, 0, m_c.header.itemCount - 1);
  m_c.currentPosition = static_cast<std::uint16_t>(position);
  m_c.readItem(m_c.currentPosition);
  show(false);
}

// Moves by delta; a move back happens only from beyond minimumPosition (ten or a hundred
// back do not stop at the first item when fewer lie before).
void Application::moveBy(int delta, int minimumPosition) {
  if (delta < 0 && m_c.currentPosition <= minimumPosition) return;
  moveTo(m_c.currentPosition + delta);
}

bool Application::findFrom(std::uint16_t start) {
  const std::uint16_t saved = m_c.currentPosition;
  // Items without a record take a slot number as they are read: one index write at the end.
  store::Collection::Batch batch(m_c);
  for (std::uint16_t p = start; p < m_c.header.itemCount; ++p) {
    m_c.currentPosition = p;
    m_c.readItem(p);
    for (bool question : {true, false}) {
      const std::u16string& text = question ? m_c.loaded.question : m_c.loaded.answer;
      const std::size_t at = text.find(m_searchText);
      if (at == std::u16string::npos) continue;
      show(false);
      m_screen.selection = Screen::Selection{question, at, m_searchText.size()};
      return true;
    }
  }
  m_c.currentPosition = saved;
  m_c.readItem(saved);
  show(false);
  return false;
}

void Application::findCommand() {
  if (m_mode != AppMode::Edit || !m_c.isOpen || m_c.header.itemCount == 0) return;
  // Its accelerator reaches it while an edit control has the focus: what is typed there belongs
  // to the item shown, before the search reads others.
  commitEdits();
  m_port.softKeyboard(true);
  std::u16string text = m_searchText;
  const int n = m_port.askString(u"Find what", text);
  m_port.softKeyboard(false);
  if (n <= 0) return;
  m_searchText = text;
  if (m_searchText.empty()) return;
  if (!findFrom(0)) {
    m_c.messages().showMessage(u"Cannot find the string\n'" + m_searchText + u"'",
                               MessageKind::Information);
  }
}

void Application::findNextCommand() {
  if (m_mode != AppMode::Edit || !m_c.isOpen || m_searchText.empty()) return;
  if (m_c.currentPosition >= m_c.header.itemCount) return;
  commitEdits();
  if (!findFrom(static_cast<std::uint16_t>(m_c.currentPosition + 1))) findFrom(0);
}

void Application::goToCommand() {
  if (m_mode != AppMode::Edit || !m_c.isOpen || m_c.header.itemCount == 0) return;
  commitEdits();
  m_port.softKeyboard(true);
  const int n = m_port.askNumber(m_c.currentPosition + 1);
  m_port.softKeyboard(false);
  if (n == -1) return;
  {
    store::Collection::Batch batch(m_c);
    for (std::uint16_t p = 0; p < m_c.header.itemCount; ++p) {
      m_c.currentPosition = p;
      m_c.readItem(p);
      const std::uint32_t id = m_c.loaded.header.itemId();
      if (n > 0 && id == static_cast<std::uint32_t>(n)) {
        show(false);
        return;
      }
      if (id == 0) break;
    }
  }
  moveTo(n > 0 ? n - 1 : 0);
}

// ---- editing ----

void Application::deleteItem() {
  if (!m_c.isOpen || m_mode != AppMode::Edit || m_c.currentPosition >= m_c.header.itemCount) {
    return;
  }
  if (!m_c.messages().askYesNo(u"DELETE this element?")) return;
  {
    // The record marked deleted and the table without it are one change.
    store::Collection::Batch change(m_c);
    store::ItemIndexEntry& entry = m_c.table[m_c.currentPosition];
    store::uncountStatus(m_c.counters, entry.status);
    entry.status = store::code(store::ItemStatus::Deleted);
    m_c.loaded.header.status = entry.status;
    (void)m_c.writeItem(m_c.currentPosition);  // inside the batch only an unreadable item fails
    m_c.loaded.itemModified = false;
    m_c.compactTable();
    (void)m_c.indexChanged();  // inside the batch: its commit decides
    if (!change.commit()) {
      // Refused by the disk: the item stays, as it was.
      show(false);
      return;
    }
  }
  if (m_c.header.itemCount == 0) {
    // Nothing is left to show: back to Idle; Edit then starts with a new first item.
    m_c.currentPosition = 0;
    enterIdle();
    return;
  }
  if (m_c.currentPosition > m_c.header.itemCount - 1)
    m_c.currentPosition = m_c.header.itemCount - 1;
  m_c.readItem(m_c.currentPosition);
  show(false);
}

void Application::swapCurrentItem() {
  if (!m_c.isOpen || m_mode != AppMode::Edit) return;
  std::swap(m_c.loaded.question, m_c.loaded.answer);
  m_c.loaded.itemModified = true;
  show(false);
}

void Application::swapAllItems() {
  if (!m_c.isOpen || isLearning(m_mode)) return;
  if (!m_c.messages().askYesNo(u"Do you want swap all items in database?")) return;
  m_c.progress.openProgress();
  {
    store::Collection::Batch batch(m_c);
    for (std::uint16_t p = 0; p < m_c.header.itemCount; ++p) {
      // An item without a readable record is left alone: writing it would give it the texts
      // of the item read before.
      if (!m_c.readItem(p)) continue;
      std::swap(m_c.loaded.question, m_c.loaded.answer);
      m_c.progress.setProgressText(u"Q <-> A: " + store::decodeTextBytes(std::to_string(p)));
      (void)m_c.writeItem(p);  // inside the batch only an unreadable item fails
    }
    (void)batch.commit();  // all or nothing; a failure was reported
  }
  m_c.progress.closeProgress();
  if (m_mode == AppMode::Edit) m_c.readItem(m_c.currentPosition);
  show(false);
}

void Application::statusCommand(learning::StatusCommand command) {
  if (m_mode == AppMode::Idle) return;
  commitEdits();
  learning::applyStatusCommand(m_c, command, isLearning(m_mode), m_session);
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
  m_title = store::decodeTextBytes(base.substr(nameStart));
  if (m_title.size() > kMaxTitleLength) m_title.resize(kMaxTitleLength);
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
  if (m_config.narrowScreen) {
    m_searchText.clear();
    if (m_port.askString(u"Create database...", m_searchText) > 0) {
      // A plain name in the documents folder: a name that reaches into other folders, or a
      // path past the length a collection path may have, is refused.
      const std::string name = store::encodeUtf8(m_searchText);
      const std::filesystem::path path = m_config.documentsFolder / name;
      if (name.find('/') != std::string::npos || name == "." || name == ".." ||
          path.string().size() > kMaxPathLength) {
        m_c.messages().showMessage(u"Error while opening database!", MessageKind::Error);
        m_searchText.clear();
        enterIdle();
        return;
      }
      chosen = path;
    }
    m_searchText.clear();
  } else {
    chosen = m_port.pickOpenFile({u"Create database...", kDatabaseFilter, u"kdb", false, false});
  }
  if (chosen) store::createCollection(m_c, deriveTitle(*chosen));
  enterIdle();
}

void Application::openCommand() {
  auto chosen = m_port.pickOpenFile({u"Open database...", kDatabaseFilter, u"kdb", true, false});
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
  auto chosen =
      m_port.pickOpenFile({xml ? u"Open XML file..." : u"Open Q&A file...",
                           xml ? kXmlFilter : kQaFilter, xml ? u"xml" : u"txt", true, false});
  if (!chosen) return;
  const std::filesystem::path base = deriveTitle(*chosen);
  if (m_c.collectionExists(base) &&
      !m_c.messages().askYesNo(kOverwrite + pathText(store::textsPath(base)))) {
    return;
  }
  const auto kind = xml ? exchange::ExchangeKind::Xml : exchange::ExchangeKind::QaText;
  if (exchange::importCollection(m_c, kind, base)) {
    m_c.messages().showMessage(
        u"Your file has been imported into:\r\n" + pathText(store::textsPath(base)),
        MessageKind::Information);
  } else {
    m_c.messages().showMessage(u"Error while importing database!", MessageKind::Error);
  }
}

void Application::exportCommand(bool xml) {
  closeCommand();
  auto chosen = m_port.pickOpenFile({u"Open database...", kDatabaseFilter, u"kdb", false, false});
  if (!chosen) return;
  const std::filesystem::path base = deriveTitle(*chosen);
  auto target =
      m_port.pickSaveFile({xml ? u"Save XML file..." : u"Save Q&A file...",
                           xml ? kXmlFilter : kQaFilter, xml ? u"xml" : u"txt", false, true},
                          base);
  if (!target) return;
  const learning::LocalTime now = m_clock.localTime();
  const exchange::XmlTime time{now.date.year, now.date.month, now.date.day, now.hour, now.minute};
  const auto kind = xml ? exchange::ExchangeKind::Xml : exchange::ExchangeKind::QaText;
  if (exchange::exportCollection(m_c, kind, base, *target, time)) {
    m_c.messages().showMessage(u"Database has been exported into:\r\n" + pathText(*target),
                               MessageKind::Information);
  } else {
    m_c.messages().showMessage(u"Error while exporting database!", MessageKind::Error);
  }
}

}  // namespace kelvora::shell
