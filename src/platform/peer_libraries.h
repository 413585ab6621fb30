// The libraries behind the peers' ports on this system: libzip for packages, SQLite for the
// collections inside them and for databases on disk, zstd for the newest packages,
// std::filesystem for a folder's files, and the C library's time zone for the local day of a
// review and the start of a day.
#pragma once

#include "peers/peer_ports.h"

namespace kelvora::platform {

peers::PeerLibraries systemPeerLibraries();

// The adapters one by one, for tests that want the real library behind a single port.
std::unique_ptr<peers::Archive> openZipArchive(const std::filesystem::path& path,
                                               std::string& error);
std::unique_ptr<peers::Database> openSqliteImage(std::span<const std::uint8_t> image,
                                                 std::string& error);
std::unique_ptr<peers::Database> openSqliteFile(const std::filesystem::path& path,
                                                std::string& error);
bool zstdDecompress(std::span<const std::uint8_t> in, std::uint64_t limit, peers::Bytes& out,
                    std::string& error);
std::uint16_t localDayOf(std::int64_t unixSeconds);
std::unique_ptr<peers::NewDatabase> createSqliteDatabase(std::string& error);
bool writeZipArchive(const std::filesystem::path& path,
                     const std::vector<peers::ArchiveSource>& entries, std::string& error);
bool listPlainFiles(const std::filesystem::path& folder, std::vector<std::string>& names,
                    std::string& error);
std::int64_t dayStartOf(std::uint16_t day);

}  // namespace kelvora::platform
