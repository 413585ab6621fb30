// The logic of the Get string and Go to dialogs, and the About box's text.
#include "shell/small_dialogs.h"

#include <algorithm>
#include <array>

#include "presentation/number_field.h"

namespace kelvora::shell {
namespace {

constexpr std::uint32_t kNavy = 0x000080;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kGreen = 0x006000;
constexpr std::uint32_t kMaroon = 0x800000;

constexpr std::array<AboutLine, 9> kAboutLines = {{
    {u"Kelvora CE", 8, 8, kNavy},
    {u"Flash cards with", 8, 30, kBlack},
    {u"spaced repetition", 8, 44, kBlack},
    {u"Each item comes back just", 8, 66, kGreen},
    {u"before you would forget it:", 8, 80, kGreen},
    {u"often at first, then ever", 8, 94, kGreen},
    {u"more rarely.", 8, 108, kGreen},
    {u"Grade each answer from", 8, 130, kMaroon},
    {u"Bright (5) down to Null (0).", 8, 144, kMaroon},
}};

}  // namespace

StringAnswer GetStringDialog::confirm(std::u16string_view typed,
                                      store::MessagePort& messages) const {
  // Kept as the first units even where that splits a surrogate pair, as item texts are.
  if (typed.size() > kMaxStringLength) {
    messages.showMessage(kStringTooLong, store::MessageKind::Error);
    typed = typed.substr(0, kMaxStringLength);
  }
  return {static_cast<int>(typed.size()), std::u16string(typed)};
}

std::u16string GoToDialog::text() const {
  return presentation::numberFieldText(static_cast<std::uint32_t>(std::max(m_start, 0)));
}

int GoToDialog::confirm(std::u16string_view typed) const {
  return presentation::readNumberField(typed);
}

std::span<const AboutLine> aboutLines() { return kAboutLines; }

std::u16string aboutText() {
  std::u16string text;
  for (const AboutLine& line : kAboutLines) {
    text.append(line.text);
    text += u'\n';
  }
  return text;
}

}  // namespace kelvora::shell
