// The command layer: every command id, key and timer tick drives the modes Idle, Edit and the
// three learning states, wraps the store, learning and exchange operations with their
// dialogs and messages, and keeps the Screen up to date. Runs without any window system.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "learning/calendar_date.h"
#include "learning/clock.h"
#include "learning/learning_session.h"
#include "learning/random.h"
#include "learning/status_commands.h"
#include "peers/peer_ports.h"
#include "shell/app_mode.h"
#include "shell/command_ids.h"
#include "shell/keys.h"
#include "shell/layout.h"
#include "shell/screen.h"
#include "shell/shell_port.h"
#include "store/browsing.h"
#include "store/collection.h"
#include "store/collection_events.h"
#include "store/recent_file_store.h"
#include "store/recent_files.h"

namespace kelvora::shell {

// How often the counters are taken afresh outside learning, so that items fall due as the day
// turns: every ten minutes.
inline constexpr std::uint32_t kRecountPeriodMs = 10 * 60 * 1000;

struct ApplicationConfig {
  // The work area and the system font; they choose the arrangement. A desktop window measures
  // them again whenever it is resized (setMeasures).
  ScreenMeasures measures{13, 6, 640, 480};
  bool narrowScreen = false;
  // New asks for the collection's file in a save dialog with its folder, as on a desktop,
  // whatever the arrangement; otherwise a narrow screen asks for a bare name.
  bool newInSaveDialog = false;
  // Where a new collection named in the Get string dialog goes (narrow screens).
  std::filesystem::path documentsFolder;
  learning::ShortDateFormat dateFormat = learning::isoShortDate;
  // The help page Help topics opens, and the program that opens it (empty: the desktop's own
  // choice for the file).
  std::u16string helpProgram;
  std::u16string helpArgument = u"kelvora-help.html";
  // The libraries the import from another learner reads packages and databases with; without
  // them only text tables and KVTML files can be read.
  peers::PeerLibraries peerLibraries;
};

class Application final : private store::CollectionEvents, private learning::SessionHost {
 public:
  // recentStore may be null: the recent list is then neither read nor written.
  Application(store::Collection& collection, ShellPort& port, learning::Random& random,
              const learning::Clock& clock, store::RecentFileStore* recentStore,
              ApplicationConfig config);
  ~Application() override;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Reads the recent list and shows the window's first state: Idle, no collection open.
  void start();
  // The window closes: pending edits are taken over, the collection is closed (everything
  // written), the recent list is saved.
  void exitSequence();

  void onCommand(CommandId id, std::uint16_t notification = 0);
  void onKey(Key key);
  void onTimer();
  // The short timer (every two seconds): changes that waited that long reach the disk.
  void onSyncTimer();

  // The user typed into an edit control: its text is now this (line breaks as CR LF). It
  // reaches the loaded item when the control reports losing the focus (commands 10 and 11).
  void setEditText(bool question, std::u16string text);

  // The window was resized: the same arrangement is laid out again for the new work area.
  void setMeasures(const ScreenMeasures& measures);
  // The window changed its shape: the arrangement follows.
  void setMeasures(const ScreenMeasures& measures, bool narrowScreen);
  // Opens the collection of a file named outside the menus (the command line, a second start),
  // as Open does with a chosen file.
  void openPath(const std::filesystem::path& path);

  // Brings the screen up to date in the middle of a command: a message or dialog about to open
  // then stands over what is true now, not over the state before the command.
  void refreshScreenNow() { refreshScreen(); }

  const Screen& screen() const { return m_screen; }
  AppMode mode() const { return m_mode; }
  const store::RecentFiles& recentFiles() const { return m_recent; }
  std::uint16_t lastGradedPosition() const { return m_session.lastGradedPosition(); }
  const std::u16string& searchText() const { return m_searchText; }

 private:
  // CollectionEvents
  void commitEdits() override;
  void collectionOpened(const std::filesystem::path& base) override;
  // SessionHost
  void enterIdle() override;
  void enterLearnState(learning::LearnState state, bool show) override;
  void showItem() override { show(false); }

  struct CommandEntry;
  struct CommandTable;
  static const std::map<CommandId, CommandEntry>& commandTable();
  static const std::map<std::pair<AppMode, Key>, void (*)(Application&)>& keyTable();
  void dispatch(CommandId id, std::uint16_t notification);
  bool buttonShown(CommandId id) const;
  void show(bool force);
  void refreshScreen();
  void enterEdit();
  void showAnswer();
  void setHtml(bool on);
  // Commands with a rule of their own
  void chooseEncoding(CommandId id);
  void toggleHtml();
  void chooseRatio(CommandId id);
  void fontsCommand();
  void storeEditText(bool question, std::uint16_t notification);
  // Items: the mode checks and the screen around the store's operations
  void firstItem();
  void moveTo(int position);  // browsing: only in Edit, clamped to the table
  void moveBy(int delta, int minimumPosition);
  void addItem();
  void deleteItem();
  void swapCurrentItem();
  void swapAllItems();
  void showMatch(const std::optional<store::TextMatch>& match);
  void findCommand();
  void findNextCommand();
  void goToCommand();
  void takeOverText(bool question);
  void statusCommand(learning::StatusCommand command);
  void undoGradeCommand();
  void calendarCommand();
  // Files
  void closeCommand();
  void newCommand();
  void openCommand();
  void openRecent(std::size_t index);
  void importCommand(bool xml);
  void exportCommand(bool xml);
  void exportAnkiCommand();
  // The export commands' first step: the open collection is closed and offered, and the one to
  // export is chosen; nothing when the dialog was cancelled.
  std::optional<std::filesystem::path> collectionToExport();
  // Update from XML: the open collection takes the texts and new items of a chosen XML file.
  void updateCommand();
  void importPeerCommand();
  std::filesystem::path deriveTitle(const std::filesystem::path& chosen);
  std::filesystem::path suggestedFile() const;

  store::Collection& m_c;
  ShellPort& m_port;
  const learning::Clock& m_clock;
  store::RecentFileStore* m_recentStore;
  ApplicationConfig m_config;
  learning::LearningSession m_session;
  AppMode m_mode = AppMode::Idle;
  store::RecentFiles m_recent;
  Screen m_screen;
  std::u16string m_editQuestion;
  std::u16string m_editAnswer;
  std::u16string m_searchText;
  std::u16string m_title;
  // The collection an Open or Export dialog selects first: the one just imported, or the one
  // open when Export closed it.
  std::filesystem::path m_suggested;
  bool m_replacedNoticeShown = false;  // the '?' notice goes out once per command
  int m_depth = 0;                     // nesting of entry points (focus loss inside a command)
};

}  // namespace kelvora::shell
