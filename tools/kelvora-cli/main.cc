// kelvora-cli: a companion to the desktop program for scripts and for looking inside
// collections. Opening and closing follow the same procedures as the desktop program.
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "cli_options.h"
#include "exchange/exchange_commands.h"
#include "exchange/xml_update.h"
#include "fixed_time_clock.h"
#include "item_listing.h"
#include "learning/clock.h"
#include "learning/grade_undo.h"
#include "learning/repetitions_calendar.h"
#include "peers/peer_export.h"
#include "peers/peer_import.h"
#include "platform/peer_libraries.h"
#include "platform/posix_file_system.h"
#include "platform/system_clock.h"
#include "script_driver.h"
#include "store/collection.h"
#include "store/collection_opening.h"
#include "store/reset_collection.h"
#include "store/user_texts.h"
#include "store/utf8.h"
#include "terminal_messages.h"

namespace {

using namespace kelvora;

// Exit statuses: done; a collection or file could not be read or written, or the user
// declined; the command line was not understood.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int usageError(const std::string& message) {
  std::fprintf(stderr, "kelvora-cli: %s\n\n%s", message.c_str(), cli::kCliUsage);
  return kExitUsage;
}

// The ports and the one collection of a run.
struct Context {
  explicit Context(const cli::CliOptions& o)
      : options(o),
        dateClock(learning::LocalTime{o.today.value_or(learning::CalendarDate{1980, 1, 1}), 0, 0}),
        nowClock(o.now.value_or(learning::LocalTime{})),
        messages(stdin, stderr),
        collection(files, messages, [this] { return learning::today(clock()); }) {
    messages.setAssumeYes(o.yes);
    collection.setSyncClock(platform::monotonicMilliseconds);
    if (o.unicode) collection.settings.utf8 = 1;
  }

  const learning::Clock& clock() const {
    return options.today ? static_cast<const learning::Clock&>(dateClock) : systemClock;
  }
  exchange::XmlTime now() const {
    learning::LocalTime t = options.now ? nowClock.localTime() : systemClock.localTime();
    return {t.date.year, t.date.month, t.date.day, t.hour, t.minute};
  }

  // Opens the collection at base for a command that works on an existing one; a base path
  // without a texts file is refused rather than created.
  bool open(const std::string& base) {
    if (!collection.collectionExists(base)) {
      std::fprintf(stderr, "kelvora-cli: no collection at %s (%s.kdb cannot be read)\n",
                   base.c_str(), base.c_str());
      return false;
    }
    return store::openCollection(collection, base);
  }

  // Ends a command that opened the collection: closed, output flushed, 1 after any error.
  int close() {
    const bool stored = collection.closeCollection();
    if (std::fflush(stdout) != 0) return kExitFailed;
    return !stored || messages.errorShown() ? kExitFailed : kExitOk;
  }

  const cli::CliOptions& options;
  platform::PosixFileSystem files;
  platform::SystemClock systemClock;
  cli::FixedTimeClock dateClock;
  cli::FixedTimeClock nowClock;
  cli::TerminalMessages messages;
  store::Collection collection;
};

void printLine(std::u16string_view text) {
  std::string line;
  for (char ch : store::encodeUtf8(text)) {
    if (ch != '\r') line.push_back(ch);
  }
  std::printf("%s\n", line.c_str());
}

int info(Context& x, const std::vector<std::string>& a) {
  if (!x.open(a[0])) return kExitFailed;
  std::fputs(cli::collectionInfo(x.collection).c_str(), stdout);
  return x.close();
}

int list(Context& x, const std::vector<std::string>& a) {
  if (!x.open(a[0])) return kExitFailed;
  for (std::uint16_t p = 0; p < x.collection.header.itemCount; ++p) {
    std::printf("%s\n", cli::itemLine(x.collection, p).c_str());
  }
  return x.close();
}

int rebuild(Context& x, const std::vector<std::string>& a) {
  // The table is built anew from the texts file once the collection is held: an index file
  // that another program has open, or that this user may not write, is never touched.
  if (!x.open(a[0])) return kExitFailed;
  if (!x.collection.rebuildIndex()) {
    x.messages.showMessage(store::texts::kRebuildFailed, store::MessageKind::Error);
    x.close();
    return kExitFailed;
  }
  std::printf("%u\n", static_cast<unsigned>(x.collection.header.itemCount));
  return x.close();
}

int reset(Context& x, const std::vector<std::string>& a) {
  if (!x.open(a[0])) return kExitFailed;
  // Declining is no failure; a reset that could not be stored shows its error, which makes the
  // exit status 1.
  (void)store::resetCollection(x.collection);
  return x.close();
}

