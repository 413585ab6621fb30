// The script's port: answers come from a queue the script fills, and everything shown goes to
// the output as one line.
#include "script_driver.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <deque>
#include <map>

#include "fixed_time_clock.h"
#include "item_listing.h"
#include "learning/random.h"
#include "platform/documents_folder.h"
#include "platform/posix_file_system.h"
#include "platform/system_clock.h"
#include "platform/xdg_recent_file_store.h"
#include "shell/application.h"
#include "shell/menu_model.h"
#include "shell/small_dialogs.h"
#include "store/utf8.h"

namespace kelvora::cli {
namespace {

using shell::CommandId;

struct Answer {
  enum Kind { Yes, No, File, Cancel, String, Number, Fonts } kind;
  std::string value;
};

const char* answerName(Answer::Kind kind) {
  static const char* const names[] = {"yes", "no", "file", "cancel", "string", "number", "fonts"};
  return names[kind];
}

class ScriptPort final : public shell::ShellPort {
 public:
  explicit ScriptPort(std::FILE* out) : m_out(out) {}

  std::deque<Answer> answers;
  bool failed = false;

  void showMessage(std::u16string_view text, store::MessageKind kind) override {
    line(std::string("message ") + (kind == store::MessageKind::Error ? "error" : "info") + ": " +
         escapeText(text));
  }
  bool askYesNo(std::u16string_view question, store::DefaultAnswer) override {
    line("message question: " + escapeText(question));
    auto a = take("question", {Answer::Yes, Answer::No});
    return a && a->kind == Answer::Yes;
  }
  bool show() override { return true; }
  void hide() override {}
  void setLine(std::u16string_view text) override { line("progress: " + escapeText(text)); }

  std::optional<std::filesystem::path> pickOpenFile(const shell::FileDialog& d) override {
    return pickFile(d);
  }
  std::optional<std::filesystem::path> pickSaveFile(const shell::FileDialog& d,
                                                    const std::filesystem::path&) override {
    return pickFile(d);
  }
  int askString(std::u16string_view title, std::u16string& text) override {
    line("dialog " + escapeText(title));
    shell::GetStringDialog dialog{std::u16string(title), text};
    auto a = take("dialog " + escapeText(title), {Answer::String, Answer::Cancel});
    const shell::StringAnswer answer = (!a || a->kind == Answer::Cancel)
                                           ? dialog.cancel()
                                           : dialog.confirm(unescapeScriptText(a->value), *this);
    text = answer.text;
    return answer.length;
  }
  int askNumber(int start) override {
    line("dialog Go to");
    shell::GoToDialog dialog(start);
    auto a = take("dialog Go to", {Answer::Number, Answer::Cancel});
    if (!a || a->kind == Answer::Cancel) return dialog.cancel();
    return dialog.confirm(store::decodeTextBytes(a->value));
  }
  // Two "fonts FACE SIZE BOLD" answers set the question side, then the answer side, and end
  // the dialog with OK; "cancel" ends it with Cancel. FACE takes "_" for a space.
  bool runFontsDialog(presentation::FontsDialog& dialog) override {
    line("dialog " + escapeText(presentation::kFontsDialogTitle));
    for (presentation::FontSide side :
         {presentation::FontSide::Question, presentation::FontSide::Answer}) {
      auto a = take("dialog Fonts", {Answer::Fonts, Answer::Cancel});
      if (!a || a->kind == Answer::Cancel) return false;
      char face[256] = {};
      int size = 0;
      int bold = 0;
      if (std::sscanf(a->value.c_str(), "%255s %d %d", face, &size, &bold) != 3) {
        line("error: fonts takes FACE SIZE BOLD");
        failed = true;
        return false;
      }
      std::string name = face;
      std::replace(name.begin(), name.end(), '_', ' ');
      dialog.clickSide(side);
      if (auto index = presentation::findFacePrefix(dialog.faces(), store::decodeTextBytes(name))) {
        dialog.selectFace(*index);
      }
      dialog.setSizeText(store::decodeTextBytes(std::to_string(size)));
      dialog.setBold(bold != 0);
    }
    return true;
  }
  std::vector<std::u16string> fontFamilies() override {
    return {u"DejaVu Sans", u"DejaVu Sans Mono", u"DejaVu Serif", u"Liberation Sans", u"Tahoma"};
  }
  // Prints the month's counts; no item is chosen from a day.
  std::optional<std::uint16_t> runCalendar(learning::RepetitionsCalendar& calendar,
                                           store::Collection& collection) override {
    line("dialog Calendar");
    const learning::CalendarView view = calendar.view(collection);
    std::string text = "calendar " + escapeText(view.labels.front().text);
    for (const auto& cell : view.cells) {
      if (cell.day != 0 && cell.countText) {
        text += " " + std::to_string(cell.day) + escapeText(cell.countText->text);
      }
    }
    line(text);
    return std::nullopt;
  }
  void runAbout() override {
    line("dialog " + escapeText(shell::kAboutTitle));
    for (const auto& l : shell::aboutLines()) line("about " + escapeText(l.text));
  }
  // The script's typing always ends with the focus loss, so the window holds the focus.
  void focusMainWindow() override {}
  void softKeyboard(bool) override {}
  void launch(std::u16string_view program, std::u16string_view argument) override {
    line("launch " + escapeText(program) + " " + escapeText(argument));
  }
  void requestClose() override { closeRequested = true; }

