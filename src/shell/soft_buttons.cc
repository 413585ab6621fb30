// The soft-button sets of each mode and the captions of the recent-collection buttons.
#include "shell/soft_buttons.h"

#include <initializer_list>
#include <string_view>
#include <utility>

#include "store/item_status.h"
#include "store/utf16_text.h"
#include "store/utf8.h"

namespace kelvora::shell {
namespace {

// Room a recent caption has on a button or in the Recent submenu, in UTF-16 code units.
constexpr std::size_t kMaxRecentCaption = 49;

SoftButtonRow fixedSet(std::initializer_list<const char16_t*> captions, CommandId firstId,
                       int defaultIndex) {
  SoftButtonRow row;
  row.defaultIndex = defaultIndex;
  CommandId id = firstId;
  for (const char16_t* caption : captions) row.buttons.push_back({caption, id++});
  return row;
}

SoftButtonRow recentSet(const store::RecentFiles& recent) {
  SoftButtonRow row;
  // Only the leading entries show: an empty one ends the row, as the list never has gaps
  // after it is loaded.
  for (std::size_t k = 0; k < recent.entries.size(); ++k) {
    std::u16string caption = recentCaption(recent.entries[k]);
    if (caption.empty()) break;
    row.buttons.push_back({std::move(caption), static_cast<CommandId>(cmd::RecentButton1 + k)});
  }
  // The row is never left bare; the button does nothing while the first entry is empty, and
  // shows it greyed.
  if (row.buttons.empty()) row.buttons.push_back({u"Recent", cmd::RecentButton1, false});
  return row;
}

}  // namespace

std::u16string recentCaption(const std::filesystem::path& entry) {
  std::string_view text = entry.native();
  // A trailing separator names no file; the name is the last component before it. A path of
  // nothing but separators keeps its text, so a non-empty entry never gets an empty caption.
  const std::size_t end = text.find_last_not_of('/');
  if (end != std::string_view::npos) {
    text = text.substr(0, end + 1);
    const std::size_t slash = text.rfind('/');
    if (slash != std::string_view::npos) text.remove_prefix(slash + 1);
  }
  // File names are bytes; names that are not UTF-8 read as Windows-1252 rather than failing.
  return store::cutWithinUnits(store::decodeTextBytes(text), kMaxRecentCaption);
}

std::u16string gradeTip(learning::Grade grade, std::u16string_view caption,
                        const learning::LearningData& item, store::DayNumber today) {
  std::u16string tip(caption);
  tip += u" (" + store::decimalText(static_cast<int>(grade)) + u")";
  const learning::LearningData after = learning::schedule(item, grade, today);
  if (after == item) return tip;  // a status grades leave alone
  // When the item is next due once it is memorized: its last repetition and interval.
  auto nextRepetition = [&after, today] {
    const long days = static_cast<long>(after.lastRepetition) + after.interval - today;
    if (days <= 0) return std::u16string(u"next repetition today");
    return u"next repetition in " + store::decimalText(days) + (days == 1 ? u" day" : u" days");
  };
  const bool drillAfter = after.status == store::code(store::ItemStatus::Drill);
  if (drillAfter && item.status == store::code(store::ItemStatus::Drill)) {
    return tip + u": again in the final drill";
  }
  if (drillAfter) return tip + u": again in the final drill, then " + nextRepetition();
  if (after.status == store::code(store::ItemStatus::Memorized)) {
    return tip + u": " + nextRepetition();
  }
  return tip;
}

std::vector<std::u16string> buttonTips(const SoftButtonRow& row,
                                       const std::optional<learning::LearningData>& item,
                                       store::DayNumber today) {
  std::vector<std::u16string> tips(row.buttons.size());
  if (!item) return tips;
  for (std::size_t j = 0; j < row.buttons.size(); ++j) {
    const SoftButton& b = row.buttons[j];
    if (b.id < cmd::GradeBright || b.id > cmd::GradeNull) continue;
    // The grade buttons run from Bright (5) down to Null (0).
    const auto grade =
        static_cast<learning::Grade>(learning::kHighestGrade - (b.id - cmd::GradeBright));
    tips[j] = gradeTip(grade, b.caption, *item, today);
  }
  return tips;
}

SoftButtonRow softButtonsFor(AppMode mode, bool collectionOpen, const store::RecentFiles& recent) {
  if (!collectionOpen) return recentSet(recent);
  switch (mode) {
    case AppMode::Idle:
      return fixedSet({u"Learn", u"Edit"}, cmd::LearnButton, 0);
    case AppMode::Edit:
      return fixedSet({u"Home", u"Prev.", u"Next", u"End", u"Add", u"Cancel"}, cmd::Home, 2);
    case AppMode::LearnAnswer:
      return fixedSet({u"Bright", u"Good", u"Pass", u"Fail", u"Bad", u"Null"}, cmd::GradeBright, 2);
    case AppMode::LearnQuestion:
      return fixedSet({u"Show answer", u"Cancel", u"Last"}, cmd::ShowAnswer, 0);
    case AppMode::LearnReview:
      return fixedSet({u"Next repetition", u"Cancel learning"}, cmd::NextRepetition, 0);
  }
  return {};
}

}  // namespace kelvora::shell