int grade(Context& x, const std::vector<std::string>& a) {
  auto position = cli::parsePosition(a[1]);
  auto grade = cli::parseGrade(a[2]);
  if (!position) return usageError("POSITION is a number from 0: " + a[1]);
  if (!grade) return usageError("GRADE is 0..5 or Null, Bad, Fail, Pass, Good, Bright");
  if (!x.open(a[0])) return kExitFailed;
  if (*position >= x.collection.header.itemCount) {
    std::fprintf(stderr, "kelvora-cli: no item at position %u (the collection has %u)\n", *position,
                 static_cast<unsigned>(x.collection.header.itemCount));
    x.close();
    return kExitFailed;
  }
  // A grade that could not be stored prints nothing: the item is as it was.
  auto line = cli::gradeItem(x.collection, static_cast<std::uint16_t>(*position), *grade);
  if (line) std::fputs(line->c_str(), stdout);
  const int status = x.close();
  return line ? status : kExitFailed;
}

// Says that an import made a Unicode collection because its source needed one.
void noteUnicodeChosen(const std::string& source) {
  std::fprintf(stderr,
               "kelvora-cli: %s holds characters that Compressed Unicode cannot store; the "
               "new collection is stored in Unicode (--compressed keeps Compressed Unicode)\n",
               source.c_str());
}

// The Import command without its dialogs: the new collection is made beside the source file.
int importFile(Context& x, const std::string& source, exchange::ExchangeKind kind) {
  std::filesystem::path base = source;
  base.replace_extension();
  // A source with characters Compressed Unicode cannot store makes a Unicode collection, unless
  // the user asked for the compressed form. That shows as the source is read; a source that
  // needs no Unicode, the usual one, is read only once.
  const bool unicodeWhenNeeded = !x.options.compressed && x.collection.settings.utf8 == 0;
  auto done =
      exchange::importWithQuestions(x.collection, kind, base,
                                    unicodeWhenNeeded ? exchange::WideCharacters::UnicodeWhenNeeded
                                                      : exchange::WideCharacters::KeepForm);
  if (done && unicodeWhenNeeded && x.collection.settings.utf8 != 0) noteUnicodeChosen(source);
  if (!done) return kExitFailed;
  printLine(*done);
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
}

int exportFile(Context& x, const std::vector<std::string>& a, exchange::ExchangeKind kind) {
  if (!x.collection.collectionExists(a[0])) {
    std::fprintf(stderr, "kelvora-cli: no collection at %s (%s.kdb cannot be read)\n", a[0].c_str(),
                 a[0].c_str());
    return kExitFailed;
  }
  auto done = exchange::exportWithMessages(x.collection, kind, a[0], a[1], x.now());
  if (!done) return kExitFailed;
  printLine(*done);
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
}

// The collection as an Anki package; the new notes' GUIDs go into its links file.
int exportAnki(Context& x, const std::vector<std::string>& a) {
  if (!x.collection.collectionExists(a[0])) {
    std::fprintf(stderr, "kelvora-cli: no collection at %s (%s.kdb cannot be read)\n", a[0].c_str(),
                 a[0].c_str());
    return kExitFailed;
  }
  const peers::PeerExportResult result = peers::exportAnkiPackage(
      x.collection, platform::systemPeerLibraries(), a[0], a[1], std::time(nullptr));
  const std::u16string text = peers::peerExportMessage(result, a[1]);
  if (!result.exported) {
    std::fprintf(stderr, "kelvora-cli: %s\n", store::encodeUtf8(text).c_str());
    return kExitFailed;
  }
  printLine(text);
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
}

// The open collection takes the texts of an XML file's items by ID and its new items, keeping
// every item's progress; prints the result message.
int updateXml(Context& x, const std::vector<std::string>& a) {
  if (!x.open(a[0])) return kExitFailed;
  const auto done = exchange::updateWithMessages(x.collection, a[1]);
  if (done) printLine(*done);
  const int status = x.close();
  return done ? status : kExitFailed;
}

int runScriptFile(Context& x, const std::vector<std::string>& a) {
  cli::ScriptOptions options{x.options.today, x.options.now, x.options.narrow, x.options.unicode};
  if (a[0] == "-") return cli::runScript(std::cin, stdout, options);
  std::ifstream file(a[0]);
  if (!file) {
    std::fprintf(stderr, "kelvora-cli: cannot read %s\n", a[0].c_str());
    return kExitFailed;
  }
  return cli::runScript(file, stdout, options);
}

