// A "Working" window for tests that records how far the work said it had come and asks it to
// stop at the n-th look at Cancel (never when stopAt is 0).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "store/progress.h"

namespace kelvora::fakes {

class StoppingProgress final : public store::ProgressWindow {
 public:
  int stopAt = 0;
  int looks = 0;  // calls of cancelRequested so far
  std::vector<std::pair<std::uint64_t, std::uint64_t>> completions;

  bool show() override { return true; }
  void hide() override {}
  void setLine(std::u16string_view) override {}
  void setCompletion(std::uint64_t done, std::uint64_t total) override {
    completions.emplace_back(done, total);
  }
  bool cancelRequested() override { return ++looks == stopAt; }
};

}  // namespace kelvora::fakes
