// Reads text tables: CSV and TSV files saved by spreadsheets, and the text exports of other
// learners with their "#key:value" header lines. Bytes are decoded first, then rows and columns
// are split; no I/O, the caller hands in the whole file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace kelvora::peers {

enum class TableEncoding { Utf8, Utf8WithBom, Utf16LittleEndian, Utf16BigEndian, Windows1252 };

// The file's text as UTF-16 code units, without its byte order mark. A file with the UTF-16 mark
// (either byte order) is UTF-16: an odd last byte is dropped and *oddByteDropped set, unpaired
// surrogates become U+FFFD. A file with the UTF-8 mark is UTF-8: each broken sequence becomes one
// U+FFFD. A file without a mark is UTF-8 when all of it is valid UTF-8, else every byte is one
// Windows-1252 character, so Latin-1 files read right; the five bytes that table leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+FFFD, never a control character. The result is valid
// UTF-16 and never longer than bytes.size() code units. NUL is kept here (readTable drops it).
// found and oddByteDropped may be null.
std::u16string decodeTable(std::span<const std::uint8_t> bytes, TableEncoding* found,
                           bool* oddByteDropped = nullptr);

struct TableSettings {
  // 0: the last "#separator:" header line, else detected. '"', CR, LF and NUL cannot separate and
  // are taken as 0, here and in the header.
  char16_t separator = 0;
  std::size_t questionColumn = 0;  // 0-based; may equal answerColumn
  std::size_t answerColumn = 1;
};

struct TableReport {
  char16_t separator = u'\t';  // the one used
  std::size_t rows = 0;        // rows handed to row(), the one it refused included
  // Rows whose two picked fields are both empty or only spaces and tabs, blank lines included.
  std::size_t emptyRowsSkipped = 0;
  // Rows handed over that had a non-empty field past the highest picked column; those fields are
  // ignored. Trailing empty columns, as spreadsheets write for ragged rows, are not counted.
  std::size_t rowsWithExtraColumns = 0;
  std::size_t headerLines = 0;  // "#key:value" lines at the start, read or skipped
  bool html = false;            // the last "#html:" line said true
  // 1 when a quoted field was still open at the end of the text: that field holds everything
  // after its opening quote.
  std::size_t unclosedQuotes = 0;
};

// Splits text into rows and hands each row's picked question and answer to row(), in order. The
// views are valid only during the call. report is reset first. Returns false as soon as row()
// returns false, true when the text was read to its end.
//
// Header: at the very start (after an optional U+FEFF), each line of the form "#key:value", the
// key an ASCII letter then up to 31 letters, digits, spaces, '_' or '-', is a header line; keys
// and named values are matched without regard to case. "#separator:" takes tab, comma, semicolon,
// space, pipe, colon or one literal character; "#html:" takes true or false; every other key is
// skipped. The first line that is not of that form, "#1 question" or a blank line too, starts the
// data, and from there a '#' is data like any other character.
//
// Separator detection, when neither settings nor header name one, looks at the first 20 rows after
// the header, blank ones included, outside quotes: tab if any has a tab; else semicolon if
// semicolons appear and score at least as high as commas, where a character scores two for each row
// holding it and one more when every such row holds it equally often; else comma. "a, b;c" thus
// splits at the semicolon.
//
// Fields: one that begins with '"' is quoted: separators and line breaks in it are data, "" is
// one '"', and its line breaks (CR LF, CR or LF) are kept as one LF. Text after the closing quote
// up to the separator is appended as it stands ("ab"cd gives abcd). Any other field, leading
// spaces included, is taken as it stands. LF, CR LF and lone CR end a row outside quotes. NUL is
// dropped from every field. A missing answer column gives an empty answer.
bool readTable(
    std::u16string_view text, const TableSettings& settings, TableReport& report,
    const std::function<bool(std::u16string_view question, std::u16string_view answer)>& row);

}  // namespace kelvora::peers
