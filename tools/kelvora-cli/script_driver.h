// Runs the application headless from a script: commands, keys, timer ticks, typed texts and
// the answers to whatever the program asks, printing what the user would see.
#pragma once

#include <cstdio>
#include <istream>
#include <optional>
#include <string>

#include "learning/clock.h"

namespace kelvora::cli {

struct ScriptOptions {
  std::optional<learning::CalendarDate> today;
  std::optional<learning::LocalTime> now;
  bool narrow = false;
  bool unicode = false;
};

// Exit status: 0 when the script ran through, 3 when the program asked something the script
// had no answer for or answers were left over, 2 for a line that is not an instruction.
int runScript(std::istream& script, std::FILE* out, const ScriptOptions& options);

// Reads \r, \n, \t, \\ and \uXXXX escapes.
std::u16string unescapeScriptText(std::string_view text);

}  // namespace kelvora::cli
