// Buffered UTF-8 text streams with CR LF line ends over the file port.
#include "store/text_stream.h"

#include <algorithm>
#include <array>
#include <span>

#include "store/utf16_text.h"
#include "store/utf8.h"

namespace kelvora::store {

TextReader::TextReader(std::unique_ptr<BinaryFile> file, std::size_t bufferBytes)
    : m_file(std::move(file)), m_bufferBytes(std::max(bufferBytes, 2 * kMaxUtf8SequenceLength)) {}

TextReader::~TextReader() {
  if (m_file) (void)m_file->close();
}

void TextReader::topUpRaw() {
  if (!m_file) return;
  m_raw.erase(m_raw.begin(), m_raw.begin() + static_cast<std::ptrdiff_t>(m_pos));
  m_pos = 0;
  std::size_t filled = m_raw.size();
  // The buffer grows no larger than what the file still holds, so a short file costs little.
  if (!m_sizeKnown) {
    m_sizeKnown = true;
    if (auto size = m_file->size()) {
      m_remaining = *size;
      m_length = *size;
    }
  }
  m_raw.resize(
      static_cast<std::size_t>(std::min<std::uint64_t>(m_bufferBytes, filled + m_remaining + 1)));
  while (!m_fileEnded && filled < m_raw.size()) {
    const IoResult r = m_file->readAt(m_offset, std::span(m_raw).subspan(filled));
    filled += r.count;
    m_offset += r.count;
    m_remaining -= std::min<std::uint64_t>(m_remaining, r.count);
    if (!r.ok()) m_fileEnded = true;
    if (r.failed()) m_failed = true;
  }
  m_raw.resize(filled);
  if (!m_started) {
    m_started = true;
    if (filled >= 3 && std::equal(m_raw.data(), m_raw.data() + 3, kUtf8ByteOrderMark)) m_pos = 3;
  }
}

bool TextReader::ensureCharacter() {
  // Fewer bytes than a character may take are read on from the file first, unless it has
  // ended: a character and a CR LF pair are never split between two reads.
  if (m_raw.size() - m_pos < kMaxUtf8SequenceLength && !m_fileEnded) topUpRaw();
  return m_pos < m_raw.size();
}

std::optional<char16_t> TextReader::getSlow() {
  if (m_pendingLow != 0) {
    const char16_t low = m_pendingLow;
    m_pendingLow = 0;
    return low;
  }
  if (!ensureCharacter()) return std::nullopt;
  const std::uint8_t* data = m_raw.data() + m_pos;
  const std::size_t available = m_raw.size() - m_pos;
  if (data[0] == '\r') {
    const bool pair = available > 1 && data[1] == '\n';
    m_pos += pair ? 2 : 1;
    return pair ? u'\n' : u'\r';
  }
  if (data[0] < 0x80) {
    ++m_pos;
    return data[0];
  }
  const DecodedChar decoded = decodeUtf8Char({data, available});
  m_pos += decoded.length;
  if (decoded.codePoint < 0x10000) return static_cast<char16_t>(decoded.codePoint);
  const char32_t above = decoded.codePoint - 0x10000;
  m_pendingLow = static_cast<char16_t>(0xDC00 + (above & 0x3FF));
  return static_cast<char16_t>(0xD800 + (above >> 10));
}

bool TextReader::atEnd() { return m_pendingLow == 0 && !ensureCharacter(); }

bool TextReader::readLine(std::u16string& line) {
  line.clear();
  bool readAny = false;
  for (;;) {
    const std::span<const std::uint8_t> bytes = bufferedBytes();
    const std::size_t n = asciiRunBefore(bytes, '\n', '\r');
    appendAscii(line, bytes.first(n));
    skipBytes(n);
    const std::optional<char16_t> unit = get();
    if (!unit) return readAny || n > 0;
    readAny = true;
    if (*unit == u'\n') return true;
    line.push_back(*unit);
  }
}

TextWriter::TextWriter(std::unique_ptr<BinaryFile> file)
    : m_plain(std::move(file)), m_file(m_plain.get()) {
  m_buffer.reserve(kTextBufferBytes + 8);
}

TextWriter::TextWriter(std::unique_ptr<AtomicFile> file)
    : m_atomic(std::move(file)), m_file(&m_atomic->file()) {
  m_buffer.reserve(kTextBufferBytes + 8);
}

TextWriter::~TextWriter() {
  if (m_atomic) {
    abandon();
  } else if (m_plain) {
    close();
  }
}

void TextWriter::abandon() {
  if (m_atomic) m_atomic->abandon();
  if (m_plain) (void)m_plain->close();
  m_atomic.reset();
  m_plain.reset();
  m_file = nullptr;
  m_ok = false;
}

void TextWriter::endPendingHigh() {
  if (m_pendingHigh == 0) return;
  m_pendingHigh = 0;
  appendUtf8(m_buffer, kReplacementCharacter);
}

void TextWriter::writeBytes(std::string_view bytes) {
  endPendingHigh();
  if (m_buffer.size() + bytes.size() > kTextBufferBytes) flush();
  if (bytes.size() >= kTextBufferBytes) {
    m_buffer.assign(bytes);
    flush();
    return;
  }
  m_buffer.append(bytes);
}

void TextWriter::write(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    // A run of ASCII other than the line feed is a byte a unit: it goes over in one piece.
    if (m_pendingHigh == 0) {
      const std::size_t room = kTextBufferBytes - std::min(m_buffer.size(), kTextBufferBytes);
      const std::size_t n =
          asciiUnitsBefore(text.substr(i, std::min(room, text.size() - i)), u'\n', u'\n');
      if (n > 0) {
        const std::size_t at = m_buffer.size();
        m_buffer.resize(at + n);
        char* to = m_buffer.data() + at;
        for (std::size_t k = 0; k < n; ++k) to[k] = static_cast<char>(text[i + k]);
        i += n;
        if (m_buffer.size() >= kTextBufferBytes) flush();
        continue;
      }
    }
    writeUnit(text[i++]);
  }
}

