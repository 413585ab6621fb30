// The overlay of journaled bytes against a plain byte array: any mix of overlapping, touching
// and nested writes reads back as the array says, and runs never overlap.
#include "store/pending_writes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace kelvora::store {
namespace {

TEST(PendingWrites, AgreesWithAPlainArrayForAnyMixOfWrites) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    PendingWrites pending;
    Bytes model(320, 0);
    std::vector<bool> written(320, false);
    for (int w = 0; w < 40; ++w) {
      const std::size_t at = random() % 250;
      const std::size_t n = 1 + random() % (round % 2 ? 8 : 60);
      Bytes bytes(n);
      for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
      pending.add(at, bytes);
      std::copy(bytes.begin(), bytes.end(), model.begin() + static_cast<std::ptrdiff_t>(at));
      std::fill(written.begin() + static_cast<std::ptrdiff_t>(at),
                written.begin() + static_cast<std::ptrdiff_t>(at + n), true);
    }
    Bytes read(320, 0);
    pending.overlay(0, read);
    std::size_t count = 0;
    std::uint64_t lastEnd = 0;
    bool first = true;
    pending.forEach([&](std::uint64_t offset, std::span<const std::uint8_t> run) {
      EXPECT_TRUE(first || offset >= lastEnd) << "runs overlap";
      first = false;
      lastEnd = offset + run.size();
      count += run.size();
    });
    EXPECT_EQ(count, pending.byteCount()) << round;
    EXPECT_EQ(count, static_cast<std::size_t>(std::count(written.begin(), written.end(), true)));
    for (std::size_t i = 0; i < model.size(); ++i) {
      if (written[i]) {
        ASSERT_EQ(read[i], model[i]) << "round " << round << " byte " << i;
      }
    }
    // A read of part of the range sees the same bytes.
    Bytes part(50, 0);
    pending.overlay(100, part);
    for (std::size_t i = 0; i < part.size(); ++i) {
      if (written[100 + i]) {
        ASSERT_EQ(part[i], model[100 + i]);
      }
    }
  }
}

TEST(PendingWrites, AbsorbLetsTheLaterWritesWin) {
  PendingWrites earlier, later;
  earlier.add(0, Bytes{1, 1, 1, 1});
  later.add(2, Bytes{2, 2, 2, 2});
  earlier.absorb(later);
  EXPECT_TRUE(later.empty());
  Bytes read(6, 0);
  earlier.overlay(0, read);
  EXPECT_EQ(read, (Bytes{1, 1, 2, 2, 2, 2}));
  EXPECT_EQ(earlier.end(), 6u);
}

}  // namespace
}  // namespace kelvora::store
