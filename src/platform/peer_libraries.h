// The libraries behind the peers' ports on this system: libzip for packages, SQLite for the
// collections inside them and for databases on disk, zstd for the newest packages, and the C
// library's time zone for the local day of a review.
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

}  // namespace kelvora::platform
