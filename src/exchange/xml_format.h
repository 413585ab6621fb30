// The XML collection format shared by its writer and reader: element names and the reader's
// field capacities. doc/xml_format.md describes the document with a byte example.
#pragma once

#include <cstddef>
#include <string_view>

#include "store/collection_format.h"

namespace kelvora::exchange {

// Element names; the reader compares them case-sensitively and exactly.
inline constexpr std::u16string_view kRootElement = u"KelvoraCollection";
inline constexpr std::u16string_view kCountElement = u"Count";
inline constexpr std::u16string_view kItemElement = u"KelvoraElement";
inline constexpr std::u16string_view kIdElement = u"ID";
inline constexpr std::u16string_view kTypeElement = u"Type";
inline constexpr std::u16string_view kContentElement = u"Content";
inline constexpr std::u16string_view kQuestionElement = u"Question";
inline constexpr std::u16string_view kAnswerElement = u"Answer";
inline constexpr std::u16string_view kLearningDataElement = u"LearningData";
inline constexpr std::u16string_view kIntervalElement = u"Interval";
inline constexpr std::u16string_view kRepetitionsElement = u"Repetitions";
inline constexpr std::u16string_view kLapsesElement = u"Lapses";
inline constexpr std::u16string_view kLastRepetitionElement = u"LastRepetition";
inline constexpr std::u16string_view kAFactorElement = u"AFactor";
inline constexpr std::u16string_view kUFactorElement = u"UFactor";

// Reader capacities in UTF-16 code units, the terminating place included, so a field keeps at
// most capacity - 1 units: tag names (everything between "<" or "</" and ">") 255, the ID and
// learning-data texts 15, question and answer 9999 each.
inline constexpr std::size_t kMaxTagName = 255;
inline constexpr std::size_t kFieldCapacity = 16;
inline constexpr std::size_t kTextCapacity = store::MaxTextLength;

}  // namespace kelvora::exchange
