// Appending imported records, and reading items back for export.
#include "exchange/import_sink.h"

#include <algorithm>

namespace kelvora::exchange {

ImportSink::ImportSink(store::Collection& collection)
    : m_collection(collection), m_batch(collection) {}

ImportSink::~ImportSink() = default;

bool ImportSink::full() const { return m_collection.header.itemCount >= store::MaxItems; }

std::uint16_t ImportSink::itemCount() const { return m_collection.header.itemCount; }

bool ImportSink::append(store::ItemRecordHeader header, std::u16string question,
                        std::u16string answer) {
  store::RecordFile* texts = m_collection.textsFile();
  if (!m_ok || full() || texts == nullptr) return false;
  for (std::u16string* text : {&question, &answer}) {
    normalizeLineBreaks(*text);
    if (text->size() > store::MaxTextLength - 1) text->resize(store::MaxTextLength - 1);
  }
  const store::TextEncoding encoding = m_collection.encoding();
  m_record.assign(store::kRecordHeaderSize, 0);
  header.questionLength = store::encodeText(m_record, question, encoding, &m_report);
  header.answerLength = store::encodeText(m_record, answer, encoding, &m_report);
  if (m_record.size() % 2 != 0) m_record.push_back(store::kPadByte);
  header.slotNumber = m_collection.header.itemCount;
  auto head = store::encodeRecordHeader(header);
  std::copy(head.begin(), head.end(), m_record.begin());
  if (texts->size() + m_record.size() >= store::kNoRecord || !texts->append(m_record)) {
    m_ok = false;
    return false;
  }
  ++m_collection.header.itemCount;
  return true;
}

bool ImportSink::finish() {
  store::RecordFile* texts = m_collection.textsFile();
  if (texts != nullptr && !texts->flush()) m_ok = false;
  if (texts != nullptr && texts->failed()) m_ok = false;
  return m_ok;
}

void normalizeLineBreaks(std::u16string& text) {
  if (text.find(u'\n') == std::u16string::npos) return;
  std::u16string out;
  out.reserve(text.size() + 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) out.push_back(u'\r');
    out.push_back(text[i]);
  }
  text.swap(out);
}

void readItemForExport(store::Collection& c, std::uint16_t position) {
  if (!c.readItem(position)) {
    c.loaded.question.clear();
    c.loaded.answer.clear();
  }
}

}  // namespace kelvora::exchange
