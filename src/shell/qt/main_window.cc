// Building the main window's widgets and copying the screen into them.
#include "shell/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QToolBar>
#include <algorithm>

#include "learning/statistics.h"
#include "shell/qt/accelerators.h"
#include "shell/qt/pane_font.h"
#include "shell/qt/pane_widgets.h"
#include "shell/qt/text_conversion.h"
#include "shell/qt/working_window.h"

// Our own drawings, kept as XPM source in resources/icons.
#include "icons/add.xpm"
#include "icons/calendar.xpm"
#include "icons/dismiss.xpm"
#include "icons/edit.xpm"
#include "icons/forget.xpm"
#include "icons/kelvora.xpm"
#include "icons/learn.xpm"
#include "icons/new.xpm"
#include "icons/open.xpm"
#include "icons/remember.xpm"

namespace kelvora::qt {
namespace {

namespace cmd = shell::cmd;
using shell::CommandId;
using shell::Key;

// Captions taken from file names show their '&' instead of underlining the next letter.
QString literalCaption(std::u16string_view text) {
  QString s = toQString(text);
  s.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return s;
}

void place(QWidget* widget, const shell::Rect& r) {
  const QRect rect(r.x, r.y, std::max(r.width, 0), std::max(r.height, 0));
  if (widget->geometry() != rect) widget->setGeometry(rect);
}

// What each statistics bar measures against.
constexpr std::array<const char*, 3> kBarDescriptions = {
    "Share of the items not dismissed", "Share of all items", "Share of the items in learning"};

QString paneName(int side) {
  return side == 0 ? QStringLiteral("Question") : QStringLiteral("Answer");
}

QString withoutColon(QString caption) {
  caption = caption.trimmed();
  if (caption.endsWith(QLatin1Char(':'))) caption.chop(1);
  return caption;
}

// What a pane holds as a screen reader should say it: HTML without its markup, one line.
QString spokenText(const std::u16string& text, bool html) {
  QString spoken =
      html ? QTextDocumentFragment::fromHtml(toQString(text)).toPlainText() : toQString(text);
  return spoken.simplified();
}

void setLabelText(QLabel* label, std::u16string_view text) {
  const QString s = toQString(text);
  if (label->text() != s) label->setText(s);
}

std::optional<Key> keyOf(const QKeyEvent& e) {
  if (e.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
    return std::nullopt;
  }
  switch (e.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return Key::Enter;
    case Qt::Key_Escape:
      return Key::Escape;
    case Qt::Key_Up:
      return Key::Up;
    case Qt::Key_Down:
      return Key::Down;
    case Qt::Key_Left:
      return Key::Left;
    case Qt::Key_Right:
      return Key::Right;
    case Qt::Key_PageUp:
      return Key::PageUp;
    case Qt::Key_PageDown:
      return Key::PageDown;
    case Qt::Key_Home:
      return Key::Home;
    case Qt::Key_End:
      return Key::End;
    case Qt::Key_Space:
      return Key::Space;
    default:
      break;
  }
  if (e.key() >= Qt::Key_0 && e.key() <= Qt::Key_9) {
    return static_cast<Key>(static_cast<int>(Key::Digit0) + (e.key() - Qt::Key_0));
  }
  return std::nullopt;
}

}  // namespace

MainWindow::MainWindow(QSize initialSize, std::function<std::filesystem::path()> collectionBase)
    : m_collectionBase(std::move(collectionBase)) {
  setWindowTitle(QStringLiteral("Kelvora"));
  setWindowIcon(QIcon(QPixmap(kelvora_xpm)));
  m_area = new QWidget(this);
  m_area->setObjectName(QStringLiteral("workArea"));
  m_area->setFocusPolicy(Qt::ClickFocus);
  setCentralWidget(m_area);
  buildMenus();
  resize(initialSize);
  m_narrow = shell::isNarrowScreen(areaMeasures());
  buildToolbar();
  buildChildren();
  applyArrangement();
  setMinimumSize(minimumAreaSize() + QSize(0, menuBar()->sizeHint().height()));
  m_area->installEventFilter(this);
  // Learning keys reach the command layer whichever control of the window has the focus.
  QApplication::instance()->installEventFilter(this);

  m_timer.setInterval(static_cast<int>(shell::kRecountPeriodMs));
  // The recount waits while a command runs (an import calls in for events as it works).
  connect(&m_timer, &QTimer::timeout, this, [this] {
    if (m_depth == 0) call([this] { m_app->onTimer(); });
  });
  m_syncTimer.setInterval(static_cast<int>(store::Collection::kSyncPeriodMs));
  connect(&m_syncTimer, &QTimer::timeout, this, [this] {
    if (m_app) m_app->onSyncTimer();
  });
  m_cancelDialogs.setInterval(50);
  connect(&m_cancelDialogs, &QTimer::timeout, this, [this] {
    if (m_depth == 0) {
      m_cancelDialogs.stop();
      close();
    } else if (auto* working = findChild<WorkingWindow*>()) {
      working->requestCancel();  // the work stops, leaving the files as they were
    } else if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      dialog->reject();
    }
  });
}