  bool closeRequested = false;

  std::FILE* out() const { return m_out; }
  void line(const std::string& text) { std::fprintf(m_out, "%s\n", text.c_str()); }

 private:
  std::optional<std::filesystem::path> pickFile(const shell::FileDialog& d) {
    line("dialog " + escapeText(d.title));
    auto a = take("dialog " + escapeText(d.title), {Answer::File, Answer::Cancel});
    if (!a || a->kind == Answer::Cancel) return std::nullopt;
    return std::filesystem::path(a->value);
  }

  std::optional<Answer> take(const std::string& what, std::initializer_list<Answer::Kind> kinds) {
    if (!answers.empty()) {
      for (Answer::Kind k : kinds) {
        if (answers.front().kind == k) {
          Answer a = answers.front();
          answers.pop_front();
          return a;
        }
      }
    }
    if (!failed) {
      line("error: no answer for " + what +
           (answers.empty()
                ? ""
                : std::string(" (next answer: ") + answerName(answers.front().kind) + ")"));
    }
    failed = true;
    return std::nullopt;
  }

  std::FILE* m_out;
};

const std::map<std::string, shell::Key>& keyNames() {
  using shell::Key;
  static const std::map<std::string, Key> names = {
      {"Enter", Key::Enter},   {"Escape", Key::Escape},     {"Up", Key::Up},
      {"Down", Key::Down},     {"Left", Key::Left},         {"Right", Key::Right},
      {"PageUp", Key::PageUp}, {"PageDown", Key::PageDown}, {"Home", Key::Home},
      {"End", Key::End},       {"0", Key::Digit0},          {"1", Key::Digit1},
      {"2", Key::Digit2},      {"3", Key::Digit3},          {"4", Key::Digit4},
      {"5", Key::Digit5},      {"6", Key::Digit6},          {"7", Key::Digit7},
      {"8", Key::Digit8},      {"9", Key::Digit9},          {"Space", Key::Space}};
  return names;
}

const char* modeName(shell::AppMode mode) {
  switch (mode) {
    case shell::AppMode::Idle:
      return "Idle";
    case shell::AppMode::Edit:
      return "Edit";
    case shell::AppMode::LearnQuestion:
      return "LearnQuestion";
    case shell::AppMode::LearnAnswer:
      return "LearnAnswer";
    case shell::AppMode::LearnReview:
      return "LearnReview";
  }
  return "?";
}

void printScreen(ScriptPort& port, const shell::Application& app, const store::Collection& c) {
  const shell::Screen& s = app.screen();
  port.line(std::string("mode ") + modeName(s.mode));
  port.line("position " + std::to_string(c.currentPosition));
  port.line("question " + escapeText(s.panes.question));
  port.line("answer " + escapeText(s.panes.answer));
  const auto& st = s.statistics;
  if (st.visible) {
    port.line("title " + escapeText(st.titleLines[0]) + " | " + escapeText(st.titleLines[1]));
    for (std::size_t i = 0; i < 3; ++i) {
      port.line(escapeText(learning::kStatisticsLabels[i]) + " " +
                escapeText(st.statisticsValues[i]));
    }
    for (std::size_t i = 0; i < 5; ++i) {
      port.line(escapeText(st.itemLabels[i]) + " " + escapeText(st.itemValues[i]));
    }
  } else {
    port.line("statistics hidden");
  }
  std::string buttons = "buttons";
  std::string widths = "widths";
  for (std::size_t i = 0; i < s.buttons.buttons.size(); ++i) {
    const auto& b = s.buttons.buttons[i];
    buttons += " " + escapeText(b.caption) + "=" + std::to_string(b.id);
    if (static_cast<int>(i) == s.buttons.defaultIndex) buttons += "*";
    if (i < s.buttonRects.size()) widths += " " + std::to_string(s.buttonRects[i].width);
  }
  port.line(buttons);
  port.line(widths);
  auto rect = [&port](const char* name, const shell::Rect& r) {
    port.line(std::string("rect ") + name + " " + std::to_string(r.x) + " " + std::to_string(r.y) +
              " " + std::to_string(r.width) + " " + std::to_string(r.height));
  };
  const shell::Layout& l = s.layout;
  rect("question-box", l.questionBox);
  rect("question-pane", l.questionPane);
  rect("answer-box", l.answerBox);
  rect("answer-pane", l.answerPane);
  rect("statistics-box", l.statisticsBox);
  rect("item-box", l.itemBox);
  rect("buttons", l.softButtonRow);
  port.line("style " + escapeText(s.questionStyle) + " | " + escapeText(s.answerStyle));
  std::string enabled = "enabled";
  std::string checked = "checked";
  // The items whose state follows the collection and the mode, in menu order.
  shell::forEachCommand(shell::menuBar(), [&](const shell::MenuEntry& e) {
    if (!s.menus.items.contains(e.id)) return;
    if (s.menus.enabled(e.id)) enabled += " " + std::string(e.name);
    if (s.menus.checked(e.id)) checked += " " + std::string(e.name);
  });
  port.line(enabled);
  port.line(checked);
  std::string recent = "recent";
  for (const auto& item : s.menus.recent) {
    recent += " " + escapeText(item.text) + (item.enabled ? "" : "(grey)");
  }
  port.line(recent);
}

}  // namespace

std::u16string unescapeScriptText(std::string_view text) {
  std::string bytes;
  std::u16string out;
  auto flush = [&] {
    out += store::decodeTextBytes(bytes);
    bytes.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      bytes.push_back(text[i]);
      continue;
    }
    const char e = text[++i];
    if (e == 'u' && i + 4 < text.size()) {
      unsigned value = 0;
      auto [end, ec] = std::from_chars(text.data() + i + 1, text.data() + i + 5, value, 16);
      if (ec == std::errc() && end == text.data() + i + 5) {
        flush();
        out.push_back(static_cast<char16_t>(value));
        i += 4;
        continue;
      }
    }
    const char plain = e == 'r' ? '\r' : e == 'n' ? '\n' : e == 't' ? '\t' : e;
    if (plain == e && e != '\\') bytes.push_back('\\');
    bytes.push_back(plain);
  }
  flush();
  return out;
}

