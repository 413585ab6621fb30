// Option parsing for kelvora-cli.
#include "cli_options.h"

#include <cctype>
#include <charconv>

namespace kelvora::cli {

const char kCliUsage[] =
    "usage: kelvora-cli [--today YYYY-MM-DD] [--unicode | --compressed] [--yes] COMMAND BASE ...\n"
    "\n"
    "BASE is a collection's path without extension (BASE.kdb, BASE.kbi, BASE.cfg).\n"
    "\n"
    "commands:\n"
    "  info BASE   the index header fields and the four counters, one 'name: value' per line\n"
    "  list BASE   one line per item in table order, tab-separated: position, status,\n"
    "              interval, lastRepetition, aFactor, repetitions, lapses, item ID,\n"
    "              slotNumber, recordOffset, question, answer ('-' where an item has no\n"
    "              record); texts escaped as \\r \\n \\t \\\\ and \\uXXXX\n"
    "  rebuild BASE  deletes the index file and opens the collection, which builds the\n"
    "              item table anew from the texts file; prints the item count\n"
    "  reset BASE  returns every item to new material (asks first unless --yes)\n"
    "  grade BASE POSITION GRADE\n"
    "              grades the item at POSITION as a learning step does (GRADE 0..5 or\n"
    "              Null, Bad, Fail, Pass, Good, Bright), writes it and prints its line\n"
    "  undo BASE [N]  takes back the last N grades, forgets, remembers and dismisses (1\n"
    "              without N, at most 100 are kept) and prints each item's line\n"
    "  history BASE  the steps undo takes back, the next one first, tab-separated: number,\n"
    "              position, what (grade 0..5, forget, remember, dismiss), then status,\n"
    "              interval and repetitions before and after\n"
    "  due BASE [YYYY-MM-DD]  the items due that day (today without a date, overdue\n"
    "              items with today's), one line each as list prints them\n"
    "  calendar BASE [YYYY-MM]  the month's days (this month without one), each with the\n"
    "              number of items due: YYYY-MM-DD, a tab and the count\n"
    "  import-xml PATH.xml, import-qa PATH.txt\n"
    "              imports PATH.xml or PATH.txt into a new collection at PATH (asks before\n"
    "              overwriting one unless --yes); the new collection's first opening builds\n"
    "              its index\n"
    "  export-xml BASE OUT.xml, export-qa BASE OUT.txt\n"
    "              exports the collection at BASE\n"
    "  export-anki BASE OUT.apkg  the collection at BASE as an Anki package: a Basic\n"
    "              note per item with its progress, and the files of BASE_media\n"
    "  update-xml BASE FILE.xml  items of BASE whose ID an element of FILE.xml has take\n"
    "              its question and answer and keep their learning data; the other\n"
    "              elements are added; prints how many items were updated, added and\n"
    "              left alone\n"
    "  import-anki FILE.apkg BASE  makes a new collection at BASE from an Anki package\n"
    "              (.apkg or .colpkg, any of its three collection forms), one item per\n"
    "              card with its progress; prints what was imported and what was not kept\n"
    "  import-mnemosyne FILE.db BASE  a new collection at BASE from a Mnemosyne 2\n"
    "              database (read, never written): one item per card with its progress\n"
    "  import-csv FILE BASE [--separator C] [--columns Q,A]\n"
    "              a new collection at BASE from a text table (CSV, TSV, a text export):\n"
    "              one new item per row, columns 1 and 2 unless --columns names others\n"
    "  import-kvtml FILE BASE [--pair I,J]\n"
    "              a new collection at BASE from a KVTML 2 file: one item per entry, the\n"
    "              texts of identifiers I and J (the first two unless given) and the\n"
    "              progress of that direction\n"
    "              These four merge into a BASE that exists: the items that came from\n"
    "              the same source take its new texts and keep their progress, and its\n"
    "              new cards are added\n"
    "  script FILE runs the program without a window from FILE (- for standard input):\n"
    "              command N, key NAME, timer, type question|answer TEXT, show, and the\n"
    "              answers yes, no, cancel, file PATH, string TEXT, number N\n"
    "  help        this text\n"
    "\n"
    "options (before or after the command):\n"
    "  --today YYYY-MM-DD  take this date as today for the run\n"
    "  --yes               answer Yes to every question\n"
    "  --narrow            script: the narrow (portrait) screen instead of the wide one\n"
    "  --now \"YYYY-MM-DD HH:MM\"  the time written into an exported XML document\n"
    "  --unicode           store texts as Unicode instead of Compressed Unicode\n"
    "                      (the encoding in force when a collection has no settings file)\n"
    "  --compressed        import: keep Compressed Unicode even where the source holds\n"
    "                      characters it cannot store (they become '?')\n";

std::optional<learning::CalendarDate> parseIsoDate(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  auto number = [&](std::size_t from, std::size_t len) -> std::optional<unsigned> {
    unsigned v = 0;
    auto [end, ec] = std::from_chars(text.data() + from, text.data() + from + len, v);
    if (ec != std::errc() || end != text.data() + from + len) return std::nullopt;
    return v;
  };
  auto y = number(0, 4), m = number(5, 2), d = number(8, 2);
  if (!y || !m || !d || *m < 1 || *m > 12 || *d < 1) return std::nullopt;
  learning::CalendarDate date{static_cast<std::uint16_t>(*y), static_cast<std::uint8_t>(*m),
                              static_cast<std::uint8_t>(*d)};
  // Only dates that survive the round trip through a day number are accepted.
  learning::DayNumber n = learning::dateToDay(date);
  if (n == 0) return std::nullopt;
  learning::CalendarDate back = learning::dayToDate(n);
  if (back.year != date.year || back.month != date.month || back.day != date.day) {
    return std::nullopt;
  }
  return date;
}

std::optional<learning::DayNumber> parseIsoMonth(const std::string& text) {
  if (text.size() != 7) return std::nullopt;
  const auto first = parseIsoDate(text + "-01");
  if (!first) return std::nullopt;
  return learning::dateToDay(*first);
}

std::optional<learning::LocalTime> parseDateTime(const std::string& text) {
  if (text.size() != 16 || text[10] != ' ' || text[13] != ':') return std::nullopt;
  auto date = parseIsoDate(text.substr(0, 10));
  auto hour = parsePosition(text.substr(11, 2));
  auto minute = parsePosition(text.substr(14, 2));
  if (!date || !hour || !minute || *hour > 23 || *minute > 59) return std::nullopt;
  return learning::LocalTime{*date, static_cast<int>(*hour), static_cast<int>(*minute)};
}

std::optional<unsigned> parsePosition(const std::string& text) {
  unsigned v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v > 0xFFFF) {
    return std::nullopt;
  }
  return v;
}