MainWindow::~MainWindow() = default;

shell::ScreenMeasures MainWindow::areaMeasures() const {
  const QFontMetrics metrics(font());
  // Before the window is first laid out the work area is the window less its menu bar.
  const QSize area = m_area->testAttribute(Qt::WA_Resized) || isVisible()
                         ? m_area->size()
                         : QSize(width(), height() - menuBar()->sizeHint().height());
  return {metrics.lineSpacing(), metrics.averageCharWidth(), area.width(), area.height()};
}

shell::ScreenMeasures MainWindow::measures() const {
  shell::ScreenMeasures m = areaMeasures();
  // The arrangements keep a menu-bar-high strip free: at the top of the wide one, where our
  // toolbar goes, and at the foot of the narrow one, which has nothing to put there since the
  // menu bar is above the work area here.
  if (m_narrow) m.workHeight += shell::kMenuBarHeight;
  return m;
}

shell::ApplicationConfig MainWindow::applicationConfig() const {
  shell::ApplicationConfig config;
  config.measures = measures();
  config.narrowScreen = m_narrow;
  return config;
}

QSize MainWindow::minimumAreaSize() const {
  // Room in either arrangement for the panels' lines, an item's value beside its label (a date
  // and a count, some 17 characters) and panes of a few lines.
  const QFontMetrics metrics(font());
  const int lh = metrics.lineSpacing();
  const int cw = metrics.averageCharWidth();
  return {68 * cw + 32, 14 * lh + 3 * shell::kMenuBarHeight + 12};
}

void MainWindow::applyArrangement() {
  m_toolbar->setVisible(!m_narrow);
  for (QLabel* value : m_statisticsValues) {
    value->setAlignment((m_narrow ? Qt::AlignRight : Qt::AlignHCenter) | Qt::AlignVCenter);
  }
}

void MainWindow::setApplication(shell::Application* app) {
  m_app = app;
  if (m_app) {
    m_app->setMeasures(measures());
    m_timer.start();
    m_syncTimer.start();
  } else {
    m_timer.stop();
    m_syncTimer.stop();
  }
  render();
}

QAction* MainWindow::menuAction(CommandId id) const {
  const auto it = m_menuActions.find(id);
  return it == m_menuActions.end() ? nullptr : it->second;
}

QAction* MainWindow::toolbarAction(CommandId id) const {
  const auto it = m_toolbarActions.find(id);
  return it == m_toolbarActions.end() ? nullptr : it->second;
}

// ---- building ----

QAction* MainWindow::addCommand(QMenu* menu, const shell::MenuEntry& entry) {
  QAction* action = menu->addAction(toQString(entry.caption));
  const CommandId id = entry.id;
  action->setData(id);
  action->setCheckable(entry.group != shell::CheckGroup::None);
  if (entry.startsGreyed) action->setEnabled(false);
  // The accelerator is shown in the menu; the window's shortcut carries it out, so that it
  // works while the item is greyed as well.
  if (entry.accelerator != 0) {
    action->setShortcut(acceleratorKeys(entry.accelerator));
    action->setShortcutContext(Qt::WidgetShortcut);
    auto* shortcut = new QShortcut(acceleratorKeys(entry.accelerator), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, id] { command(id); });
  }
  if (entry.functionKey != 0) {
    const QKeySequence key(static_cast<Qt::Key>(Qt::Key_F1 + entry.functionKey - 1));
    if (entry.accelerator == 0) {
      action->setShortcut(key);
      action->setShortcutContext(Qt::WidgetShortcut);
    }
    auto* shortcut = new QShortcut(key, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, id] { command(id); });
  }
  connect(action, &QAction::triggered, this, [this, id] { command(id); });
  m_menuActions[id] = action;
  return action;
}

