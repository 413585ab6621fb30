// The logic of the small dialogs: "Get string" editing the search text, "Go to" asking for an
// item number, and what the About box draws. A front end shows them and feeds them the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "store/message_port.h"

namespace kelvora::shell {

// The longest text Get string hands back, in code units.
inline constexpr std::size_t kMaxStringLength = 9999;
inline constexpr char16_t kStringTooLong[] = u"String is too long!";

struct StringAnswer {
  int length = 0;       // code units in text; 0 on cancel and for an empty text
  std::u16string text;  // the text the caller keeps
};

class GetStringDialog {
 public:
  // title is the caller's ("Find what", "Create database..."); text fills the field.
  GetStringDialog(std::u16string title, std::u16string text)
      : m_title(std::move(title)), m_text(std::move(text)) {}

  const std::u16string& title() const { return m_title; }
  const std::u16string& text() const { return m_text; }

  // OK with the field's text: its first kMaxStringLength units; "String is too long!" when
  // anything was cut.
  StringAnswer confirm(std::u16string_view typed, store::MessagePort& messages) const;
  // Cancel or closing: length 0 and the text the dialog opened with.
  StringAnswer cancel() const { return {0, m_text}; }

 private:
  std::u16string m_title;
  std::u16string m_text;
};

inline constexpr char16_t kGoToTitle[] = u"Go to";

class GoToDialog {
 public:
  // start is the one-based number of the current item (currentPosition + 1).
  explicit GoToDialog(int start) : m_start(start) {}

  // What the number field opens with.
  std::u16string text() const;

  // OK with the field's text: the number it holds; 0 when it holds no number and INT32_MAX
  // for one too large, which goes to the last item.
  int confirm(std::u16string_view typed) const;
  // Cancel or closing.
  int cancel() const { return -1; }

 private:
  int m_start;
};

// The About box: a fixed text in bold 11-pixel Tahoma, each line at its own place (pixels from
// the top left of the text area) in its own colour.
inline constexpr char16_t kAboutTitle[] = u"About KelvoraCE";
inline constexpr char16_t kAboutFontFace[] = u"Tahoma";
inline constexpr int kAboutFontHeight = 11;
inline constexpr int kAboutFontWeight = 700;

struct AboutLine {
  std::u16string_view text;
  int x = 0;
  int y = 0;
  std::uint32_t rgb = 0;  // 0xRRGGBB
};

std::span<const AboutLine> aboutLines();
// The lines alone, one per line, for a front end that prints rather than draws.
std::u16string aboutText();

}  // namespace kelvora::shell
