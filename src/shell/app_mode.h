// The application's mode: one byte of flag bits that the command layer tests bit by bit.
#pragma once

#include <cstdint>

namespace kelvora::shell {

enum class AppMode : std::uint8_t {
  Idle = 0x00,
  Edit = 0x02,
  LearnQuestion = 0x21,
  LearnAnswer = 0x11,
  LearnReview = 0x41,
};

inline constexpr std::uint8_t kLearningBit = 0x01;
inline constexpr std::uint8_t kEditBit = 0x02;
inline constexpr std::uint8_t kAnswerBit = 0x10;
inline constexpr std::uint8_t kQuestionBit = 0x20;
inline constexpr std::uint8_t kReviewBit = 0x40;

constexpr bool hasBit(AppMode mode, std::uint8_t bit) {
  return (static_cast<std::uint8_t>(mode) & bit) != 0;
}
constexpr bool isLearning(AppMode mode) { return hasBit(mode, kLearningBit); }

}  // namespace kelvora::shell
