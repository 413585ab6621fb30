// The pseudo-random generator learning draws due and drill items with: values 0..32767, never
// seeded, so every run of the program draws the same sequence.
#pragma once

#include <cstdint>

namespace kelvora::learning {

class Random {
 public:
  virtual ~Random() = default;
  // The next value, 0..32767.
  virtual int next() = 0;
};

// state = state * 214013 + 2531011 (mod 2^32) from 1; value = (state >> 16) & 0x7FFF.
class LinearRandom final : public Random {
 public:
  int next() override {
    m_state = m_state * 214013U + 2531011U;
    return static_cast<int>((m_state >> 16) & 0x7FFF);
  }

 private:
  std::uint32_t m_state = 1;
};

inline constexpr int kRandomMax = 32767;

}  // namespace kelvora::learning
