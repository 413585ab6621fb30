// The logic of the Fonts dialog: working copies, side switching, the face list and its prefix
// selection, and the store and load between the controls and the copies.
#include "presentation/fonts_dialog.h"

#include <algorithm>

#include "presentation/number_field.h"
#include "store/utf16_text.h"

namespace kelvora::presentation {
namespace {

// Upper case to lower case for the scripts font names are commonly written in; every other
// unit stands for itself.
char16_t foldCase(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c + 0x20;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;     // Latin-1, not the sign ×
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;                // Cyrillic with marks
  return c;
}

bool lessIgnoringCase(const std::u16string& a, const std::u16string& b) {
  const auto folded = [](char16_t x, char16_t y) { return foldCase(x) < foldCase(y); };
  if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded)) return true;
  if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded)) return false;
  return a < b;
}

bool startsIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [](char16_t x, char16_t y) { return foldCase(x) == foldCase(y); });
}

// A face name as a font setting holds it: at most kMaxFaceLength units, never cut between the
// two halves of a surrogate pair.
std::u16string boundedFace(std::u16string face) {
  return store::cutWithinUnits(std::move(face), store::kMaxFaceLength);
}

}  // namespace

std::vector<std::u16string> sortFaceList(std::vector<std::u16string> families) {
  std::sort(families.begin(), families.end(), lessIgnoringCase);
  families.erase(std::unique(families.begin(), families.end()), families.end());
  return families;
}

std::optional<std::size_t> findFacePrefix(const std::vector<std::u16string>& faces,
                                          std::u16string_view prefix) {
  // From the first entry on: in a list sorted this way a face listed under its own name comes
  // before the longer names that begin with it, so "Arial" finds "Arial", not "Arial Narrow".
  for (std::size_t j = 0; j < faces.size(); ++j) {
    if (startsIgnoringCase(faces[j], prefix)) return j;
  }
  return std::nullopt;
}

FontsDialog::FontsDialog(const store::Settings& settings, std::vector<std::u16string> families)
    : m_question(settings.questionFont),
      m_answer(settings.answerFont),
      m_faces(sortFaceList(std::move(families))) {
  loadSide();
}

void FontsDialog::selectFace(std::size_t index) {
  if (index < m_faces.size()) m_selected = index;
}

void FontsDialog::stepSize(int steps) {
  const std::int64_t size = std::int64_t{readNumberField(m_sizeText)} + steps;
  m_sizeText = numberFieldText(
      static_cast<std::uint32_t>(std::clamp<std::int64_t>(size, kMinFontSize, kMaxFontSize)));
}

void FontsDialog::clickSide(FontSide side) {
  storeSide();
  m_side = side;
  loadSide();
}

int FontsDialog::ok(store::Settings& settings) {
  storeSide();
  settings.questionFont = m_question;
  settings.answerFont = m_answer;
  return 1;
}

// With no entry selected (none of the listed families matched the face) the face stays as it
// was, but the size and boldness are still taken: the user sees and may change them either way.
void FontsDialog::storeSide() {
  store::FontSetting& copy = copyOf(m_side);
  if (m_selected) copy.face = boundedFace(m_faces[*m_selected]);
  // What the user left as it was stays as it was, also a size or weight the field and the box
  // cannot show (a negative size, a weight between plain and bold).
  if (m_sizeText != numberFieldText(static_cast<std::uint32_t>(std::max(copy.size, 0)))) {
    copy.size = readNumberField(m_sizeText);
  }
  if (m_bold != (copy.weight == kBoldWeight)) copy.weight = m_bold ? kBoldWeight : 0;
}

// A face that matches no entry leaves the selection where it was. The size field holds no
// sign, so a negative size from a settings file shows as 0.
void FontsDialog::loadSide() {
  const store::FontSetting& copy = copyOf(m_side);
  m_sizeText = numberFieldText(static_cast<std::uint32_t>(std::max(copy.size, 0)));
  m_bold = copy.weight == kBoldWeight;
  if (const auto found = findFacePrefix(m_faces, copy.face)) m_selected = found;
}

}  // namespace kelvora::presentation
