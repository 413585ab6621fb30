// Moving through the items, searching their texts and going to an item by ID or position.
#include "store/browsing.h"

#include <algorithm>

#include "store/user_texts.h"

namespace kelvora::store {

bool moveTo(Collection& c, int position) {
  if (c.header.itemCount == 0) return false;
  position = std::clamp(position, 0, c.header.itemCount - 1);
  c.currentPosition = static_cast<std::uint16_t>(position);
  c.readItem(c.currentPosition);
  return true;
}

bool moveBy(Collection& c, int delta, int minimumPosition) {
  if (delta < 0 && c.currentPosition <= minimumPosition) return false;
  return moveTo(c, c.currentPosition + delta);
}

void moveToFirst(Collection& c) {
  c.currentPosition = 0;
  c.readItem(0);
}

std::optional<TextMatch> findFrom(Collection& c, const std::u16string& text, std::uint16_t start) {
  const std::uint16_t saved = c.currentPosition;
  // Items without a record take a slot number as they are read: one index write at the end.
  Collection::Batch batch(c);
  for (std::uint16_t p = start; p < c.header.itemCount; ++p) {
    c.currentPosition = p;
    c.readItem(p);
    for (bool question : {true, false}) {
      const std::size_t at = (question ? c.loaded.question : c.loaded.answer).find(text);
      if (at != std::u16string::npos) return TextMatch{question, at};
    }
  }
  c.currentPosition = saved;
  c.readItem(saved);
  return std::nullopt;
}

std::optional<TextMatch> findFirst(Collection& c, const std::u16string& text) {
  auto match = findFrom(c, text, 0);
  if (!match) {
    std::u16string message(texts::kNotFound);
    message += text;
    message += u'\'';
    c.messages().showMessage(message, MessageKind::Information);
  }
  return match;
}

std::optional<TextMatch> findNext(Collection& c, const std::u16string& text) {
  if (c.currentPosition >= c.header.itemCount) return std::nullopt;
  auto match = findFrom(c, text, static_cast<std::uint16_t>(c.currentPosition + 1));
  return match ? match : findFrom(c, text, 0);
}

void goToNumber(Collection& c, int number) {
  {
    Collection::Batch batch(c);
    for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
      c.currentPosition = p;
      c.readItem(p);
      const std::uint32_t id = c.loaded.header.itemId();
      if (number > 0 && id == static_cast<std::uint32_t>(number)) return;
      if (id == 0) break;
    }
  }
  moveTo(c, number > 0 ? number - 1 : 0);
}

}  // namespace kelvora::store
