// The command layer's platform operations on Qt: message boxes captioned "Kelvora CE", file
// dialogs, the small dialogs, the "Working" window, the focus and closing the main window.
#pragma once

#include <QPointer>
#include <QString>
#include <filesystem>

#include "shell/shell_port.h"

namespace kelvora::qt {

class MainWindow;
class WorkingWindow;

class QtShellPort : public shell::ShellPort {
 public:
  // The dialogs belong to window; file dialogs start in startFolder until one is confirmed.
  QtShellPort(MainWindow& window, const std::filesystem::path& startFolder);
  ~QtShellPort() override;

  // store::MessagePort
  void showMessage(std::u16string_view text, store::MessageKind kind) override;
  bool askYesNo(std::u16string_view question, store::DefaultAnswer byDefault) override;
  // store::ProgressWindow
  bool show() override;
  void hide() override;
  void setLine(std::u16string_view text) override;
  void setCompletion(std::uint64_t done, std::uint64_t total) override;
  bool cancelRequested() override;
  // shell::ShellPort
  std::optional<std::filesystem::path> pickOpenFile(const shell::FileDialog& dialog) override;
  std::optional<std::filesystem::path> pickSaveFile(const shell::FileDialog& dialog,
                                                    const std::filesystem::path& proposed) override;
  int askString(std::u16string_view title, std::u16string& text) override;
  int askNumber(int start) override;
  bool runFontsDialog(presentation::FontsDialog& dialog) override;
  std::vector<std::u16string> fontFamilies() override;
  std::optional<std::uint16_t> runCalendar(learning::RepetitionsCalendar& calendar,
                                           store::Collection& collection) override;
  void runAbout() override;
  void focusMainWindow() override;
  void softKeyboard(bool on) override;
  void launch(std::u16string_view program, std::u16string_view argument) override;
  void requestClose() override;

 private:
  std::optional<std::filesystem::path> runFileDialog(const shell::FileDialog& dialog, bool save,
                                                     const QString& proposed);

  MainWindow& m_window;
  QString m_folder;  // where the next file dialog starts
  QPointer<WorkingWindow> m_working;
};

// The Qt name filters of a dialog: "Description (pattern)", with the "*.*" of "All files"
// meaning every file as it does on the desktop, not only names with a dot.
QStringList nameFilters(const shell::FileDialog& dialog);

}  // namespace kelvora::qt