void MainWindow::addEntries(QMenu* menu, const std::vector<shell::MenuEntry>& entries) {
  for (const shell::MenuEntry& entry : entries) {
    switch (entry.kind) {
      case shell::MenuEntry::Kind::Command:
        addCommand(menu, entry);
        break;
      case shell::MenuEntry::Kind::Separator:
        menu->addSeparator();
        break;
      case shell::MenuEntry::Kind::Submenu:
        addEntries(menu->addMenu(toQString(entry.caption)), entry.children);
        break;
      case shell::MenuEntry::Kind::RecentList:
        m_recentMenu = menu->addMenu(toQString(entry.caption));
        m_recentMenu->setObjectName(QStringLiteral("recentMenu"));
        break;
    }
  }
}

void MainWindow::buildMenus() {
  for (const shell::MenuEntry& popup : shell::menuBar()) {
    addEntries(menuBar()->addMenu(toQString(popup.caption)), popup.children);
  }
  // F10 opens the first menu, as on every desktop; the arrows go on from there.
  auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
  menuKey->setContext(Qt::WindowShortcut);
  connect(menuKey, &QShortcut::activated, this, [this] {
    if (!menuBar()->actions().isEmpty()) menuBar()->setActiveAction(menuBar()->actions().first());
  });
}

const char* const* MainWindow::toolbarImage(std::string_view icon) {
  static const std::map<std::string_view, const char* const*> images = {
      {"new", new_xpm},           {"open", open_xpm},       {"learn", learn_xpm},
      {"edit", edit_xpm},         {"add", add_xpm},         {"forget", forget_xpm},
      {"remember", remember_xpm}, {"dismiss", dismiss_xpm}, {"calendar", calendar_xpm}};
  const auto it = images.find(icon);
  return it == images.end() ? kelvora_xpm : it->second;
}

void MainWindow::buildToolbar() {
  m_toolbar = new QToolBar(m_area);
  m_toolbar->setObjectName(QStringLiteral("toolbar"));
  m_toolbar->setIconSize(QSize(16, 16));
  m_toolbar->setMovable(false);
  m_toolbar->setFloatable(false);
  for (const shell::ToolbarButton& b : shell::toolbarButtons()) {
    if (b.id == 0) {
      m_toolbar->addSeparator();
      continue;
    }
    QAction* action = m_toolbar->addAction(QIcon(QPixmap(toolbarImage(b.icon))), toQString(b.tip));
    const CommandId id = b.id;
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { command(id); });
    m_toolbarActions[id] = action;
  }
}

