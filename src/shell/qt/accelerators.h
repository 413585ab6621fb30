// The keyboard accelerators: Ctrl with a letter, reaching their command from anywhere in the
// main window, the edit controls included (Ctrl+X finds the next match instead of cutting).
#pragma once

#include <QKeyEvent>
#include <Qt>
#include <array>
#include <optional>

#include "shell/command_ids.h"

namespace kelvora::qt {

struct Accelerator {
  Qt::Key key;  // pressed with Ctrl
  shell::CommandId command;
};

inline constexpr std::array<Accelerator, 9> kAccelerators = {{
    {Qt::Key_A, shell::cmd::AddNew},
    {Qt::Key_E, shell::cmd::Edit},
    {Qt::Key_F, shell::cmd::Find},
    {Qt::Key_G, shell::cmd::GoTo},
    {Qt::Key_L, shell::cmd::Learn},
    {Qt::Key_N, shell::cmd::New},
    {Qt::Key_O, shell::cmd::Open},
    {Qt::Key_W, shell::cmd::Calendar},
    {Qt::Key_X, shell::cmd::FindNext},
}};

// The command of a key event that is one of the accelerators.
inline std::optional<shell::CommandId> acceleratorCommand(const QKeyEvent& event) {
  const auto mods = event.modifiers() & ~Qt::KeypadModifier;
  if (mods != Qt::ControlModifier) return std::nullopt;
  for (const Accelerator& a : kAccelerators) {
    if (event.key() == a.key) return a.command;
  }
  return std::nullopt;
}

}  // namespace kelvora::qt
