// A shell port for tests: messages and questions recorded as in RecordingMessages, file
// dialogs and the small dialogs answered from queues, everything else recorded.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shell/shell_port.h"

namespace kelvora::fakes {

class FakeShellPort final : public shell::ShellPort {
 public:
  struct Shown {
    std::u16string text;
    store::MessageKind kind;
  };
  std::vector<Shown> shown;
  std::vector<std::u16string> asked;
  std::deque<bool> answers;
  std::vector<store::DefaultAnswer> defaults;  // what each question offered for Enter // Yes when
                                               // empty
  std::deque<std::optional<std::filesystem::path>> files;  // cancel when empty
  std::vector<std::u16string> dialogs;
  std::deque<std::u16string> strings;  // Get string: cancel when empty
  std::deque<int> numbers;             // Go to: cancel when empty

  // What the window does before a message box or question opens.
  std::function<void()> beforeModal;

  void showMessage(std::u16string_view text, store::MessageKind kind) override {
    if (beforeModal) beforeModal();
    shown.push_back({std::u16string(text), kind});
  }
  bool askYesNo(std::u16string_view question, store::DefaultAnswer byDefault) override {
    if (beforeModal) beforeModal();
    asked.emplace_back(question);
    defaults.push_back(byDefault);
    if (answers.empty()) return true;
    bool a = answers.front();
    answers.pop_front();
    return a;
  }
  // The "Working" window, when a test wants a real one; without it none is drawn.
  store::ProgressWindow* working = nullptr;
  bool show() override { return working == nullptr || working->show(); }
  void hide() override {
    if (working) working->hide();
  }
  void setLine(std::u16string_view text) override {
    if (working) working->setLine(text);
  }
  void setCompletion(std::uint64_t done, std::uint64_t total) override {
    if (working) working->setCompletion(done, total);
  }
  bool cancelRequested() override { return working && working->cancelRequested(); }
  std::optional<std::filesystem::path> pickOpenFile(const shell::FileDialog& d) override {
    return nextFile(d);
  }
  std::vector<std::u16string> saveDialogs;      // the titles of the save dialogs among them
  std::vector<std::filesystem::path> selected;  // what each file dialog selected first
  std::optional<std::filesystem::path> pickSaveFile(const shell::FileDialog& d,
                                                    const std::filesystem::path&) override {
    saveDialogs.push_back(d.title);
    return nextFile(d);
  }
  int askString(std::u16string_view title, std::u16string& text) override {
    dialogs.emplace_back(title);
    if (strings.empty()) return 0;
    text = strings.front();
    strings.pop_front();
    return static_cast<int>(text.size());
  }
  int askNumber(int) override {
    dialogs.emplace_back(u"Go to");
    if (numbers.empty()) return -1;
    int n = numbers.front();
    numbers.pop_front();
    return n;
  }
  bool fontsOk = false;  // the Fonts dialog ends with OK, touching nothing
  bool runFontsDialog(presentation::FontsDialog&) override {
    dialogs.emplace_back(u"Fonts");
    return fontsOk;
  }
  std::vector<std::u16string> fontFamilies() override { return {u"DejaVu Sans", u"Tahoma"}; }
  // The calendar's answer: an item chosen from a day's list, or none; or, when set, what
  // runs in its place (the real window's dialog).
  std::optional<std::uint16_t> calendarChoice;
  std::function<std::optional<std::uint16_t>(learning::RepetitionsCalendar&, store::Collection&)>
      calendar;
  std::optional<std::uint16_t> runCalendar(learning::RepetitionsCalendar& c,
                                           store::Collection& collection) override {
    dialogs.emplace_back(u"Calendar");
    return calendar ? calendar(c, collection) : calendarChoice;
  }
  void runAbout() override { dialogs.emplace_back(u"About"); }
  // What the window does when it takes the focus (an edit control handing over its text).
  std::function<void()> onFocus;
  void focusMainWindow() override {
    if (onFocus) onFocus();
  }
  void softKeyboard(bool) override {}
  void launch(std::u16string_view, std::u16string_view) override {}
  void requestClose() override {}

  std::vector<std::u16string> texts() const {
    std::vector<std::u16string> out;
    for (const auto& s : shown) out.push_back(s.text);
    return out;
  }

 private:
  std::optional<std::filesystem::path> nextFile(const shell::FileDialog& d) {
    dialogs.push_back(d.title);
    selected.push_back(d.selected);
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
  }
};

}  // namespace kelvora::fakes