void TextWriter::writeUnit(char16_t unit) {
  if (m_pendingHigh != 0 && isLowSurrogate(unit)) {
    appendUtf8(m_buffer, combineSurrogates(m_pendingHigh, unit));
    m_pendingHigh = 0;
    if (m_buffer.size() >= kTextBufferBytes) flush();
    return;
  }
  endPendingHigh();
  if (unit == u'\n') {
    m_buffer += "\r\n";
  } else if (unit < 0x80) {
    m_buffer.push_back(static_cast<char>(unit));
  } else if (isHighSurrogate(unit)) {
    m_pendingHigh = unit;
  } else if (isLowSurrogate(unit)) {
    appendUtf8(m_buffer, kReplacementCharacter);
  } else {
    appendUtf8(m_buffer, unit);
  }
  if (m_buffer.size() >= kTextBufferBytes) flush();
}

void TextWriter::flush() {
  if (m_buffer.empty()) return;
  // After a failed write nothing more goes out: the file is already incomplete, and close()
  // will say so.
  if (!m_file) {
    m_ok = false;
  } else if (m_ok) {
    const std::span<const std::uint8_t> bytes(
        reinterpret_cast<const std::uint8_t*>(m_buffer.data()), m_buffer.size());
    const IoResult r = m_file->writeAt(m_offset, bytes);
    m_offset += r.count;
    if (!r.ok()) m_ok = false;
  }
  m_buffer.clear();
}

bool TextWriter::close() {
  if (!m_atomic && !m_plain) return m_ok;
  endPendingHigh();
  flush();
  if (!m_ok) {
    abandon();
    return false;
  }
  const bool closed = m_atomic ? !m_atomic->commit().failed() : !m_plain->close().failed();
  m_atomic.reset();
  m_plain.reset();
  m_file = nullptr;
  m_ok = m_ok && closed;
  return m_ok;
}

std::optional<TextReader> openTextReader(FileSystem& files, const std::filesystem::path& path) {
  std::unique_ptr<BinaryFile> file = files.openForReading(path);
  if (!file) return std::nullopt;
  return TextReader(std::move(file));
}

std::optional<TextWriter> createTextWriter(FileSystem& files, const std::filesystem::path& path,
                                           OpenError* error) {
  std::unique_ptr<AtomicFile> file = AtomicFile::create(files, path, error);
  if (!file) return std::nullopt;
  return TextWriter(std::move(file));
}

}  // namespace kelvora::store
