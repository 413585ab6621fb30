// Text-mode streams over the file port, shared by the settings file and the exchange files:
// UTF-8 on disk (stray bytes read as Windows-1252, a leading byte-order mark skipped), UTF-16
// in memory, CR LF on disk for each "\n" in memory. Memory use does not grow with file size.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "store/atomic_file.h"
#include "store/file_system.h"

namespace kelvora::store {

// Bytes read from or written to the file at a time.
inline constexpr std::size_t kTextBufferBytes = std::size_t{64} * 1024;

// Reads a text file as UTF-16 code units. A CR LF pair reads as one "\n", a lone LF as "\n"
// and a lone CR as itself; characters above U+FFFF read as surrogate pairs. A read error ends
// the text too, but failed() tells it from the end of the file.
//
// The reader keeps the file's bytes, not decoded text: an ASCII byte other than CR is one unit
// and is handed over as it is, and only the rest is decoded, one character at a time. Readers
// that look for ASCII bytes can work on bufferedBytes() directly and skip what they have read.
class TextReader {
 public:
  // bufferBytes (at least 2 * kMaxUtf8SequenceLength) is how much of the file is read at a time.
  explicit TextReader(std::unique_ptr<BinaryFile> file, std::size_t bufferBytes = kTextBufferBytes);
  TextReader(TextReader&&) = default;
  TextReader& operator=(TextReader&&) = default;
  ~TextReader();

  // The next code unit, or nullopt at the end of the file.
  std::optional<char16_t> get() {
    if (m_pendingLow == 0 && m_pos < m_raw.size()) {
      const std::uint8_t byte = m_raw[m_pos];
      if (byte < 0x80 && byte != '\r') {
        ++m_pos;
        return byte;
      }
    }
    return getSlow();
  }

  // Reads up to and including the next "\n" and puts the text before it into line. A last line
  // without a line end is still a line; false only at the end of the file with nothing read.
  bool readLine(std::u16string& line);

  bool atEnd();

  // The undecoded bytes from the read position to the end of what is buffered, more of the
  // file read first when none are buffered. Empty at the end of the file, and while the second
  // half of a surrogate pair is still to be taken by get(). Skipping a byte that is ASCII other
  // than CR takes exactly its unit; skipping up to an ASCII byte other than CR and LF takes
  // every unit before that byte, whatever they are.
  std::span<const std::uint8_t> bufferedBytes() {
    if (m_pendingLow != 0) return {};
    if (m_pos >= m_raw.size()) topUpRaw();
    return std::span<const std::uint8_t>(m_raw).subspan(m_pos);
  }
  // The same, with more of the file read first when fewer than count bytes are buffered, so a
  // reader can look at a whole piece of up to count bytes (no more than the buffer holds) in
  // one span, unless the file ends sooner.
  std::span<const std::uint8_t> bufferedBytesAtLeast(std::size_t count) {
    if (m_pendingLow != 0) return {};
    if (m_raw.size() - m_pos < std::min(count, m_bufferBytes) && !m_fileEnded) topUpRaw();
    return std::span<const std::uint8_t>(m_raw).subspan(m_pos);
  }
  // count is at most bufferedBytes().size().
  void skipBytes(std::size_t count) { m_pos += count; }

  // A read of the file failed: what came before it is all the text there was to be had.
  bool failed() const { return m_failed; }

  // Bytes of the file read so far and the file's length (0 when unknown), for a progress bar.
  std::uint64_t bytesRead() const { return m_offset; }
  std::uint64_t fileLength() const { return m_length; }

 private:
  std::optional<char16_t> getSlow();
  // Moves the unread bytes to the front of the buffer and reads the file into the rest of it.
  void topUpRaw();
  // Makes sure a whole character (or all that is left of the file) is buffered at m_pos;
  // false when nothing is left.
  bool ensureCharacter();

