// The peers' ports over the system's libraries.
#include "platform/peer_libraries.h"

#include <ctime>

#include "learning/calendar_date.h"

namespace kelvora::platform {

std::uint16_t localDayOf(std::int64_t unixSeconds) {
  const auto t = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return 0;
  const int year = local.tm_year + 1900;
  if (year < 1980) return learning::kFirstDay;
  if (year > 2159) return learning::kLastDay;
  return learning::dateToDay(static_cast<std::uint16_t>(year),
                             static_cast<std::uint16_t>(local.tm_mon + 1),
                             static_cast<std::uint16_t>(local.tm_mday));
}

peers::PeerLibraries systemPeerLibraries() {
  peers::PeerLibraries libraries;
  libraries.openArchive = openZipArchive;
  libraries.openDatabaseImage = openSqliteImage;
  libraries.openDatabaseFile = openSqliteFile;
  libraries.decompress = zstdDecompress;
  libraries.localDay = localDayOf;
  return libraries;
}

}  // namespace kelvora::platform
