// zstd decompression with a cap on what comes out, so a small hostile stream cannot fill the
// memory, and a truncated stream is told apart from a complete one.
#include <zstd.h>

#include "platform/peer_libraries.h"

namespace kelvora::platform {

bool zstdDecompress(std::span<const std::uint8_t> in, std::uint64_t limit, peers::Bytes& out,
                    std::string& error) {
  out.clear();
  ZSTD_DStream* stream = ZSTD_createDStream();
  if (stream == nullptr) {
    error = "out of memory";
    return false;
  }
  const unsigned long long declared = ZSTD_getFrameContentSize(in.data(), in.size());
  if (declared != ZSTD_CONTENTSIZE_UNKNOWN && declared != ZSTD_CONTENTSIZE_ERROR) {
    if (declared > limit) {
      ZSTD_freeDStream(stream);
      error = "the compressed data declares " + std::to_string(declared) + " bytes, too many";
      return false;
    }
    out.reserve(static_cast<std::size_t>(declared));
  }
  ZSTD_inBuffer input{in.data(), in.size(), 0};
  std::size_t last = 1;
  std::uint8_t chunk[1 << 16];
  bool ok = true;
  while (input.pos < input.size || last != 0) {
    ZSTD_outBuffer output{chunk, sizeof chunk, 0};
    last = ZSTD_decompressStream(stream, &output, &input);
    if (ZSTD_isError(last) != 0) {
      error = ZSTD_getErrorName(last);
      ok = false;
      break;
    }
    if (out.size() + output.pos > limit) {
      error = "the compressed data holds more than " + std::to_string(limit) + " bytes";
      ok = false;
      break;
    }
    out.insert(out.end(), chunk, chunk + output.pos);
    // Input used up with the frame unfinished and nothing more coming out: truncated.
    if (input.pos == input.size && last != 0 && output.pos < sizeof chunk) {
      error = "the compressed data is cut short";
      ok = false;
      break;
    }
  }
  ZSTD_freeDStream(stream);
  if (!ok) out.clear();
  return ok;
}

}  // namespace kelvora::platform