  std::unique_ptr<BinaryFile> m_file;
  std::size_t m_bufferBytes;
  std::vector<std::uint8_t> m_raw;  // undecoded bytes at [m_pos, m_raw.size())
  std::size_t m_pos = 0;
  std::uint64_t m_offset = 0;  // where the next read of the file starts
  // Bytes the file still holds, as far as known; without a size, as many as a buffer takes.
  std::uint64_t m_remaining = UINT64_MAX / 2;
  bool m_sizeKnown = false;
  std::uint64_t m_length = 0;  // the file's size when it could be had
  bool m_fileEnded = false;
  bool m_failed = false;
  bool m_started = false;     // the byte-order mark check has been made
  char16_t m_pendingLow = 0;  // the second half of a surrogate pair still to be read, or 0
};

// Sixteen bytes looked at in one step: bit i of the result stands for byte p[i]. With SSE2 (every
// x86-64 processor) one compare does all sixteen; elsewhere a plain loop does the same.
inline std::uint32_t bytesEqual16(const std::uint8_t* p, std::uint8_t value) {
#if defined(__SSE2__)
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return static_cast<std::uint32_t>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(value)))));
#else
  std::uint32_t mask = 0;
  for (int i = 0; i < 16; ++i) mask |= static_cast<std::uint32_t>(p[i] == value) << i;
  return mask;
#endif
}

// The bytes of the sixteen at p that are not ASCII.
inline std::uint32_t wideBytes16(const std::uint8_t* p) {
#if defined(__SSE2__)
  return static_cast<std::uint32_t>(
      _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
#else
  std::uint32_t mask = 0;
  for (int i = 0; i < 16; ++i) mask |= static_cast<std::uint32_t>(p[i] >> 7) << i;
  return mask;
#endif
}

// How many of the leading bytes are ASCII other than stop and alsoStop.
inline std::size_t asciiRunBefore(std::span<const std::uint8_t> bytes, std::uint8_t stop,
                                  std::uint8_t alsoStop) {
  std::size_t n = 0;
  for (; n + 16 <= bytes.size(); n += 16) {
    const std::uint8_t* p = bytes.data() + n;
    const std::uint32_t marks = wideBytes16(p) | bytesEqual16(p, stop) | bytesEqual16(p, alsoStop);
    if (marks != 0) return n + static_cast<std::size_t>(std::countr_zero(marks));
  }
  while (n < bytes.size() && bytes[n] < 0x80 && bytes[n] != stop && bytes[n] != alsoStop) ++n;
  return n;
}

// Appends ASCII bytes as the code units they are.
inline void appendAscii(std::u16string& out, std::span<const std::uint8_t> bytes) {
  const std::size_t at = out.size();
  out.resize(at + bytes.size());
  char16_t* to = out.data() + at;
  for (std::size_t i = 0; i < bytes.size(); ++i) to[i] = bytes[i];
}

// Writes UTF-16 text as UTF-8, each "\n" as CR LF; a CR in the text is written as it is, and a
// surrogate without its partner as U+FFFD. Output is buffered, so a failure may only show at a
// later write or at close(), which reports every failure since the file was created.
// A writer over an AtomicFile changes its target only at a successful close().
class TextWriter {
 public:
  explicit TextWriter(std::unique_ptr<BinaryFile> file);
  explicit TextWriter(std::unique_ptr<AtomicFile> file);
  TextWriter(TextWriter&&) = default;
  TextWriter& operator=(TextWriter&&) = default;
  // Closes the file if close() was not called; its result is then lost, and a target
  // written by way of a temporary stays as it was.
  ~TextWriter();

  // A surrogate pair may be split between two calls.
  void write(std::u16string_view text);
  // Writes bytes that already stand as the file is to hold them: UTF-8, line ends as CR LF.
  void writeBytes(std::string_view bytes);

  // No write has failed so far.
  bool ok() const { return m_ok; }

  // Writes what is buffered and closes the file (putting it in the place of its target). False
  // if any write or the close failed; the target is then as it was.
  bool close();
  // Gives up: the temporary is removed and the target stays as it was.
  void abandon();

 private:
  void flush();
  void writeUnit(char16_t unit);
  // A high surrogate waiting for a partner that will not come: written as U+FFFD.
  void endPendingHigh();

  std::unique_ptr<AtomicFile> m_atomic;
  std::unique_ptr<BinaryFile> m_plain;
  BinaryFile* m_file = nullptr;
  std::uint64_t m_offset = 0;
  std::string m_buffer;        // UTF-8 bytes not yet handed to the file
  char16_t m_pendingHigh = 0;  // a high surrogate waiting for its partner, or 0
  bool m_ok = true;
};

// Opens an existing file for reading; nullopt if it cannot be opened.
std::optional<TextReader> openTextReader(FileSystem& files, const std::filesystem::path& path);

// Starts writing a whole file by way of a temporary beside it: path itself changes only when
// close() succeeds. nullopt if the temporary cannot be created.
std::optional<TextWriter> createTextWriter(FileSystem& files, const std::filesystem::path& path,
                                           OpenError* error = nullptr);

}  // namespace kelvora::store