void MainWindow::buildChildren() {
  // Boxes first, so that the controls inside them lie on top and take the mouse.
  auto box = [this](const char* title, const char* name) {
    auto* b = new QGroupBox(QString::fromLatin1(title), m_area);
    b->setObjectName(QString::fromLatin1(name));
    return b;
  };
  m_statisticsBox = box("Statistics", "statisticsBox");
  m_itemBox = box("Item", "itemBox");
  m_questionBox = box("Question", "questionBox");
  m_answerBox = box("Answer", "answerBox");

  auto label = [this](const QString& text, const QString& name, Qt::Alignment align) {
    auto* l = new QLabel(text, m_area);
    l->setObjectName(name);
    l->setAlignment(align | Qt::AlignVCenter);
    return l;
  };
  for (int i = 0; i < 2; ++i) {
    m_titles[i] = label(QString(), QStringLiteral("titleLine%1").arg(i), Qt::AlignLeft);
  }
  // A screen reader finds each value labelled by its caption: the caption is the value's buddy
  // and names it in the description.
  for (int i = 0; i < 3; ++i) {
    const QString caption = toQString(learning::kStatisticsLabels[i]);
    m_statisticsLabels[i] =
        label(caption, QStringLiteral("statisticsLabel%1").arg(i), Qt::AlignLeft);
    m_bars[i] = new QProgressBar(m_area);  // shown in the wide arrangement only
    m_bars[i]->setObjectName(QStringLiteral("statisticsBar%1").arg(i));
    m_bars[i]->setTextVisible(false);
    m_bars[i]->setAccessibleName(withoutColon(caption));
    m_bars[i]->setAccessibleDescription(QString::fromLatin1(kBarDescriptions[i]));
    m_statisticsValues[i] =
        label(QStringLiteral(" "), QStringLiteral("statisticsValue%1").arg(i), Qt::AlignRight);
    m_statisticsLabels[i]->setBuddy(m_statisticsValues[i]);
    m_statisticsValues[i]->setAccessibleDescription(withoutColon(caption));
  }
  // An item's values stand right after their labels in both arrangements.
  for (int i = 0; i < 5; ++i) {
    m_itemLabels[i] = label(QString(), QStringLiteral("itemLabel%1").arg(i), Qt::AlignLeft);
    m_itemValues[i] =
        label(QStringLiteral(" "), QStringLiteral("itemValue%1").arg(i), Qt::AlignLeft);
    m_itemLabels[i]->setBuddy(m_itemValues[i]);
  }
  for (int side = 0; side < 2; ++side) {
    const bool question = side == 0;
    auto* edit = new PaneEdit(m_area);
    edit->setObjectName(question ? QStringLiteral("questionEdit") : QStringLiteral("answerEdit"));
    auto* browser = new PaneBrowser(m_area, m_collectionBase);
    browser->setObjectName(question ? QStringLiteral("questionView")
                                    : QStringLiteral("answerView"));
    // Keys belong to the window while an HTML pane is shown, as in learning by keyboard.
    browser->setFocusPolicy(Qt::NoFocus);
    browser->hide();
    edit->setAccessibleName(paneName(side));
    browser->setAccessibleName(paneName(side));
    browser->setAccessibleDescription(QStringLiteral("Shown as HTML"));
    m_edits[side] = edit;
    m_browsers[side] = browser;
    connect(edit, &QPlainTextEdit::textChanged, this, [this, side] {
      if (!m_app || m_closed) return;
      std::u16string text = m_edits[side]->itemText();
      m_editShown[side] = text;
      m_app->setEditText(side == 0, std::move(text));
    });
    connect(edit, &PaneEdit::focusLost, this, [this, side] { editFocusLost(side); });
    connect(edit, &PaneEdit::escapePressed, this, [this, side] {
      if (m_correcting[side]) {
        m_area->setFocus(Qt::OtherFocusReason);  // ends the correction, storing it
      } else {
        m_edits[1 - side]->setFocus(Qt::OtherFocusReason);
      }
    });
    connect(edit, &PaneEdit::correctionRequested, this, [this, side] { startCorrecting(side); });
  }
}

// ---- entry points ----

void MainWindow::call(const std::function<void()>& entry) {
  if (!m_app || m_closed) return;
  ++m_depth;
  entry();
  --m_depth;
  m_selectionPending = true;
  if (m_depth > 0) {
    m_renderPending = true;
    return;
  }
  render();
  if (m_terminating && !m_closed) QTimer::singleShot(0, this, [this] { close(); });
}

void MainWindow::command(CommandId id) {
  call([this, id] { m_app->onCommand(id); });
}

void MainWindow::editFocusLost(int side) {
  ++m_focusLosses;
  m_correcting[side] = false;
  const CommandId id = side == 0 ? cmd::StoreQuestion : cmd::StoreAnswer;
  call([this, id] { m_app->onCommand(id, shell::kFocusLost); });
}

bool MainWindow::correctable(int side) const {
  if (!m_app || m_closed || !m_app->screen().editEnabled || m_app->screen().html) return false;
  const shell::AppMode mode = m_app->mode();
  // Only where storing the text is allowed: the question in every learning state, the answer
  // once it is shown.
  return shell::isLearning(mode) && (side == 0 || mode == shell::AppMode::LearnAnswer);
}

