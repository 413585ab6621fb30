// A message port for tests: records every message and question, and answers questions from a
// queue (Yes when the queue is empty).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "store/message_port.h"

namespace kelvora::fakes {

class RecordingMessages final : public store::MessagePort {
 public:
  struct Shown {
    std::u16string text;
    store::MessageKind kind;
  };
  std::vector<Shown> shown;
  std::vector<std::u16string> asked;
  std::deque<bool> answers;
  std::vector<store::DefaultAnswer> defaults;  // what each question offered for Enter

  void showMessage(std::u16string_view text, store::MessageKind kind) override {
    shown.push_back({std::u16string(text), kind});
  }
  bool askYesNo(std::u16string_view question, store::DefaultAnswer byDefault) override {
    asked.emplace_back(question);
    defaults.push_back(byDefault);
    if (answers.empty()) return true;
    bool a = answers.front();
    answers.pop_front();
    return a;
  }

  std::vector<std::u16string> texts() const {
    std::vector<std::u16string> out;
    for (const auto& s : shown) out.push_back(s.text);
    return out;
  }
};

}  // namespace kelvora::fakes
