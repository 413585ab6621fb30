// kelvora-cli: a companion to the desktop program for scripts and for looking inside
// collections. Opening and closing follow the same procedures as the desktop program.
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
  if (options.command != "info" && options.command != "list") {
    return usageError("unknown command " + options.command);
  }
  if (options.args.size() != 1) return usageError(options.command + " takes one BASE path");
  const std::string& base = options.args[0];

  platform::PosixFileSystem files;
  platform::SystemClock systemClock;
  std::optional<FixedDateClock> fixedClock;
  if (options.today) fixedClock.emplace(*options.today);
  const learning::Clock& clock =
      fixedClock ? static_cast<const learning::Clock&>(*fixedClock) : systemClock;
  cli::TerminalMessages messages(stdin, stderr);
  store::Collection c(files, messages, [&clock] { return learning::today(clock); });
  if (options.unicode) c.settings.utf8 = 1;

  if (!openForInspection(c, base)) return 1;
  if (options.command == "info") {
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
