// The program's main window: menus, accelerators, toolbar, the panes and panels at the places
// the layout gives, and the soft buttons. It draws the command layer's Screen and turns every
// widget event into onCommand, onKey, onTimer or setEditText; it decides nothing itself.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shell/application.h"
#include "shell/menu_model.h"
#include "shell/screen.h"

class QAction;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolBar;

namespace kelvora::qt {

class PaneBrowser;
class PaneEdit;

class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  // The window's shape chooses the arrangement, at the size it opens with (menu bar included)
  // and again whenever it is resized: narrow when the area under the menu bar is tall rather
  // than wide. collectionBase gives the open collection's base path (empty when none is open):
  // the HTML panes read images from its folder and its media folder.
  MainWindow(QSize initialSize, std::function<std::filesystem::path()> collectionBase);
  ~MainWindow() override;

  bool narrowScreen() const { return m_narrow; }
  // The measures of the work area the child windows share now.
  shell::ScreenMeasures measures() const;
  // The smallest work area at which nothing overlaps or is cut off in either arrangement.
  QSize minimumAreaSize() const;
  // A configuration for the command layer with this window's measures and arrangement.
  shell::ApplicationConfig applicationConfig() const;

  // The example collection the welcome in the empty panes names; none when empty.
  void setExampleCollection(const QString& path) { m_examplePath = path; }
  // The welcome the empty question (side 0) or answer pane shows while no collection is open.
  QString welcomeText(int side) const;

  // Connects the command layer; the window renders its screen from now on.
  void setApplication(shell::Application* app);

  // Copies the whole screen into the widgets.
  void render();
  // Shows the command layer's state as it is now, also in the middle of a command: called
  // before every message box and dialog opens.
  void showCurrentState();

  // Gives the work area the keyboard focus; an edit control that had it hands over its text
  // first (commands 10 and 11).
  void focusWorkArea();

  // Opens a collection named from outside (a second start), once no command is running.
  void openPath(const std::filesystem::path& path);
  // Ends the program as closing the window does: an open dialog is cancelled first, so the
  // command that opened it finishes before the exit sequence runs.
  void terminate();

  // The widgets, for tests and the screenshot tool.
  PaneEdit* edit(bool question) const { return m_edits[question ? 0 : 1]; }
  PaneBrowser* browser(bool question) const { return m_browsers[question ? 0 : 1]; }
  const std::vector<QPushButton*>& softButtons() const { return m_buttons; }
  QAction* menuAction(shell::CommandId id) const;
  QAction* toolbarAction(shell::CommandId id) const;
  QToolBar* toolbar() const { return m_toolbar; }

 signals:
  // The exit sequence has run and the window is closing.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Runs an entry point of the command layer; the outermost one renders afterwards.
  void call(const std::function<void()>& entry);
  void command(shell::CommandId id);
  void renderOnce(bool applySelection);
  void buildMenus();
  void buildToolbar();
  void buildChildren();
  // The work area as it is, before an arrangement keeps its strip free.
  shell::ScreenMeasures areaMeasures() const;
  // The toolbar and the alignments of the arrangement now chosen.
  void applyArrangement();
  void renderPanels(const shell::Screen& s);
  void renderPane(const shell::Screen& s, int side);
  void renderButtons(const shell::Screen& s);
  void renderMenus(const shell::Screen& s);
  // Names and descriptions for a screen reader that follow the state.
  void renderAccessibility(const shell::Screen& s);
  void applySelection(const shell::Screen& s);
  void moveFocusOut(QWidget* widget);
  void editFocusLost(int side);
  // Whether the text of side may be corrected now, and opening it for that.
  bool correctable(int side) const;
  void startCorrecting(int side);
  // A key pressed anywhere in the window while learning; true when it was handled.
  bool learningKey(QKeyEvent* event);
  QAction* addCommand(QMenu* menu, const shell::MenuEntry& entry);
  void addEntries(QMenu* menu, const std::vector<shell::MenuEntry>& entries);
  static const char* const* toolbarImage(std::string_view icon);

  shell::Application* m_app = nullptr;
  std::function<std::filesystem::path()> m_collectionBase;
  QString m_examplePath;
  bool m_narrow = false;
  int m_depth = 0;               // entry points running; render only at 0
  bool m_renderPending = false;  // an entry point ran while rendering
  bool m_selectionPending = false;
  bool m_closed = false;
  bool m_terminating = false;
  int m_focusLosses = 0;
  std::array<bool, 2> m_correcting{};  // a text opened for a correction during learning

  QWidget* m_area = nullptr;  // the central widget: the work area
  QToolBar* m_toolbar = nullptr;
  QMenu* m_recentMenu = nullptr;
  std::map<shell::CommandId, QAction*> m_menuActions;
  std::map<shell::CommandId, QAction*> m_toolbarActions;
  std::vector<shell::RecentMenuItem> m_shownRecent;

  QGroupBox* m_questionBox = nullptr;
  QGroupBox* m_answerBox = nullptr;
  QGroupBox* m_statisticsBox = nullptr;
  QGroupBox* m_itemBox = nullptr;
  std::array<QLabel*, 2> m_titles{};
  std::array<QLabel*, 3> m_statisticsLabels{};
  std::array<QLabel*, 3> m_statisticsValues{};
  std::array<QProgressBar*, 3> m_bars{};  // shown in the wide arrangement only
  std::array<QLabel*, 5> m_itemLabels{};
  std::array<QLabel*, 5> m_itemValues{};
  std::array<PaneEdit*, 2> m_edits{};  // question, answer
  std::array<PaneBrowser*, 2> m_browsers{};
  // What each widget was last given, to leave the caret alone while nothing changed.
  std::array<std::u16string, 2> m_editShown;
  std::array<std::u16string, 2> m_htmlShown;
  std::array<std::u16string, 2> m_styleShown;
  std::array<bool, 2> m_htmlValid{};

  std::vector<QPushButton*> m_buttons;
  shell::SoftButtonRow m_shownButtons;
  bool m_buttonsValid = false;

  QTimer m_timer;
  QTimer m_syncTimer;      // journal syncs of changes that waited two seconds
  QTimer m_cancelDialogs;  // while terminating inside a command
};

}  // namespace kelvora::qt
