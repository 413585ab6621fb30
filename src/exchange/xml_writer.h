// The XML collection writer: a fixed dialect, every line from a fixed template and every
// character below 128. doc/xml_format.md shows the document it writes.
#pragma once

#include <cstdint>

#include "store/collection.h"
#include "store/progress.h"
#include "store/text_stream.h"

namespace kelvora::exchange {

// Local date and time for the comment line; the caller reads the clock.
struct XmlTime {
  int year, month, day, hour, minute;
};

// The declaration, the comment line with now, the root start tag and the Count line.
void writeXmlHeader(store::TextWriter& out, std::uint16_t itemCount, const XmlTime& now);

// One KelvoraElement for the loaded item: its ID when it has one, the escaped texts, and the
// learning data from its header unless it is Dismissed. Then "Writing XML: n" with the item's
// slot number on the progress line.
void writeXmlItem(store::TextWriter& out, const store::LoadedItem& item, store::Progress& progress);

// The root end tag.
void writeXmlFooter(store::TextWriter& out);

}  // namespace kelvora::exchange
