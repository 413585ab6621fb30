// Writing a collection as an Anki package (.apkg) in the schema-11 form every Anki since 2.0
// reads: one note of a two-field Basic note type and one card per item, the card scheduled as
// the item's learning data says, and the collection's media files beside them.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "peers/peer_ports.h"
#include "store/day_number.h"
#include "store/file_system.h"

namespace kelvora::peers {

// One item as it becomes a note and its card.
struct ExportNote {
  // UTF-8 field HTML, ready to store (plainTextAsField for plain text). A 0x1F, which separates
  // a note's fields, is written as a blank.
  std::string question;
  std::string answer;
  std::string guid;  // the note's GUID, kept by the caller so a second export updates the notes
  std::uint8_t status = 0;              // store::ItemStatus code
  std::uint16_t interval = 0;           // days
  store::DayNumber lastRepetition = 0;  // 0 for none
  std::uint16_t aFactor = 0;            // thousandths
  std::uint8_t repetitions = 0;
  std::uint8_t lapses = 0;
};

struct AnkiExport {
  std::vector<ExportNote> notes;        // in the collection's order
  std::vector<std::string> mediaNames;  // plain file names (UTF-8) in mediaFolder
  std::filesystem::path mediaFolder;
  store::DayNumber today = 0;
  // The moment of the export, in seconds since 1970: the notes' modification time, which tells
  // Anki that a note imported before has changed, and the base of their IDs. 0 takes noon today.
  std::int64_t nowSeconds = 0;
};

// Writes the package at out: to out + ".tmp" first, renamed over out through files once it is
// on the disk, so a failure leaves out as it was and no temporary behind. False, with error in
// words for the user, when a note has no GUID or shares one, a media name is not a plain file
// name, a media file cannot be read, or the package cannot be written. placed, when given, tells
// whether the package stands at out: it does when only syncing its folder failed.
//
// Cards: a memorized item (due or not) is a review card due at its last repetition plus its
// interval; a drill item a review card due today; a pending item a new card, in the order of
// the notes; a dismissed item a suspended card, a review card when it has a last repetition and
// an interval, else a new one. Any other code is written as a new card. The review history is
// not written: a made-up one would mislead Anki's statistics. Items never seen carry no factor.
bool writeAnkiPackage(const PeerLibraries& libraries, store::FileSystem& files,
                      const std::filesystem::path& out, const AnkiExport& data, std::string& error,
                      bool* placed = nullptr);

// Plain text as an Anki field: &, < and > escaped, CR LF, LF and a lone CR as <br>.
std::string plainTextAsField(std::u16string_view text);

// A GUID from 64 random bits: the number in base 91, most significant digit first, with the
// digits a-z, A-Z, 0-9 and !#$%&()*+,-./:;<=>?@[]^_`{|}~ as Anki's GUIDs use them. 0 is "a".
std::string ankiGuidFrom(std::uint64_t bits);

// A field's text as Anki sorts and compares notes by it: htmlToText with a picture kept as its
// file name, a non-breaking space as a blank, blanks at both ends trimmed.
std::string fieldWithoutMarkup(std::string_view html);

// The SHA-1 digest of bytes.
std::array<std::uint8_t, 20> sha1(std::string_view bytes);

// The checksum a note keeps of its first field: the first four bytes of the SHA-1 of the field
// without markup, as a big-endian number.
std::int64_t fieldChecksum(std::string_view firstField);

}  // namespace kelvora::peers
