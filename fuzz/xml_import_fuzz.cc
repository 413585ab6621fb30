// Any bytes as an XML document to import: reading must neither crash nor read outside its
// buffers, whatever the markup; and escaping any text and reading it back must give the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "exchange/import_sink.h"
#include "exchange/xml_escape.h"
#include "exchange/xml_reader.h"
#include "fuzz_harness.h"
#include "memory_file_system.h"
#include "recording_messages.h"
#include "store/collection.h"
#include "store/text_stream.h"

using namespace kelvora;

namespace {

using fuzzing::Harness;  // each input starts from a closed collection and its own files

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Harness h;
  h.files.restore({{"/in.xml", {data, data + size}}});
  h.messages.shown.clear();
  store::Collection& c = h.c;
  c.settings = store::Settings{};
  c.settings.utf8 = size % 2;
  if (c.openForReplacing("/x")) {
    c.header = store::IndexHeader{};  // the new items are numbered from 0
    bool ok;
    {
      auto in = store::openTextReader(h.files, "/in.xml");
      exchange::ImportSink sink(c);
      ok = exchange::importXmlItems(*in, sink, c.today(), c.progress);
      ok = sink.finish() && ok;
    }
    if (ok) {
      (void)c.installImportedTexts();
    } else {
      c.closeWithoutWriting();
    }
  }
  h.files.restore({});

  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  if (exchange::unescapeXmlText(exchange::escapeXmlText(text)) != text) std::abort();
  exchange::readXmlAFactor(text);
  exchange::readXmlDate(text);
  return 0;
}
