// Messages as lines on the terminal, in UTF-8.
#include "terminal_messages.h"

#include <string>

#include "store/utf8.h"

namespace kelvora::cli {
namespace {

// Message texts use CR LF and LF as line breaks; a terminal wants LF only.
std::string terminalText(std::u16string_view text) {
  std::string out;
  for (char c : store::encodeUtf8(text)) {
    if (c != '\r') out.push_back(c);
  }
  return out;
}

}  // namespace

void TerminalMessages::showMessage(std::u16string_view text, store::MessageKind kind) {
  if (kind == store::MessageKind::Error) m_errorShown = true;
  std::fprintf(m_out, "%s\n", terminalText(text).c_str());
  std::fflush(m_out);
}

// A terminal answers No to every question left blank, whatever the window would offer.
bool TerminalMessages::askYesNo(std::u16string_view question, store::DefaultAnswer) {
  if (m_assumeYes) return true;
  std::fprintf(m_out, "%s [y/N] ", terminalText(question).c_str());
  std::fflush(m_out);
  char line[64] = {};
  if (!std::fgets(line, sizeof line, m_in)) return false;
  return line[0] == 'y' || line[0] == 'Y';
}

}  // namespace kelvora::cli
