// Any bytes as a text table: decoding must give valid UTF-16 no longer than the file, and
// splitting must hand over fields that only ever shrink the text and read the same again once
// the detected separator is given.
// Input: a flags byte (bits 0-1: question column; bits 2-3: answer column; bits 4-6: the given
// separator, 0 for none; bit 7: refuse the first row), then the file's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "peers/text_table_reader.h"

using namespace kelvora::peers;

namespace {

bool validUtf16(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

bool blank(std::u16string_view field) {
  return field.find_first_not_of(u" \t") == std::u16string_view::npos;
}

void checkDecoding(std::span<const std::uint8_t> bytes, const std::u16string& text,
                   TableEncoding encoding, bool odd) {
  const bool utf16 =
      encoding == TableEncoding::Utf16LittleEndian || encoding == TableEncoding::Utf16BigEndian;
  if (!validUtf16(text) || text.size() > bytes.size()) std::abort();
  if (odd != (utf16 && bytes.size() % 2 != 0)) std::abort();
  if (utf16 && text.size() != (bytes.size() - 2) / 2) std::abort();
  if (encoding == TableEncoding::Windows1252 && text.size() != bytes.size()) std::abort();
  const bool utf8Mark =
      bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
  if (utf8Mark != (encoding == TableEncoding::Utf8WithBom)) std::abort();
}

using Rows = std::vector<std::pair<std::u16string, std::u16string>>;

}  // namespace

// NOLINTNEXTLINE(readability-identifier-naming): the name libFuzzer looks for
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static constexpr char16_t kSeparators[] = {0, u'\t', u',', u';', u' ', u'|', u'"', u'\n'};
  TableSettings settings;
  settings.questionColumn = data[0] & 3u;
  settings.answerColumn = (data[0] >> 2) & 3u;
  settings.separator = kSeparators[(data[0] >> 4) & 7u];
  const bool refuseFirst = (data[0] & 0x80u) != 0;
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);

  TableEncoding encoding = TableEncoding::Utf8;
  bool odd = false;
  const std::u16string text = decodeTable(bytes, &encoding, &odd);
  checkDecoding(bytes, text, encoding, odd);

  const bool sameColumn = settings.questionColumn == settings.answerColumn;
  Rows rows;
  std::size_t taken = 0;
  TableReport report;
  const bool complete = readTable(text, settings, report, [&](auto question, auto answer) {
    for (const std::u16string_view field : {question, answer}) {
      if (field.find(u'\r') != std::u16string_view::npos) std::abort();
      if (field.find(u'\0') != std::u16string_view::npos) std::abort();
    }
    if (blank(question) && blank(answer)) std::abort();
    if (sameColumn && question != answer) std::abort();
    taken += question.size() + (sameColumn ? 0 : answer.size());
    rows.emplace_back(question, answer);
    return !refuseFirst;
  });
  // Every code unit handed over stands for at least one of the text's own.
  if (taken > text.size()) std::abort();
  if (report.rows != rows.size() || report.unclosedQuotes > 1) std::abort();
  if (report.rowsWithExtraColumns > report.rows) std::abort();
  if (complete == (refuseFirst && !rows.empty())) std::abort();
  if (refuseFirst && rows.size() > 1) std::abort();

  // The separator used, given outright, splits the same rows.
  TableSettings again = settings;
  again.separator = report.separator;
  Rows second;
  TableReport secondReport;
  readTable(text, again, secondReport, [&](auto question, auto answer) {
    second.emplace_back(question, answer);
    return !refuseFirst;
  });
  if (second != rows || secondReport.separator != report.separator ||
      secondReport.emptyRowsSkipped != report.emptyRowsSkipped ||
      secondReport.headerLines != report.headerLines) {
    std::abort();
  }
  return 0;
}