// Takes back the last N grades and status commands (1 without N) and prints each item as list
// does, once it is back as it was.
int undo(Context& x, const std::vector<std::string>& a) {
  std::size_t wanted = 1;
  if (a.size() > 1) {
    auto n = cli::parsePosition(a[1]);
    if (!n || *n == 0 || *n > store::kUndoCapacity) {
      return usageError("N is a number from 1 to " + std::to_string(store::kUndoCapacity));
    }
    wanted = *n;
  }
  if (!x.open(a[0])) return kExitFailed;
  std::size_t done = 0;
  for (; done < wanted; ++done) {
    const auto position = learning::undoLastStep(x.collection);
    if (!position) break;
    std::printf("%s\n", cli::itemLine(x.collection, *position).c_str());
  }
  if (done < wanted) {
    std::fprintf(stderr, "kelvora-cli: %s\n",
                 done == 0 ? "nothing to undo"
                           : ("only " + std::to_string(done) + " of " + std::to_string(wanted) +
                              " steps could be undone")
                                 .c_str());
  }
  const int status = x.close();
  return done == 0 ? kExitFailed : status;
}

// The steps undo would take back, the next one first.
int history(Context& x, const std::vector<std::string>& a) {
  if (!x.open(a[0])) return kExitFailed;
  const auto& steps = x.collection.undoLog().steps();
  for (std::size_t i = steps.size(); i > 0; --i) {
    std::printf("%s\n", cli::undoStepLine(steps[i - 1], steps.size() - i + 1).c_str());
  }
  return x.close();
}

// The items that fall due on a day, one list line each: those the calendar counts on it,
// today's with the backlog.
int due(Context& x, const std::vector<std::string>& a) {
  std::optional<learning::DayNumber> day;
  if (a.size() > 1) {
    const auto date = cli::parseIsoDate(a[1]);
    if (!date) return usageError("the day is YYYY-MM-DD, 1980-01-01 to 2159-06-04: " + a[1]);
    day = learning::dateToDay(*date);
  }
  if (!x.open(a[0])) return kExitFailed;
  const learning::DayNumber today = x.collection.today();
  for (const std::uint16_t p : learning::itemsOfDay(x.collection, day.value_or(today), today)) {
    std::printf("%s\n", cli::itemLine(x.collection, p).c_str());
  }
  return x.close();
}

// A month of the calendar: each day with a day number, and its count.
int calendar(Context& x, const std::vector<std::string>& a) {
  std::optional<learning::DayNumber> month;
  if (a.size() > 1) {
    month = cli::parseIsoMonth(a[1]);
    if (!month) return usageError("the month is YYYY-MM, 1980-01 to 2159-06: " + a[1]);
  }
  if (!x.open(a[0])) return kExitFailed;
  const learning::DayNumber today = x.collection.today();
  const learning::CalendarView view =
      learning::calendarView(x.collection, month.value_or(learning::firstOfMonth(today)), today);
  for (const learning::CalendarCell& cell : view.cells) {
    const long day = long{view.month} + cell.day - 1;
    if (cell.day == 0 || day > learning::kLastDay) continue;
    const std::string date = store::encodeUtf8(
        learning::isoShortDate(learning::dayToDate(static_cast<learning::DayNumber>(day))));
    std::printf("%s\t%d\n", date.c_str(), cell.count);
  }
  return x.close();
}

// Another learner's file into a new collection at base, with the progress the file keeps, or
// merged into the collection there: its items from the file take the file's new texts.
int importPeer(Context& x, const std::vector<std::string>& a,
               const std::function<peers::PeerImportResult(bool unicodeWhenNeeded)>& run) {
  const bool merging = x.collection.collectionExists(a[1]);
  if (merging && !x.open(a[1])) return kExitFailed;
  const bool unicodeWhenNeeded = !x.options.compressed && x.collection.settings.utf8 == 0;
  const peers::PeerImportResult result = run(unicodeWhenNeeded);
  const std::u16string text = peers::peerImportMessage(result, a[1]);
  const int closed = merging ? x.close() : kExitOk;
  if (result.outcome != peers::PeerImportOutcome::Imported) {
    // A failure to store was shown as it happened; the other reasons are told here.
    if (result.outcome != peers::PeerImportOutcome::NotStored) {
      std::fprintf(stderr, "kelvora-cli: %s\n", store::encodeUtf8(text).c_str());
    }
    return kExitFailed;
  }
  if (!merging && unicodeWhenNeeded && x.collection.settings.utf8 != 0) noteUnicodeChosen(a[0]);
  if (result.replacedUnits > 0) {
    std::fprintf(stderr, "kelvora-cli: %s\n",
                 store::encodeUtf8(store::texts::kReplacedWhileTyping).c_str());
  }
  printLine(text);
  if (std::fflush(stdout) != 0) return kExitFailed;
  return closed;
}

