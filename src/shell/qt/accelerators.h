// The menu model's accelerators as Qt keys: Ctrl with a letter reaches its command from
// anywhere in the main window, the edit controls included.
#pragma once

#include <QKeyEvent>
#include <QKeySequence>
#include <Qt>
#include <optional>

#include "shell/menu_model.h"

namespace kelvora::qt {

inline QKeySequence acceleratorKeys(char letter) {
  return QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_A + (letter - 'A')));
}

// The command of a key event that is one of the accelerators.
inline std::optional<shell::CommandId> acceleratorCommand(const QKeyEvent& event) {
  const auto mods = event.modifiers() & ~Qt::KeypadModifier;
  if (mods != Qt::ControlModifier) return std::nullopt;
  if (event.key() < Qt::Key_A || event.key() > Qt::Key_Z) return std::nullopt;
  return shell::acceleratorCommand(static_cast<char>('A' + (event.key() - Qt::Key_A)));
}

}  // namespace kelvora::qt
