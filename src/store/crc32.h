// CRC-32 (the polynomial of zip and PNG), for telling whole journal entries from torn ones.
#pragma once

#include <cstdint>
#include <span>

namespace kelvora::store {

// Continues a running CRC; start with crc 0.
std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

}  // namespace kelvora::store