int importAnki(Context& x, const std::vector<std::string>& a) {
  return importPeer(x, a, [&](bool unicode) {
    return peers::importAnkiPackage(x.collection, platform::systemPeerLibraries(), a[0], a[1],
                                    unicode);
  });
}

int importMnemosyne(Context& x, const std::vector<std::string>& a) {
  return importPeer(x, a, [&](bool unicode) {
    return peers::importMnemosyne(x.collection, platform::systemPeerLibraries(), a[0], a[1],
                                  unicode);
  });
}

int importCsv(Context& x, const std::vector<std::string>& a) {
  peers::TableSettings settings;
  settings.separator = static_cast<char16_t>(x.options.separator);
  if (x.options.columns) {
    settings.questionColumn = x.options.columns->first - 1;
    settings.answerColumn = x.options.columns->second - 1;
  }
  return importPeer(x, a, [&](bool unicode) {
    return peers::importTextTable(x.collection, a[0], a[1], settings, unicode);
  });
}

int importKvtml(Context& x, const std::vector<std::string>& a) {
  peers::KvtmlPair pair;
  if (x.options.pair) {
    pair.question = static_cast<int>(x.options.pair->first);
    pair.answer = static_cast<int>(x.options.pair->second);
  }
  return importPeer(x, a, [&](bool unicode) {
    return peers::importKvtml(x.collection, a[0], a[1], pair, unicode);
  });
}

struct Command {
  std::size_t arguments;
  const char* usage;
  std::function<int(Context&, const std::vector<std::string>&)> run;
  std::size_t optional = 0;  // arguments that may follow the others
};

const std::map<std::string, Command>& commands() {
  using exchange::ExchangeKind;
  static const std::map<std::string, Command> table = {
      {"info", {1, "info BASE", info}},
      {"list", {1, "list BASE", list}},
      {"rebuild", {1, "rebuild BASE", rebuild}},
      {"reset", {1, "reset BASE", reset}},
      {"grade", {3, "grade BASE POSITION GRADE", grade}},
      {"undo", {1, "undo BASE [N]", undo, 1}},
      {"history", {1, "history BASE", history}},
      {"due", {1, "due BASE [YYYY-MM-DD]", due, 1}},
      {"calendar", {1, "calendar BASE [YYYY-MM]", calendar, 1}},
      {"import-xml",
       {1, "import-xml PATH.xml",
        [](Context& x, const auto& a) { return importFile(x, a[0], ExchangeKind::Xml); }}},
      {"import-qa",
       {1, "import-qa PATH.txt",
        [](Context& x, const auto& a) { return importFile(x, a[0], ExchangeKind::QaText); }}},
      {"export-xml",
       {2, "export-xml BASE OUT.xml",
        [](Context& x, const auto& a) { return exportFile(x, a, ExchangeKind::Xml); }}},
      {"export-qa",
       {2, "export-qa BASE OUT.txt",
        [](Context& x, const auto& a) { return exportFile(x, a, ExchangeKind::QaText); }}},
      {"export-anki", {2, "export-anki BASE OUT.apkg", exportAnki}},
      {"update-xml", {2, "update-xml BASE FILE.xml", updateXml}},
      {"import-anki", {2, "import-anki FILE.apkg BASE", importAnki}},
      {"import-mnemosyne", {2, "import-mnemosyne FILE.db BASE", importMnemosyne}},
      {"import-csv", {2, "import-csv FILE BASE [--separator C] [--columns Q,A]", importCsv}},
      {"import-kvtml", {2, "import-kvtml FILE BASE [--pair I,J]", importKvtml}},
      {"script", {1, "script FILE", runScriptFile}},
  };
  return table;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto options = cli::parseCliOptions(args, error);
  if (!options) return usageError(error);
  if (options->command == "help") {
    std::fputs(cli::kCliUsage, stdout);
    return kExitOk;
  }
  auto command = commands().find(options->command);
  if (command == commands().end()) return usageError("unknown command " + options->command);
  if (options->args.size() < command->second.arguments ||
      options->args.size() > command->second.arguments + command->second.optional) {
    return usageError(std::string("usage: ") + command->second.usage);
  }
  Context context(*options);
  return command->second.run(context, options->args);
}