namespace {

// The exit statuses of a script run.
constexpr int kScriptRanThrough = 0;
constexpr int kNotAnInstruction = 2;
constexpr int kUnansweredQuestion = 3;

// The clock a script runs by: a fixed time when the options give one.
class ScriptClock {
 public:
  explicit ScriptClock(const ScriptOptions& options)
      : m_fixed(fixedTime(options)), m_useFixed(options.today || options.now) {}
  const learning::Clock& clock() const {
    return m_useFixed ? static_cast<const learning::Clock&>(m_fixed) : m_system;
  }

 private:
  static learning::LocalTime fixedTime(const ScriptOptions& options) {
    learning::LocalTime fixed{options.today.value_or(learning::CalendarDate{1980, 1, 1}), 0, 0};
    if (options.now) fixed = *options.now;
    if (options.today) fixed.date = *options.today;
    return fixed;
  }
  platform::SystemClock m_system;
  FixedTimeClock m_fixed;
  bool m_useFixed;
};

shell::ApplicationConfig scriptConfig(const ScriptOptions& options) {
  shell::ApplicationConfig config;
  // A 480 x 640 window on its side or upright, with a 13-pixel line and 6-pixel characters.
  config.measures = options.narrow ? shell::ScreenMeasures{13, 6, 480, 640}
                                   : shell::ScreenMeasures{13, 6, 640, 480};
  config.narrowScreen = shell::isNarrowScreen(config.measures);
  config.documentsFolder = platform::documentsFolder();
  return config;
}

// The program as a script drives it: the application over the real files, a fixed or the
// system clock, and a port that prints and takes the script's answers.
class ScriptSession {
 public:
  ScriptSession(std::FILE* out, const ScriptOptions& options)
      : m_clock(options),
        m_port(out),
        m_collection(m_files, m_port, [this] { return learning::today(m_clock.clock()); }),
        m_recentStore(recentStore()),
        m_app(m_collection, m_port, m_random, m_clock.clock(),
              m_recentStore ? &*m_recentStore : nullptr, scriptConfig(options)) {
    m_collection.setSyncClock(platform::monotonicMilliseconds);
    if (options.unicode) m_collection.settings.utf8 = 1;
    m_app.start();
  }

