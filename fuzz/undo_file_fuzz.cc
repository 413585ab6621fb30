// Any bytes as an undo file: reading never crashes, and every step read back encodes to bytes
// that read as the same step again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "store/undo_log.h"

using namespace kelvora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto steps = store::parseUndoFile(std::span<const std::uint8_t>(data, size));
  if (steps.size() > store::kUndoCapacity) std::abort();
  for (const store::UndoStep& step : steps) {
    const auto bytes = store::encodeUndoStep(step);
    const auto again = store::decodeUndoStep(bytes);
    if (!again || !(*again == step)) std::abort();
  }
  return 0;
}
