// How the store speaks to the user: modal messages with the program's caption, and yes/no
// questions. The desktop program shows message boxes; the command-line tool writes to the
// terminal; tests record what was said.
#pragma once

#include <string_view>

namespace kelvora::store {

enum class MessageKind {
  Error,        // the stop icon
  Information,  // results and notices
};

enum class DefaultAnswer { Yes, No };

class MessagePort {
 public:
  virtual ~MessagePort() = default;
  virtual void showMessage(std::u16string_view text, MessageKind kind) = 0;
  // A question with Yes and No; true for Yes. byDefault is the answer Enter gives: No for the
  // questions whose Yes destroys data, so that a key pressed a moment too early keeps it.
  virtual bool askYesNo(std::u16string_view question, DefaultAnswer byDefault) = 0;
};

}  // namespace kelvora::store
