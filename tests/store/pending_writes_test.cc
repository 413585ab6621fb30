// The overlay of journaled bytes against a plain byte array: any mix of overlapping, touching
// and nested writes reads back as the array says, and runs never overlap.
#include "store/pending_writes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "memory_file_system.h"
#include "store/crc32.h"

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

// Runs close together go out as one write with the file's bytes between them: whatever the mix
// of runs, near and far, inside the file and past its end, the file ends up as the array.
TEST(PendingWrites, AppliedTheFileHoldsItsBytesWithRunsOverThem) {
  std::mt19937 random(11);
  for (int round = 0; round < 100; ++round) {
    fakes::MemoryFileSystem files;
    Bytes model(2000 + random() % 2000);
    for (auto& b : model) b = static_cast<std::uint8_t>(random());
    files.put("/f", model);
    PendingWrites pending;
    for (int w = 0; w < 30; ++w) {
      const std::size_t at = random() % (round % 3 == 0 ? 6000 : 3000);
      Bytes bytes(1 + random() % (round % 2 ? 4 : 700));
      for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
      pending.add(at, bytes);
      if (model.size() < at + bytes.size()) model.resize(at + bytes.size(), 0);
      std::copy(bytes.begin(), bytes.end(), model.begin() + static_cast<std::ptrdiff_t>(at));
    }
    store::OpenError error = store::OpenError::None;
    auto file = files.openExclusive("/f", error);
    ASSERT_TRUE(file);
    const long before = files.writeOps;
    ASSERT_TRUE(pending.applyTo(*file).ok());
    file.reset();
    EXPECT_EQ(files.bytes("/f"), model) << round;
    if (round % 2 == 1) {
      EXPECT_LT(files.writeOps - before, 15) << "small runs are gathered";
    }
  }
  // The bytes between the runs cannot be read: nothing is written over them.
  fakes::MemoryFileSystem files;
  files.put("/f", Bytes(100, 7));
  PendingWrites pending;
  pending.add(10, Bytes{1});
  pending.add(20, Bytes{2});
  store::OpenError error = store::OpenError::None;
  auto file = files.openExclusive("/f", error);
  files.failReadCall = files.readCalls;
  EXPECT_TRUE(pending.applyTo(*file).failed());
  file.reset();
  EXPECT_EQ(files.bytes("/f"), Bytes(100, 7));
}

// Eight bytes a step give the same sums as one byte a step, for any length and any split.
TEST(Crc32, MatchesTheBytewiseSumForAnyLengthAndSplit) {
  const std::string check = "123456789";
  EXPECT_EQ(crc32(std::span(reinterpret_cast<const std::uint8_t*>(check.data()), check.size())),
            0xCBF43926u);
  const auto bytewise = [](std::span<const std::uint8_t> bytes) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (const std::uint8_t b : bytes) {
      c ^= b;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return ~c;
  };
  std::mt19937 random(3);
  for (std::size_t n = 0; n < 70; ++n) {
    Bytes bytes(n);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    const std::size_t split = n == 0 ? 0 : random() % n;
    const std::span<const std::uint8_t> all(bytes);
    EXPECT_EQ(crc32(all), bytewise(all)) << n;
    EXPECT_EQ(crc32(all.subspan(split), crc32(all.first(split))), bytewise(all)) << n;
  }
}

}  // namespace
}  // namespace kelvora::store