void MainWindow::startCorrecting(int side) {
  if (!correctable(side) || m_correcting[side]) return;
  m_correcting[side] = true;
  render();
  m_edits[side]->setFocus(Qt::OtherFocusReason);
}

bool MainWindow::learningKey(QKeyEvent* event) {
  if (!m_app || m_closed || m_depth > 0 || !shell::isLearning(m_app->mode())) return false;
  QWidget* focus = QApplication::focusWidget();
  if (focus != nullptr && focus->window() != this) return false;
  if (focus == m_edits[0] && m_correcting[0]) return false;
  if (focus == m_edits[1] && m_correcting[1]) return false;
  if (focus != nullptr && qobject_cast<QMenuBar*>(focus) != nullptr) return false;
  if (event->key() == Qt::Key_F2 && event->modifiers() == Qt::NoModifier) {
    startCorrecting(m_app->mode() == shell::AppMode::LearnAnswer ? 1 : 0);
    return true;
  }
  const std::optional<Key> key = keyOf(*event);
  if (!key) return false;
  call([this, k = *key] { m_app->onKey(k); });
  return true;
}

void MainWindow::focusWorkArea() {
  // A window that is not active changes its focus child without focus events; the edit
  // control that had the focus hands over its text all the same.
  QWidget* had = focusWidget();
  const int before = m_focusLosses;
  m_area->setFocus(Qt::OtherFocusReason);
  if (m_focusLosses != before) return;
  if (had == m_edits[0]) editFocusLost(0);
  if (had == m_edits[1]) editFocusLost(1);
}

void MainWindow::openPath(const std::filesystem::path& path) {
  if (!m_app || m_closed) return;
  if (m_depth > 0 || QApplication::activeModalWidget() != nullptr) {
    QTimer::singleShot(250, this, [this, path] { openPath(path); });
    return;
  }
  call([this, &path] { m_app->openPath(path); });
}

