// Where imported items go: each one becomes a record of a new texts file written beside the
// collection being imported into (BASE.kdb.tmp), in document order. The collection's own files
// stay as they were until the import installs the new one.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "store/collection.h"

namespace kelvora::exchange {

// One item text as a reader hands it over: code units, or plain bytes, ASCII other than CR, each
// standing for the unit it is.
struct ImportText {
  ImportText(std::u16string_view text) : units(text) {}  // NOLINT(google-explicit-constructor)
  static ImportText plain(std::string_view bytes) {
    ImportText text(std::u16string_view{});
    text.bytes = bytes;
    text.isPlain = true;
    return text;
  }
  std::u16string_view units;
  std::string_view bytes;
  bool isPlain = false;
};

// Where a reader hands the items it reads, in document order.
class ItemSink {
 public:
  ItemSink() = default;
  virtual ~ItemSink() = default;
  ItemSink(const ItemSink&) = delete;
  ItemSink& operator=(const ItemSink&) = delete;

  // Nothing more may be appended: the reader stops.
  virtual bool full() const = 0;
  virtual std::uint16_t itemCount() const = 0;
  // False when the item could not be kept: the reader gives up.
  virtual bool append(store::ItemRecordHeader header, ImportText question, ImportText answer) = 0;
};

class ImportSink final : public ItemSink {
 public:
  // The collection is open for replacing, its table empty. Appends are gathered and reach the
  // new file in large pieces until finish().
  explicit ImportSink(store::Collection& collection);
  ~ImportSink() override;

  // The collection holds MaxItems items: nothing more may be appended.
  bool full() const override;
  std::uint16_t itemCount() const override;

  // Appends one item. Bare line feeds in the texts become CR LF, the form item texts keep
  // their line breaks in, and each text is cut to MaxTextLength - 1 code units. The header's
  // learning fields, ID and status are taken as given; the stored lengths and the slot number
  // (the item's position) are filled in here. False when the record could not be written.
  bool append(store::ItemRecordHeader header, ImportText question, ImportText answer) override;

  // Writes out what is gathered and makes the new file durable; false if any record could not
  // be written (the new file is then removed).
  bool finish();
  // The first errno that stopped the import, or 0.
  int error() const { return m_error; }

  // Code units the collection's text form could not hold, stored as "?".
  std::size_t replacedUnits() const { return m_report.replacedUnits; }

 private:
  bool flush();
  void fail(int error);

  store::Collection& m_collection;
  std::filesystem::path m_path;
  std::unique_ptr<store::BinaryFile> m_file;
  std::uint64_t m_written = 0;  // bytes the file holds
  store::EncodeReport m_report;
  std::array<std::u16string, 2> m_normalized;    // texts whose line breaks had to be mended
  std::array<std::string, 2> m_normalizedBytes;  // the same for plain texts
  store::Bytes m_pending;         // records not yet written, from its start; its size stays
  std::size_t m_pendingSize = 0;  // how many bytes of it hold records
  bool m_ok = true;
  bool m_finished = false;
  int m_error = 0;
};

// Stored line breaks are CR LF: a line feed without a carriage return before it gets one.
void normalizeLineBreaks(std::u16string& text);

// Reads the item at position for export: an item whose record cannot be read (one added and
// never written) comes out with empty texts rather than those of the item read before.
void readItemForExport(store::Collection& collection, std::uint16_t position);

}  // namespace kelvora::exchange
