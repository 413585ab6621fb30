// Items read whole from another learner's file, held until they are written into a collection.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "peers/anki_mapping.h"
#include "peers/anki_template.h"
#include "store/collection_format.h"
#include "store/item_record_header.h"
#include "store/utf8.h"

namespace kelvora::peers {

struct SourceItem {
  std::size_t question = 0;  // where its texts start in SourceItems::units, and their lengths
  std::size_t questionLength = 0;
  std::size_t answer = 0;
  std::size_t answerLength = 0;
  store::ItemRecordHeader header;
};

// Items read whole from a source, kept until they are written: their texts one after another
// in one buffer, so that holding thirty thousand of them takes no allocation each.
//   Past MaxItems items are only counted, and each text is kept to the longest an item holds
// (the sink would cut it there anyway), so a hostile source cannot fill the memory.
struct SourceItems {
  std::u16string units;
  std::vector<SourceItem> items;
  std::vector<std::string> keys;  // each item's key in its source (links_file.h)
  std::size_t beyondLimit = 0;    // items past MaxItems, counted and not kept
  bool html = false;
  std::size_t textsCut = 0;

  std::size_t count() const { return items.size() + beyondLimit; }

  void add(std::string_view question, std::string_view answer, const ItemLearning& learning,
           std::string key) {
    html = html || holdsMarkup(question) || holdsMarkup(answer);
    add(store::decodeTextBytes(question), store::decodeTextBytes(answer), learning, std::move(key));
  }
  void add(std::u16string_view question, std::u16string_view answer, const ItemLearning& learning,
           std::string key) {
    if (items.size() >= store::MaxItems) {
      ++beyondLimit;
      return;
    }
    for (std::u16string_view* text : {&question, &answer}) {
      if (text->size() > store::MaxTextLength - 1) {
        ++textsCut;
        *text = text->substr(0, store::MaxTextLength - 1);
      }
    }
    SourceItem item{units.size(), question.size(), units.size() + question.size(), answer.size(),
                    importedItemHeader(learning)};
    units.append(question);
    units.append(answer);
    items.push_back(item);
    keys.push_back(std::move(key));
  }
  std::u16string_view question(const SourceItem& item) const {
    return std::u16string_view(units).substr(item.question, item.questionLength);
  }
  std::u16string_view answer(const SourceItem& item) const {
    return std::u16string_view(units).substr(item.answer, item.answerLength);
  }
};

}  // namespace kelvora::peers
