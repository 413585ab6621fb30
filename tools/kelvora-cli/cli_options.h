// The command line of kelvora-cli: a subcommand, its arguments, and global options that may
// stand before or after it.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "learning/calendar_date.h"
#include "learning/clock.h"
#include "learning/scheduling.h"

namespace kelvora::cli {

struct CliOptions {
  std::string command;                          // "info", "list", "help"
  std::vector<std::string> args;                // the subcommand's own arguments
  std::optional<learning::CalendarDate> today;  // --today YYYY-MM-DD
  std::optional<learning::LocalTime> now;       // --now "YYYY-MM-DD HH:MM"
  bool unicode = false;                         // --unicode
  bool compressed = false;                      // --compressed
  bool narrow = false;  // --narrow: the script driver lays out a narrow screen
  bool yes = false;     // --yes: questions are answered Yes
  // import-csv: the separator (0: detected) and the question and answer columns, from 0.
  char separator = 0;  // --separator C (one ASCII character, or tab)
  std::optional<std::pair<unsigned, unsigned>> columns;  // --columns Q,A (counted from 1)
  std::optional<std::pair<unsigned, unsigned>> pair;     // --pair I,J: import-kvtml's identifiers
};

// Parses argv (without the program name). On error returns nullopt and sets error.
std::optional<CliOptions> parseCliOptions(const std::vector<std::string>& argv, std::string& error);

// Reads YYYY-MM-DD; a date the day numbers cannot hold (before 1980, past 4 June 2159, or no
// such day) is refused.
std::optional<learning::CalendarDate> parseIsoDate(const std::string& text);

// Reads YYYY-MM: the first day of a month that has day numbers (January 1980 to June 2159).
std::optional<learning::DayNumber> parseIsoMonth(const std::string& text);

// Reads "YYYY-MM-DD HH:MM" with a date parseIsoDate accepts.
std::optional<learning::LocalTime> parseDateTime(const std::string& text);

// A table position: a decimal number below 65536.
std::optional<unsigned> parsePosition(const std::string& text);
// A grade as its number 0..5 or its name, Null, Bad, Fail, Pass, Good or Bright (any case).
std::optional<learning::Grade> parseGrade(const std::string& text);

extern const char kCliUsage[];

}  // namespace kelvora::cli
