// Reading and writing a collection's settings file: one "key value(s)" line per setting,
// UTF-8 with CR LF line ends through the text stream.
#include "store/settings.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "store/atomic_file.h"
#include "store/text_stream.h"
#include "store/utf16_text.h"
#include "store/utf8.h"

namespace kelvora::store {

namespace {

enum class Key { QuestionFont, AnswerFont, Utf8, Html, Ratio };

// In the order a first word is tried against them: an abbreviation takes the first key it
// begins.
constexpr std::array<std::pair<std::u16string_view, Key>, 5> kKeys = {{
    {u"QuestionFont", Key::QuestionFont},
    {u"AnswerFont", Key::AnswerFont},
    {u"UTF8", Key::Utf8},
    {u"HTML", Key::Html},
    {u"Ratio", Key::Ratio},
}};

// The first word selects the first key it is a leading part of. An empty first word (a line
// opening with a space) selects nothing, so an indented line cannot land on the first key.
std::optional<Key> matchKey(std::u16string_view word) {
  if (word.empty()) return std::nullopt;
  for (const auto& [name, key] : kKeys) {
    if (name.starts_with(word)) return key;
  }
  return std::nullopt;
}

// Pulls whitespace-separated values off a line the way a formatted read does: each value
// skips the whitespace before it, and a value that does not parse consumes nothing.
class ValueCursor {
 public:
  explicit ValueCursor(std::u16string_view text) : m_text(text) {}

  std::optional<std::u16string> word() {
    skipSpace();
    std::size_t end = m_pos;
    while (end < m_text.size() && !isWhiteSpace(m_text[end])) ++end;
    if (end == m_pos) return std::nullopt;
    std::u16string result(m_text.substr(m_pos, end - m_pos));
    m_pos = end;
    return result;
  }

  // A decimal integer with an optional sign. Values beyond 32 bits wrap around rather than
  // fail, so any digits a file holds give some value.
  std::optional<std::int32_t> integer() {
    skipSpace();
    std::size_t pos = m_pos;
    bool negative = false;
    if (pos < m_text.size() && (m_text[pos] == u'+' || m_text[pos] == u'-')) {
      negative = m_text[pos] == u'-';
      ++pos;
    }
    const std::size_t digitsBegin = pos;
    std::uint32_t magnitude = 0;
    while (pos < m_text.size() && isAsciiDigit(m_text[pos])) {
      magnitude = magnitude * 10u + static_cast<std::uint32_t>(m_text[pos] - u'0');
      ++pos;
    }
    if (pos == digitsBegin) return std::nullopt;
    m_pos = pos;
    if (negative) magnitude = 0u - magnitude;
    return static_cast<std::int32_t>(magnitude);
  }

 private:
  void skipSpace() {
    while (m_pos < m_text.size() && isWhiteSpace(m_text[m_pos])) ++m_pos;
  }

  std::u16string_view m_text;
  std::size_t m_pos = 0;
};

// Underscores stand for spaces in the file; the face is cut to the length the font field
// holds, never between the two halves of a surrogate pair.
std::u16string faceFromFile(std::u16string face) {
  for (char16_t& c : face) {
    if (c == u'_') c = u' ';
  }
  return cutWithinUnits(std::move(face), kMaxFaceLength);
}

// Any whitespace in a face would split it into two words on reading, so all of it goes out as
// "_" (and reads back as spaces). An empty face could not be read back at all; it is written
// as the default face, which is also what a collection without that line gets.
std::u16string faceForFile(std::u16string_view face) {
  std::u16string result = face.empty() ? FontSetting().face : std::u16string(face);
  for (char16_t& c : result) {
    if (isWhiteSpace(c)) c = u'_';
  }
  return result;
}

void readFont(ValueCursor& values, FontSetting& font) {
  std::optional<std::u16string> face = values.word();
  if (!face) return;
  font.face = faceFromFile(std::move(*face));
  std::optional<std::int32_t> size = values.integer();
  if (!size) return;
  font.size = *size;
  if (std::optional<std::int32_t> weight = values.integer()) font.weight = *weight;
}

void readByte(ValueCursor& values, std::uint8_t& setting) {
  if (std::optional<std::int32_t> value = values.integer()) {
    setting = static_cast<std::uint8_t>(static_cast<std::uint32_t>(*value) & 0xFF);
  }
}

void applyLine(std::u16string_view line, Settings& settings) {
  const std::size_t space = line.find(u' ');
  if (space == std::u16string_view::npos) return;
  const std::optional<Key> key = matchKey(line.substr(0, space));
  if (!key) return;
  ValueCursor values(line.substr(space));
  switch (*key) {
    case Key::QuestionFont:
      readFont(values, settings.questionFont);
      break;
    case Key::AnswerFont:
      readFont(values, settings.answerFont);
      break;
    case Key::Utf8:
      readByte(values, settings.utf8);
      break;
    case Key::Html:
      readByte(values, settings.html);
      break;
    case Key::Ratio:
      readByte(values, settings.ratio);
      break;
  }
}

std::u16string fontLine(std::u16string_view key, const FontSetting& font) {
  return std::u16string(key) + u' ' + faceForFile(font.face) + u' ' + decimalText(font.size) +
         u' ' + decimalText(font.weight) + u'\n';
}

std::u16string byteLine(std::u16string_view key, std::uint8_t value) {
  return std::u16string(key) + u' ' + decimalText(value) + u'\n';
}

}  // namespace

std::filesystem::path settingsPath(const std::filesystem::path& base) {
  return withSuffix(base, ".cfg");
}

void Settings::resetFonts() {
  questionFont = FontSetting();
  answerFont = FontSetting();
}

void readSettings(Settings& settings, FileSystem& files, const std::filesystem::path& basePath) {
  settings.resetFonts();
  std::optional<TextReader> reader = openTextReader(files, settingsPath(basePath));
  if (!reader) {
    settings.settingsChanged = true;
    return;
  }
  std::u16string line;
  while (reader->readLine(line)) applyLine(line, settings);
  settings.settingsChanged = false;
}

namespace {

// The five lines, each ended by "\n", which the file holds as CR LF.
std::u16string settingsLines(const Settings& settings) {
  return fontLine(u"QuestionFont", settings.questionFont) +
         fontLine(u"AnswerFont", settings.answerFont) + byteLine(u"UTF8", settings.utf8) +
         byteLine(u"HTML", settings.html) + byteLine(u"Ratio", settings.ratio);
}

}  // namespace

bool writeSettings(Settings& settings, FileSystem& files, const std::filesystem::path& basePath) {
  std::optional<TextWriter> writer = createTextWriter(files, settingsPath(basePath));
  if (!writer) return false;
  writer->write(settingsLines(settings));
  if (!writer->close()) return false;
  settings.settingsChanged = false;
  return true;
}

IoResult stageSettings(const Settings& settings, FileSystem& files,
                       const std::filesystem::path& basePath) {
  std::string bytes;
  for (char c : encodeUtf8(settingsLines(settings))) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return writeWholeFile(files, settingsPath(basePath), bytes, WholeFile::Stage);
}

}  // namespace kelvora::store