void MainWindow::terminate() {
  m_terminating = true;
  if (m_depth == 0) {
    close();
  } else {
    m_cancelDialogs.start();
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!m_closed) {
    m_timer.stop();
    m_cancelDialogs.stop();
    if (m_app) {
      ++m_depth;
      m_app->exitSequence();
      --m_depth;
    }
    m_closed = true;
    emit closed();
  }
  event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  QWidget* focus = QApplication::focusWidget();
  const std::optional<Key> key = keyOf(*event);
  if ((focus != nullptr && focus != this && focus != m_area) || !key || !m_app) {
    QMainWindow::keyPressEvent(event);
    return;
  }
  event->accept();
  call([this, k = *key] { m_app->onKey(k); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == this &&
      learningKey(static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  if (watched == m_area && event->type() == QEvent::Resize && m_app && !m_closed) {
    // The arrangement follows the window's shape as it is resized.
    const bool narrow = shell::isNarrowScreen(areaMeasures());
    if (narrow != m_narrow) {
      m_narrow = narrow;
      applyArrangement();
    }
    m_app->setMeasures(measures(), m_narrow);
    render();
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---- rendering ----

void MainWindow::render() {
  if (!m_app || m_closed) return;
  if (m_depth > 0) {
    m_renderPending = true;
    return;
  }
  // Rendering can move the focus out of an edit control, which runs a command; its screen is
  // rendered in a further round.
  ++m_depth;
  for (int round = 0; round < 4; ++round) {
    m_renderPending = false;
    const bool selection = m_selectionPending;
    m_selectionPending = false;
    renderOnce(selection);
    if (!m_renderPending) break;
  }
  --m_depth;
}

void MainWindow::showCurrentState() {
  if (!m_app || m_closed) return;
  m_app->refreshScreenNow();
  renderOnce(false);
}

void MainWindow::renderOnce(bool withSelection) {
  const shell::Screen& s = m_app->screen();
  // The title names the open collection, as a desktop window names its document.
  const QString title = s.title.empty() ? QStringLiteral("Kelvora")
                                        : toQString(s.title) + QStringLiteral(" \u2013 Kelvora");
  if (windowTitle() != title) setWindowTitle(title);
  place(m_toolbar, {0, 0, m_area->width(), shell::kMenuBarHeight});
  renderPanels(s);
  renderPane(s, 0);
  renderPane(s, 1);
  renderButtons(s);
  renderMenus(s);
  renderAccessibility(s);
  if (withSelection) applySelection(s);
}

void MainWindow::renderAccessibility(const shell::Screen& s) {
  // While learning the work area holds the focus, so its name carries the card: a screen
  // reader speaks the question as it comes and the answer the moment it is shown.
  QString name = QStringLiteral("Work area");
  QString description;
  switch (s.mode) {
    case shell::AppMode::LearnQuestion:
      name = QStringLiteral("Question: ") + spokenText(s.panes.question, s.html);
      description = QStringLiteral("Enter or Space shows the answer");
      break;
    case shell::AppMode::LearnAnswer:
      name = QStringLiteral("Answer: ") + spokenText(s.panes.answer, s.html);
      description = QStringLiteral("Grade it with a key from 0 to 5");
      break;
    case shell::AppMode::LearnReview:
      name = QStringLiteral("Graded last: ") + spokenText(s.panes.question, s.html) +
             QStringLiteral(" – ") + spokenText(s.panes.answer, s.html);
      description = QStringLiteral("Enter goes on to the next repetition");
      break;
    default:
      break;
  }
  if (m_area->accessibleName() != name) m_area->setAccessibleName(name);
  if (m_area->accessibleDescription() != description) m_area->setAccessibleDescription(description);
  const bool learning = shell::isLearning(s.mode);
  for (int side = 0; side < 2; ++side) {
    QString editDescription;
    if (!s.collectionOpen) {
      editDescription = welcomeText(side);
    } else if (m_correcting[side]) {
      editDescription = QStringLiteral("Being corrected: leaving the box stores the text");
    } else if (learning && s.editEnabled) {
      editDescription =
          QStringLiteral("Read-only while learning: F2 or a double click corrects it");
    }
    if (m_edits[side]->accessibleDescription() != editDescription) {
      m_edits[side]->setAccessibleDescription(editDescription);
    }
  }
}

void MainWindow::moveFocusOut(QWidget* widget) {
  if (widget->hasFocus()) m_area->setFocus(Qt::OtherFocusReason);
}

void MainWindow::renderPanels(const shell::Screen& s) {
  const shell::Layout& l = s.layout;
  const learning::StatisticsPanel& st = s.statistics;
  const bool shown = st.visible;
  place(m_statisticsBox, l.statisticsBox);
  place(m_itemBox, l.itemBox);
  m_statisticsBox->setVisible(shown);
  m_itemBox->setVisible(shown);
  for (int i = 0; i < 2; ++i) {
    place(m_titles[i], l.titleLines[i]);
    setLabelText(m_titles[i], st.titleLines[i]);
    m_titles[i]->setVisible(shown);
  }
  for (int i = 0; i < 3; ++i) {
    const shell::StatisticsRow& row = l.statisticsRows[i];
    place(m_statisticsLabels[i], row.label);
    place(m_statisticsValues[i], row.value);
    setLabelText(m_statisticsValues[i], st.statisticsValues[i]);
    m_statisticsLabels[i]->setVisible(shown);
    m_statisticsValues[i]->setVisible(shown);
    if (m_bars[i]) {
      if (row.bar) place(m_bars[i], *row.bar);
      const learning::ProgressBar& bar = st.bars[i];
      if (m_bars[i]->maximum() != bar.maximum) m_bars[i]->setRange(0, std::max(bar.maximum, 0));
      if (m_bars[i]->value() != bar.position) m_bars[i]->setValue(bar.position);
      m_bars[i]->setVisible(shown && row.bar.has_value());
    }
  }
  // A value starts right after the longest label and may use the panel's width to its inner
  // edge: a date with its count is longer than the cell the arrangement gives it.
  int labelWidth = 0;
  for (int i = 0; i < 5; ++i) {
    setLabelText(m_itemLabels[i], st.itemLabels[i]);
    const QString description = withoutColon(m_itemLabels[i]->text());
    if (m_itemValues[i]->accessibleDescription() != description) {
      m_itemValues[i]->setAccessibleDescription(description);
    }
    labelWidth = std::max(
        labelWidth, m_itemLabels[i]->fontMetrics().horizontalAdvance(m_itemLabels[i]->text()));
  }
  labelWidth += m_itemLabels[0]->fontMetrics().averageCharWidth();
  for (int i = 0; i < 5; ++i) {
    const shell::ItemRow& row = l.itemRows[i];
    place(m_itemLabels[i],
          {row.label.x, row.label.y, std::min(row.label.width, labelWidth), row.label.height});
    shell::Rect value = row.value;
    value.x = std::min(value.x, row.label.x + labelWidth);
    value.width = std::max(row.value.width, l.itemBox.x + l.itemBox.width - value.x - 6);
    place(m_itemValues[i], value);
    setLabelText(m_itemValues[i], st.itemValues[i]);
    m_itemLabels[i]->setVisible(shown);
    m_itemValues[i]->setVisible(shown);
  }
}

void MainWindow::renderPane(const shell::Screen& s, int side) {
  const bool question = side == 0;
  const std::u16string& text = question ? s.panes.question : s.panes.answer;
  place(question ? m_questionBox : m_answerBox,
        question ? s.layout.questionBox : s.layout.answerBox);
  const shell::Rect& rect = question ? s.layout.questionPane : s.layout.answerPane;
  PaneEdit* edit = m_edits[side];
  PaneBrowser* browser = m_browsers[side];
  place(edit, rect);
  place(browser, rect);
  // Both views draw in the pane's font: the HTML view's style sheet gives a size without a
  // unit, which the renderer does not take, so the view's own font carries face, size and
  // weight and the style sheet and the text's markup refine it.
  const QFont font = paneFont(question ? s.questionFont : s.answerFont, this->font());
  if (edit->font() != font) edit->setFont(font);
  if (browser->font() != font) browser->setFont(font);
  // While learning the texts are shown, not typed into: the keys grade. A double click or F2
  // opens one for a correction until it loses the focus.
  const bool learning = shell::isLearning(s.mode);
  if (!correctable(side)) m_correcting[side] = false;
  const bool writable = s.editEnabled && (!learning || m_correcting[side]);
  if (edit->isReadOnly() == writable) edit->setReadOnly(!writable);
  const Qt::FocusPolicy policy = learning && !m_correcting[side] ? Qt::NoFocus : Qt::StrongFocus;
  if (edit->focusPolicy() != policy) edit->setFocusPolicy(policy);
  edit->setCorrecting(m_correcting[side]);
  if (learning && !m_correcting[side]) moveFocusOut(edit);
  // With no collection open the panes are empty; a welcome stands in them, never part of a
  // text, until a collection is open.
  const QString welcome = s.collectionOpen ? QString() : welcomeText(side);
  if (edit->placeholderText() != welcome) edit->setPlaceholderText(welcome);
  if (browser->placeholderText() != welcome) browser->setPlaceholderText(welcome);
  if (!s.html) {
    if (text != m_editShown[side]) {
      const QSignalBlocker blocker(edit);
      edit->setPlainText(toDisplayText(text));
      m_editShown[side] = text;
    }
    moveFocusOut(browser);
    browser->hide();
    edit->show();
    return;
  }
  const std::u16string& style = question ? s.questionStyle : s.answerStyle;
  if (!m_htmlValid[side] || text != m_htmlShown[side] || style != m_styleShown[side]) {
    browser->document()->setDefaultStyleSheet(toQString(style));
    browser->setHtml(toQString(text));
    m_htmlShown[side] = text;
    m_styleShown[side] = style;
    m_htmlValid[side] = true;
  }
  moveFocusOut(edit);
  edit->hide();
  browser->show();
}

QString MainWindow::welcomeText(int side) const {
  if (side == 0) {
    return QStringLiteral(
        "Welcome to Kelvora, a flash-card learner. It shows you a question, you recall the "
        "answer and grade yourself from 0 to 5, and it chooses when each card comes back: soon "
        "when you failed it, later each time you knew it.");
  }
  QString text = QStringLiteral(
      "To begin:\n"
      "\u2022 Open a collection: File > Open... (Ctrl+O); the buttons below open the ones used "
      "last.\n"
      "\u2022 Create a new one: File > New... (Ctrl+N).\n"
      "\u2022 Make one from an XML or Q&A text file: File > Import/Export.\n");
  if (!m_examplePath.isEmpty()) {
    text += QStringLiteral(
                "\nAn example collection of capitals comes with Kelvora:\n%1\nCopy it into a "
                "folder of yours and import it with File > Import/Export > Import XML...\n")
                .arg(QDir::toNativeSeparators(m_examplePath));
  }
  text += QStringLiteral("\nHelp > Help topics (F1) explains every command and key.");
  return text;
}

void MainWindow::renderButtons(const shell::Screen& s) {
  if (!m_buttonsValid || s.buttons != m_shownButtons) {
    // The clicked button may be among these: it goes once its click has been handled.
    for (QPushButton* b : m_buttons) {
      moveFocusOut(b);
      b->hide();
      b->deleteLater();
    }
    m_buttons.clear();
    for (std::size_t j = 0; j < s.buttons.buttons.size(); ++j) {
      const shell::SoftButton& sb = s.buttons.buttons[j];
      auto* b = new QPushButton(literalCaption(sb.caption), m_area);
      b->setObjectName(QStringLiteral("softButton%1").arg(j));
      b->setProperty("commandId", sb.id);
      b->setAutoDefault(false);
      b->setEnabled(sb.enabled);
      if (static_cast<int>(j) == s.buttons.defaultIndex) {
        b->setDefault(true);
        QFont bold = b->font();
        bold.setBold(true);
        b->setFont(bold);
      }
      const CommandId id = sb.id;
      connect(b, &QPushButton::clicked, this, [this, id] { command(id); });
      m_buttons.push_back(b);
    }
    m_shownButtons = s.buttons;
    m_buttonsValid = true;
  }
  for (std::size_t j = 0; j < m_buttons.size(); ++j) {
    if (j < s.buttonRects.size()) place(m_buttons[j], s.buttonRects[j]);
    // The tooltip is also what a screen reader gives as the button's description.
    const QString tip = j < s.buttonTips.size() ? toQString(s.buttonTips[j]) : QString();
    if (m_buttons[j]->toolTip() != tip) m_buttons[j]->setToolTip(tip);
    m_buttons[j]->show();
  }
}

void MainWindow::renderMenus(const shell::Screen& s) {
  for (const auto& [id, action] : m_menuActions) {
    const bool enabled = s.menus.enabled(id);
    if (action->isEnabled() != enabled) action->setEnabled(enabled);
    if (action->isCheckable() && action->isChecked() != s.menus.checked(id)) {
      action->setChecked(s.menus.checked(id));
    }
  }
  for (const auto& [id, action] : m_toolbarActions) {
    const auto it = s.menus.toolbarEnabled.find(id);
    const bool enabled = it == s.menus.toolbarEnabled.end() || it->second;
    if (action->isEnabled() != enabled) action->setEnabled(enabled);
  }
  if (s.menus.recent != m_shownRecent || m_recentMenu->isEmpty()) {
    m_recentMenu->clear();
    for (const shell::RecentMenuItem& item : s.menus.recent) {
      QAction* action = m_recentMenu->addAction(literalCaption(item.text));
      action->setData(item.id);
      action->setEnabled(item.enabled);
      const CommandId id = item.id;
      connect(action, &QAction::triggered, this, [this, id] { command(id); });
    }
    m_shownRecent = s.menus.recent;
  }
}

void MainWindow::applySelection(const shell::Screen& s) {
  if (!s.selection || s.html) return;
  const shell::Screen::Selection& sel = *s.selection;
  const std::u16string& text = sel.question ? s.panes.question : s.panes.answer;
  auto shown = [&text](std::size_t at) { return static_cast<int>(shell::shownOffset(text, at)); };
  PaneEdit* edit = m_edits[sel.question ? 0 : 1];
  QTextCursor cursor = edit->textCursor();
  cursor.setPosition(shown(sel.start));
  cursor.setPosition(shown(sel.start + sel.length), QTextCursor::KeepAnchor);
  edit->setTextCursor(cursor);
  edit->setFocus(Qt::OtherFocusReason);
}

}  // namespace kelvora::qt
