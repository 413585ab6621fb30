// Any bytes as an XML document to import: reading must neither crash nor read outside its
// buffers, whatever the markup; and escaping any text and reading it back must give the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "exchange/import_sink.h"
#include "exchange/xml_escape.h"
#include "exchange/xml_reader.h"
#include "memory_file_system.h"
#include "recording_messages.h"
#include "store/collection.h"
#include "store/text_stream.h"

using namespace kelvora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fakes::MemoryFileSystem files;
  fakes::RecordingMessages messages;
  files.put("/in.xml", {data, data + size});
  store::Collection c(files, messages, [] { return store::DayNumber{9000}; });
  c.settings.utf8 = size % 2;
  if (!c.openForReplacing("/x")) return 0;
  {
    auto in = store::openTextReader(files, "/in.xml");
    exchange::ImportSink sink(c);
    exchange::importXmlItems(*in, sink, c.today(), c.progress);
    sink.finish();
  }
  (void)c.closeCollection();

  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  if (exchange::unescapeXmlText(exchange::escapeXmlText(text)) != text) std::abort();
  exchange::readXmlAFactor(text);
  exchange::readXmlDate(text);
  return 0;
}
