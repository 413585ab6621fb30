// The message port on a terminal: messages go to stderr, questions are answered on stdin
// (or answered Yes in advance by an option such as --yes).
#pragma once

#include <cstdio>

#include "store/message_port.h"

namespace kelvora::cli {

class TerminalMessages final : public store::MessagePort {
 public:
  TerminalMessages(std::FILE* in, std::FILE* out) : m_in(in), m_out(out) {}

  void showMessage(std::u16string_view text, store::MessageKind kind) override;
  bool askYesNo(std::u16string_view question, store::DefaultAnswer byDefault) override;

  bool errorShown() const { return m_errorShown; }
  void setAssumeYes(bool yes) { m_assumeYes = yes; }

 private:
  std::FILE* m_in;
  std::FILE* m_out;
  bool m_errorShown = false;
  bool m_assumeYes = false;
};

}  // namespace kelvora::cli
