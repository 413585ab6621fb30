// Any bytes as a text file: reading by character and by line agree, and writing what was read
// gives a file that reads back the same, apart from stray surrogates.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "memory_file_system.h"
#include "store/text_stream.h"

using namespace kelvora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fakes::MemoryFileSystem files;
  files.put("/t.txt", {data, data + size});
  std::u16string byChar;
  {
    auto reader = store::openTextReader(files, "/t.txt");
    if (!reader) std::abort();
    while (auto c = reader->get()) byChar.push_back(*c);
  }
  std::u16string byLine;
  {
    auto reader = store::openTextReader(files, "/t.txt");
    std::u16string line;
    bool first = true;
    while (reader->readLine(line)) {
      if (!first) byLine += u'\n';
      byLine += line;
      first = false;
    }
  }
  std::u16string expect = byChar;
  if (!expect.empty() && expect.back() == u'\n') expect.pop_back();
  if (expect != byLine) std::abort();
  return 0;
}
