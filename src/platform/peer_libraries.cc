// The peers' ports over the system's libraries, and the local calendar through the C library.
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

std::int64_t dayStartOf(std::uint16_t day) {
  const learning::CalendarDate date = learning::dayToDate(day);
  std::tm local{};
  local.tm_year = date.year - 1900;
  local.tm_mon = date.month - 1;
  local.tm_mday = date.day;
  local.tm_isdst = -1;  // whichever of summer and winter time holds then
  // Where the clocks skip midnight, mktime gives the first moment after the gap: the same day.
  // 29 February 2100, which our calendar has and the C library's does not, becomes 1 March.
  const std::time_t t = std::mktime(&local);
  if (t == static_cast<std::time_t>(-1)) {
    // No time zone to be had (or a moment outside time_t): the day in UTC.
    return (std::int64_t{day} + 3651) * 86400;
  }
  return static_cast<std::int64_t>(t);
}

peers::PeerLibraries systemPeerLibraries() {
  peers::PeerLibraries libraries;
  libraries.openArchive = openZipArchive;
  libraries.openDatabaseImage = openSqliteImage;
  libraries.openDatabaseFile = openSqliteFile;
  libraries.decompress = zstdDecompress;
  libraries.localDay = localDayOf;
  libraries.createDatabase = createSqliteDatabase;
  libraries.writeArchive = writeZipArchive;
  libraries.listFolder = listPlainFiles;
  libraries.dayStart = dayStartOf;
  return libraries;
}

}  // namespace kelvora::platform
