// kelvora-cli: a companion to the desktop program for scripts and for looking inside
// collections. Opening and closing follow the same procedures as the desktop program.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli_options.h"
#include "item_listing.h"
#include "learning/clock.h"
#include "platform/posix_file_system.h"
#include "platform/system_clock.h"
#include "store/collection.h"
#include "store/collection_opening.h"
#include "store/reset_collection.h"
#include "terminal_messages.h"

namespace {

using namespace kelvora;

class FixedDateClock final : public learning::Clock {
 public:
  explicit FixedDateClock(learning::CalendarDate date) : m_date(date) {}
  learning::CalendarDate localDate() const override { return m_date; }

 private:
  learning::CalendarDate m_date;
};

int usageError(const std::string& message) {
  std::fprintf(stderr, "kelvora-cli: %s\n\n%s", message.c_str(), cli::kCliUsage);
  return 2;
}

// Opens the collection at base for a command that inspects it; a base path without a texts
// file is refused rather than created.
bool openForInspection(store::Collection& c, const std::string& base) {
  if (!c.collectionExists(base)) {
    std::fprintf(stderr, "kelvora-cli: no collection at %s (%s.kdb cannot be read)\n", base.c_str(),
                 base.c_str());
    return false;
  }
  return store::openCollection(c, base);
}

int run(const cli::CliOptions& options) {
  if (options.command == "help") {
    std::fputs(cli::kCliUsage, stdout);
    return 0;
  }
  static const char* const kCommands[] = {"info", "list", "rebuild", "reset", "grade"};
  if (std::find(std::begin(kCommands), std::end(kCommands), options.command) ==
      std::end(kCommands)) {
    return usageError("unknown command " + options.command);
  }
  const bool grading = options.command == "grade";
  if (options.args.size() != (grading ? 3u : 1u)) {
    return usageError(grading ? "grade takes BASE POSITION GRADE"
                              : options.command + " takes one BASE path");
  }
  const std::string& base = options.args[0];
  std::optional<unsigned> position;
  std::optional<int> grade;
  if (grading) {
    position = cli::parsePosition(options.args[1]);
    grade = cli::parseGrade(options.args[2]);
    if (!position) return usageError("POSITION is a number from 0: " + options.args[1]);
    if (!grade) return usageError("GRADE is 0..5 or Null, Bad, Fail, Pass, Good, Bright");
  }

  platform::PosixFileSystem files;
  platform::SystemClock systemClock;
  std::optional<FixedDateClock> fixedClock;
  if (options.today) fixedClock.emplace(*options.today);
  const learning::Clock& clock =
      fixedClock ? static_cast<const learning::Clock&>(*fixedClock) : systemClock;
  cli::TerminalMessages messages(stdin, stderr);
  messages.setAssumeYes(options.yes);
  store::Collection c(files, messages, [&clock] { return learning::today(clock); });
  if (options.unicode) c.settings.utf8 = 1;

  // Without its index file, opening a collection builds the item table anew.
  if (options.command == "rebuild" && c.collectionExists(base))
    files.remove(store::indexPath(base));
  if (!openForInspection(c, base)) return 1;
  if (options.command == "rebuild") {
    std::fprintf(stdout, "%u\n", static_cast<unsigned>(c.header.itemCount));
  } else if (options.command == "reset") {
    store::resetCollection(c);
  } else if (grading) {
    if (*position >= c.header.itemCount) {
      std::fprintf(stderr, "kelvora-cli: no item at position %u (the collection has %u)\n",
                   *position, static_cast<unsigned>(c.header.itemCount));
      c.closeCollection();
      return 1;
    }
    std::fputs(cli::gradeItem(c, static_cast<std::uint16_t>(*position), *grade).c_str(), stdout);
  } else if (options.command == "info") {
    std::fputs(cli::collectionInfo(c).c_str(), stdout);
  } else {
    for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
      std::string line = cli::itemLine(c, p);
      std::fprintf(stdout, "%s\n", line.c_str());
    }
  }
  c.closeCollection();
  if (std::fflush(stdout) != 0) return 1;
  return messages.errorShown() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto options = cli::parseCliOptions(args, error);
  if (!options) return usageError(error);
  return run(*options);
}
