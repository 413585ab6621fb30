// The platform operations the command layer needs: message boxes (through the store's message
// port), file dialogs, the small dialogs, the focus, the soft keyboard, starting programs and
// closing the window. The desktop program implements it with widgets, the script driver from
// a script, tests with a fake.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "learning/repetitions_calendar.h"
#include "presentation/fonts_dialog.h"
#include "store/collection.h"
#include "store/message_port.h"
#include "store/progress.h"

namespace kelvora::shell {

struct FileDialog {
  std::u16string title;
  std::vector<std::pair<std::u16string, std::u16string>> filters;  // description, pattern
  std::u16string defaultExtension;
  bool mustExist = false;           // the file must exist (open dialogs)
  bool askBeforeOverwrite = false;  // save dialogs
  // An open dialog starts in this file's folder with it selected; empty: where the last dialog
  // ended.
  std::filesystem::path selected;
};

class ShellPort : public store::MessagePort, public store::ProgressWindow {
 public:
  // The chosen path, or nothing when the dialog was cancelled.
  virtual std::optional<std::filesystem::path> pickOpenFile(const FileDialog& dialog) = 0;
  virtual std::optional<std::filesystem::path> pickSaveFile(
      const FileDialog& dialog, const std::filesystem::path& proposed) = 0;
  // The "Get string" dialog editing text; returns the length confirmed (0 on cancel).
  virtual int askString(std::u16string_view title, std::u16string& text) = 0;
  // The "Go to" dialog offering start; the number confirmed, or -1 when cancelled.
  virtual int askNumber(int start) = 0;
  // The Fonts dialog over the logic given; true when it ended with OK.
  virtual bool runFontsDialog(presentation::FontsDialog& dialog) = 0;
  // The font families the system offers, for the Fonts dialog.
  virtual std::vector<std::u16string> fontFamilies() = 0;
  // The repetitions calendar of the collection, starting at the calendar's month; "<" and ">"
  // step the calendar, and a day opened lists its items (learning::dayList). The position of
  // the item chosen from a day's list with OK, or nothing.
  virtual std::optional<std::uint16_t> runCalendar(learning::RepetitionsCalendar& calendar,
                                                   store::Collection& collection) = 0;
  // The About box (shell::aboutLines()).
  virtual void runAbout() = 0;
  // Gives the main window the keyboard focus. An edit control that had it reports its focus
  // loss (commands 10 or 11) before this returns.
  virtual void focusMainWindow() = 0;
  virtual void softKeyboard(bool on) = 0;
  virtual void launch(std::u16string_view program, std::u16string_view argument) = 0;
  virtual void requestClose() = 0;
};

}  // namespace kelvora::shell
