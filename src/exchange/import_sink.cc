// Appending imported records, and reading items back for export.
#include "exchange/import_sink.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include "store/atomic_file.h"
#include "store/utf16_text.h"

namespace kelvora::exchange {

namespace {
constexpr std::size_t kGatherBytes = std::size_t{256} * 1024;
}  // namespace

ImportSink::ImportSink(store::Collection& collection)
    : m_collection(collection),
      m_path(store::temporaryPathFor(store::textsPath(collection.basePath))) {
  // Room for a full gathering and one more record of the longest texts, made once: records are
  // encoded straight into it.
  m_pending.resize(kGatherBytes + store::kRecordHeaderSize +
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

bool ImportSink::append(store::ItemRecordHeader header, ImportText question, ImportText answer) {
  if (!m_ok || full()) return false;
  std::array<ImportText, 2> texts = {question, answer};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    ImportText& text = texts[i];
    if (text.isPlain) {
      // Without a CR in it, every line feed of a plain text is a bare one.
      if (text.bytes.find('\n') != std::string_view::npos) {
        std::string& mended = m_normalizedBytes[i];
        mended.clear();
        for (const char byte : text.bytes) {
          if (byte == '\n') mended.push_back('\r');
          mended.push_back(byte);
        }
        text.bytes = mended;
      }
      text.bytes = text.bytes.substr(0, std::min(text.bytes.size(), store::MaxTextLength - 1));
      continue;
    }
    if (store::findUnit(text.units, u'\n') < text.units.size()) {
      m_normalized[i].assign(text.units);
      normalizeLineBreaks(m_normalized[i]);
      text.units = m_normalized[i];
    }
    text.units = text.units.substr(0, std::min(text.units.size(), store::MaxTextLength - 1));
  }
  // The record is encoded in place at the end of what is gathered.
  const store::TextEncoding encoding = m_collection.encoding();
  const std::size_t start = m_pendingSize;
  std::uint8_t* record = m_pending.data() + start;
  std::size_t size = store::kRecordHeaderSize;
  const auto encode = [&](const ImportText& text) {
    const std::uint16_t length =
        text.isPlain ? store::encodeAsciiTextAt(record + size, text.bytes, encoding, &m_report)
                     : store::encodeTextAt(record + size, text.units, encoding, &m_report);
    size += length;
    return length;
  };
  header.questionLength = encode(texts[0]);
  header.answerLength = encode(texts[1]);
  if (size % 2 != 0) record[size++] = store::kPadByte;
  if (m_written + start + size >= store::kNoRecord) {
    fail(EFBIG);
    return false;
  }
  header.slotNumber = m_collection.header.itemCount;
  const auto head = store::encodeRecordHeader(header);
  std::copy(head.begin(), head.end(), record);
  m_pendingSize += size;
  if (m_pendingSize >= kGatherBytes && !flush()) return false;
  ++m_collection.header.itemCount;
  return true;
}

bool ImportSink::flush() {
  if (!m_ok) return false;
  if (m_pendingSize == 0) return true;
  store::IoResult r = m_file->writeAt(m_written, std::span(m_pending).first(m_pendingSize));
  if (!r.ok()) {
    fail(r.failed() ? r.error : EIO);
    return false;
  }
  // The disk starts on what is written while the rest is read: the final sync waits less.
  m_file->startWriteback(m_written, m_pendingSize);
  m_written += m_pendingSize;
  m_pendingSize = 0;
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
