// The row of soft buttons under the panes, whose set follows the mode.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "learning/scheduling.h"
#include "shell/app_mode.h"
#include "shell/command_ids.h"
#include "store/recent_files.h"

namespace kelvora::shell {

struct SoftButton {
  std::u16string caption;
  CommandId id = 0;
  bool enabled = true;  // false: the button stands in the row but has nothing to do
  bool operator==(const SoftButton&) const = default;
};

struct SoftButtonRow {
  std::vector<SoftButton> buttons;
  int defaultIndex = -1;  // -1: no default button
  bool operator==(const SoftButtonRow&) const = default;
};

// The set for the mode: recent collections when none is open, Learn/Edit in Idle, the edit
// buttons, the grades, the question buttons or the review buttons.
SoftButtonRow softButtonsFor(AppMode mode, bool collectionOpen, const store::RecentFiles& recent);

// The caption a recent entry gets: the file name part of the base path.
std::u16string recentCaption(const std::filesystem::path& entry);

// The tooltip of a grade button: its caption, its key and what that grade would do to the item
// given today, as in "Good (4): next repetition in 6 days".
std::u16string gradeTip(learning::Grade grade, std::u16string_view caption,
                        const learning::LearningData& item, store::DayNumber today);

// One tooltip per button of the row (empty for none): the grade buttons tell what each grade
// would do to item; the others have none.
std::vector<std::u16string> buttonTips(const SoftButtonRow& row,
                                       const std::optional<learning::LearningData>& item,
                                       store::DayNumber today);

}  // namespace kelvora::shell
