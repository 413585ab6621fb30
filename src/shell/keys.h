// The keys the main window passes to the command layer.
#pragma once

#include <cstdint>

namespace kelvora::shell {

enum class Key : std::uint8_t {
  Enter,
  Escape,
  Up,
  Down,
  Left,
  Right,
  PageUp,
  PageDown,
  Home,
  End,
  Digit0,
  Digit1,
  Digit2,
  Digit3,
  Digit4,
  Digit5,
  Digit6,
  Digit7,
  Digit8,
  Digit9,
  Space,
};

}  // namespace kelvora::shell
