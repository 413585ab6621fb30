// The Get string and Go to dialogs' limits.
#include "shell/small_dialogs.h"

#include <gtest/gtest.h>

#include <climits>

#include "recording_messages.h"

namespace kelvora::shell {
namespace {

TEST(GetString, KeepsAtMost9999UnitsAndSaysSoWhenItCuts) {
  const struct {
    std::size_t typed;
    int length;
    bool message;
  } rows[] = {{9999, 9999, false}, {10000, 9999, true}};
  for (const auto& r : rows) {
    fakes::RecordingMessages messages;
    const std::u16string typed =
        std::u16string(r.typed / 2, u'a') + std::u16string(r.typed - r.typed / 2, u'b');
    const StringAnswer answer = GetStringDialog(u"Find what", u"old").confirm(typed, messages);
    EXPECT_EQ(answer.length, r.length) << r.typed;
    EXPECT_EQ(answer.text, typed.substr(0, kMaxStringLength)) << r.typed;
    const std::vector<std::u16string> said =
        r.message ? std::vector<std::u16string>{u"String is too long!"}
                  : std::vector<std::u16string>{};
    EXPECT_EQ(messages.texts(), said) << r.typed;
  }
}

TEST(GoTo, ReadsAnUnsignedNumberSaturatingPastInt32) {
  const struct {
    std::u16string typed;
    int number;
  } rows[] = {
      {u"", 0},
      {u"007", 7},
      {u" 42 ", 42},
      {u"-5", 0},
      {u"12a", 0},
      {u"\uFF11", 0},  // full-width 1
      {u"2147483647", INT_MAX},
      {u"2147483648", INT_MAX},
      {u"4294967295", INT_MAX},  // not -1, which would mean "cancelled"
      {u"99999999999999999999999", INT_MAX},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(GoToDialog(1).confirm(r.typed), r.number)
        << std::string(r.typed.begin(), r.typed.end());
  }
}

}  // namespace
}  // namespace kelvora::shell
