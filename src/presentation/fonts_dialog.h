// The logic of the Fonts dialog: the face, size and boldness of the question font and of the
// answer font, edited as working copies and written back only on OK. A front end draws the
// controls from it and feeds it the user's clicks and typing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/settings.h"

namespace kelvora::presentation {

inline constexpr char16_t kFontsDialogTitle[] = u"Question & Answer Fonts";
// The range the size arrows keep to; typed sizes outside it are kept as typed.
inline constexpr std::int32_t kMinFontSize = 6;
inline constexpr std::int32_t kMaxFontSize = 120;
// The weight that shows as "Bold"; unchecking stores 0.
inline constexpr std::int32_t kBoldWeight = 700;

enum class FontSide { Question, Answer };

// The font families as the face list shows them: sorted without regard to case (ties in
// code-unit order), each name once.
std::vector<std::u16string> sortFaceList(std::vector<std::u16string> families);

// The first entry of a sorted face list that begins with prefix, compared without regard to
// case (ASCII, Latin-1, Greek and Cyrillic letters); nothing when no entry does.
std::optional<std::size_t> findFacePrefix(const std::vector<std::u16string>& faces,
                                          std::u16string_view prefix);

class FontsDialog {
 public:
  // Opens on the Question side with copies of the two font settings; families are the names
  // the platform offers, in any order.
  FontsDialog(const store::Settings& settings, std::vector<std::u16string> families);

  // The controls as they stand.
  FontSide side() const { return m_side; }
  const std::vector<std::u16string>& faces() const { return m_faces; }
  std::optional<std::size_t> selectedFace() const { return m_selected; }
  const std::u16string& sizeText() const { return m_sizeText; }
  bool bold() const { return m_bold; }

  // The working copies, as last stored from the controls.
  const store::FontSetting& questionCopy() const { return m_question; }
  const store::FontSetting& answerCopy() const { return m_answer; }

  // The user picks a list entry; an index past the list is ignored.
  void selectFace(std::size_t index);
  // The size field's text as the user typed or pasted it.
  void setSizeText(std::u16string text) { m_sizeText = std::move(text); }
  // The size arrows (or the arrow keys): steps up (positive) or down from the field's number,
  // landing within kMinFontSize..kMaxFontSize.
  void stepSize(int steps);
  void setBold(bool bold) { m_bold = bold; }
  // A click on the "Question" or "Answer" radio button, also on the one already checked: the
  // controls go into the side shown so far, then show the side clicked.
  void clickSide(FontSide side);

  // OK: stores the side shown and writes both copies into the settings; returns 1, so that
  // the caller applies the fonts and marks the settings changed.
  int ok(store::Settings& settings);
  // Cancel or closing: the settings stay as they were.
  int cancel() const { return 0; }

 private:
  store::FontSetting& copyOf(FontSide side) {
    return side == FontSide::Question ? m_question : m_answer;
  }
  void storeSide();
  void loadSide();

  store::FontSetting m_question;
  store::FontSetting m_answer;
  FontSide m_side = FontSide::Question;
  std::vector<std::u16string> m_faces;
  std::optional<std::size_t> m_selected;
  std::u16string m_sizeText;
  bool m_bold = false;
};

}  // namespace kelvora::presentation