std::optional<learning::Grade> parseGrade(const std::string& text) {
  static const char* const kNames[] = {"null", "bad", "fail", "pass", "good", "bright"};
  if (text.size() == 1) {
    if (auto grade = learning::gradeFromNumber(text[0] - '0')) return grade;
  }
  std::string lower;
  for (char ch : text)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(ch))));
  for (int g = learning::kLowestGrade; g <= learning::kHighestGrade; ++g) {
    if (lower == kNames[g]) return learning::gradeFromNumber(g);
  }
  return std::nullopt;
}

namespace {

// "N,M" of two decimal numbers, each at least least.
std::optional<std::pair<unsigned, unsigned>> parseNumberPair(const std::string& text,
                                                             unsigned least) {
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos) return std::nullopt;
  unsigned first = 0;
  unsigned second = 0;
  const char* end = text.data() + text.size();
  auto [p1, e1] = std::from_chars(text.data(), text.data() + comma, first);
  auto [p2, e2] = std::from_chars(text.data() + comma + 1, end, second);
  if (e1 != std::errc() || p1 != text.data() + comma || e2 != std::errc() || p2 != end ||
      comma == 0 || comma + 1 == text.size() || first < least || second < least || first > 1000 ||
      second > 1000) {
    return std::nullopt;
  }
  return std::pair{first, second};
}

}  // namespace

std::optional<CliOptions> parseCliOptions(const std::vector<std::string>& argv,
                                          std::string& error) {
  CliOptions options;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (a == "--help" || a == "-h") {
      options.command = "help";
      return options;
    }
    if (a == "--unicode") {
      options.unicode = true;
    } else if (a == "--compressed") {
      options.compressed = true;
    } else if (a == "--yes") {
      options.yes = true;
    } else if (a == "--narrow") {
      options.narrow = true;
    } else if (a == "--separator") {
      const std::string value = i + 1 < argv.size() ? argv[i + 1] : std::string();
      if (value == "tab" || value == "\\t") {
        options.separator = '\t';
      } else if (value.size() == 1 && value[0] > ' ' && value[0] < 0x7F && value[0] != '"') {
        options.separator = value[0];
      } else {
        error = "--separator needs one character (or tab)";
        return std::nullopt;
      }
      ++i;
    } else if (a == "--columns" || a == "--pair") {
      const auto numbers = i + 1 < argv.size()
                               ? parseNumberPair(argv[i + 1], a == "--columns" ? 1 : 0)
                               : std::nullopt;
      if (!numbers) {
        error = a == "--columns" ? "--columns needs two column numbers from 1: Q,A"
                                 : "--pair needs two identifier numbers: I,J";
        return std::nullopt;
      }
      (a == "--columns" ? options.columns : options.pair) = numbers;
      ++i;
    } else if (a == "--now") {
      if (i + 1 >= argv.size() || !(options.now = parseDateTime(argv[i + 1]))) {
        error = "--now needs a time \"YYYY-MM-DD HH:MM\"";
        return std::nullopt;
      }
      ++i;
    } else if (a == "--today" || a.rfind("--today=", 0) == 0) {
      std::string value;
      if (a == "--today") {
        if (i + 1 >= argv.size()) {
          error = "--today needs a date (YYYY-MM-DD)";
          return std::nullopt;
        }
        value = argv[++i];
      } else {
        value = a.substr(8);
      }
      options.today = parseIsoDate(value);
      if (!options.today) {
        error = "--today: not a date between 1980-01-01 and 2159-06-04: " + value;
        return std::nullopt;
      }
    } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      error = "unknown option " + a;
      return std::nullopt;
    } else if (options.command.empty()) {
      options.command = a;
    } else {
      options.args.push_back(a);
    }
  }
  if (options.command.empty()) {
    error = "no command given";
    return std::nullopt;
  }
  return options;
}

}  // namespace kelvora::cli
