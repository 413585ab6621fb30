// Appending imported records, and reading items back for export.
#include "exchange/import_sink.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include "store/atomic_file.h"
#include "store/utf16_text.h"

namespace kelvora::exchange {

namespace {
constexpr std::size_t kGatherBytes = std::size_t{1024} * 1024;
}  // namespace

ImportSink::ImportSink(store::Collection& collection)
    : m_collection(collection),
      m_path(store::temporaryPathFor(store::textsPath(collection.basePath))) {
  // Room for a full gathering and one more record of the longest texts: no reallocation.
  m_pending.reserve(kGatherBytes + store::kRecordHeaderSize +
                    2 * std::size_t{store::kMaxStoredLength} + 1);
  store::OpenError error = store::OpenError::None;
  m_file = collection.files().createForWriting(m_path, &error);
  if (!m_file) fail(EIO);
}

ImportSink::~ImportSink() {
  if (!m_finished) {
    m_ok = false;
    (void)finish();
  }
}

void ImportSink::fail(int error) {
  if (m_ok) m_error = error;
  m_ok = false;
}

bool ImportSink::full() const { return m_collection.header.itemCount >= store::MaxItems; }

std::uint16_t ImportSink::itemCount() const { return m_collection.header.itemCount; }

bool ImportSink::append(store::ItemRecordHeader header, std::u16string_view question,
                        std::u16string_view answer) {
  if (!m_ok || full()) return false;
  std::array<std::u16string_view, 2> texts = {question, answer};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (store::findUnit(texts[i], u'\n') < texts[i].size()) {
      m_normalized[i].assign(texts[i]);
      normalizeLineBreaks(m_normalized[i]);
      texts[i] = m_normalized[i];
    }
    texts[i] = texts[i].substr(0, std::min<std::size_t>(texts[i].size(), store::MaxTextLength - 1));
  }
  // The record is encoded in place at the end of what is gathered.
  const store::TextEncoding encoding = m_collection.encoding();
  const std::size_t start = m_pending.size();
  m_pending.resize(start + store::kRecordHeaderSize);
  header.questionLength = store::encodeText(m_pending, texts[0], encoding, &m_report);
  header.answerLength = store::encodeText(m_pending, texts[1], encoding, &m_report);
  if ((m_pending.size() - start) % 2 != 0) m_pending.push_back(store::kPadByte);
  if (m_written + m_pending.size() >= store::kNoRecord) {
    m_pending.resize(start);
    fail(EFBIG);
    return false;
  }
  header.slotNumber = m_collection.header.itemCount;
  const auto head = store::encodeRecordHeader(header);
  std::copy(head.begin(), head.end(), m_pending.begin() + static_cast<std::ptrdiff_t>(start));
  if (m_pending.size() >= kGatherBytes && !flush()) return false;
  ++m_collection.header.itemCount;
  return true;
}

bool ImportSink::flush() {
  if (!m_ok) return false;
  if (m_pending.empty()) return true;
  store::IoResult r = m_file->writeAt(m_written, m_pending);
  if (!r.ok()) {
    fail(r.failed() ? r.error : EIO);
    return false;
  }
  m_written += m_pending.size();
  m_pending.clear();
  return true;
}

bool ImportSink::finish() {
  if (m_finished) return m_ok;
  m_finished = true;
  if (m_file) {
    if (flush()) {
      store::IoResult r = m_file->sync();
      if (r.failed()) fail(r.error);
    }
    store::IoResult closed = m_file->close();
    if (closed.failed()) fail(closed.error);
    m_file.reset();
  }
  if (!m_ok) (void)m_collection.files().remove(m_path);
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