  int run(std::istream& script) {
    std::string text;
    int status = kScriptRanThrough;
    int lineNumber = 0;
    while (status == kScriptRanThrough && !m_port.failed && !m_port.closeRequested &&
           std::getline(script, text)) {
      ++lineNumber;
      if (!text.empty() && text.back() == '\r') text.pop_back();
      if (text.empty() || text[0] == '#') continue;
      const std::size_t space = text.find(' ');
      const std::string rest = space == std::string::npos ? "" : text.substr(space + 1);
      if (!instruction(text.substr(0, space), rest)) {
        status = kNotAnInstruction;
        m_port.line("error: line " + std::to_string(lineNumber) + ": " + text);
      }
    }
    m_app.exitSequence();
    if (status == kScriptRanThrough && !m_port.failed && !m_port.answers.empty()) {
      m_port.line(std::string("error: no question for answer ") +
                  answerName(m_port.answers.front().kind));
      m_port.failed = true;
    }
    std::fflush(m_port.out());
    if (status != kScriptRanThrough) return status;
    return m_port.failed ? kUnansweredQuestion : kScriptRanThrough;
  }

 private:
  static std::optional<platform::XdgRecentFileStore> recentStore() {
    std::optional<platform::XdgRecentFileStore> store;
    if (auto dir = platform::configDirFromEnvironment()) store.emplace(*dir);
    return store;
  }

  // Carries out one instruction; false when the line is none.
  bool instruction(const std::string& word, const std::string& rest) {
    static const std::map<std::string, Answer::Kind> answers = {
        {"yes", Answer::Yes},    {"no", Answer::No},         {"cancel", Answer::Cancel},
        {"file", Answer::File},  {"string", Answer::String}, {"number", Answer::Number},
        {"fonts", Answer::Fonts}};
    if (const auto answer = answers.find(word); answer != answers.end()) {
      const bool plain = answer->second == Answer::Yes || answer->second == Answer::No ||
                         answer->second == Answer::Cancel;
      m_port.answers.push_back({answer->second, plain ? "" : rest});
      return true;
    }
    if (word == "command") return command(rest);
    if (word == "key") {
      const auto key = keyNames().find(rest);
      if (key == keyNames().end()) return false;
      m_app.onKey(key->second);
      return true;
    }
    if (word == "timer") {
      m_app.onTimer();
      return true;
    }
    if (word == "type") return type(rest);
    if (word == "show") {
      printScreen(m_port, m_app, m_collection);
      return true;
    }
    return false;
  }

  bool command(const std::string& rest) {
    unsigned id = 0;
    auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), id);
    if (ec != std::errc() || end != rest.data() + rest.size() || id > 0xFFFF) return false;
    m_app.onCommand(static_cast<CommandId>(id));
    return true;
  }

  // Text typed into one control, which then loses the focus.
  bool type(const std::string& rest) {
    const std::size_t space = rest.find(' ');
    const std::string which = rest.substr(0, space);
    if (which != "question" && which != "answer") return false;
    const std::u16string typed =
        unescapeScriptText(space == std::string::npos ? "" : rest.substr(space + 1));
    const bool question = which == "question";
    m_app.setEditText(question, typed);
    m_app.onCommand(question ? shell::cmd::StoreQuestion : shell::cmd::StoreAnswer,
                    shell::kFocusLost);
    return true;
  }

  platform::PosixFileSystem m_files;
  ScriptClock m_clock;
  ScriptPort m_port;
  store::Collection m_collection;
  learning::LinearRandom m_random;
  std::optional<platform::XdgRecentFileStore> m_recentStore;
  shell::Application m_app;
};

}  // namespace

int runScript(std::istream& script, std::FILE* out, const ScriptOptions& options) {
  return ScriptSession(out, options).run(script);
}

}  // namespace kelvora::cli
