// Importing a whole collection from an XML or Q&A file, and exporting one into such a file.
// Both work on a collection of their own and leave no collection open.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "exchange/import_sink.h"
#include "exchange/xml_writer.h"
#include "store/collection.h"

namespace kelvora::exchange {

enum class ExchangeKind { Xml, QaText };

// How a source of items was read: to its end, stopped (the user cancelled, the sink refused an
// item or the collection filled up), failed (the source could not be read to its end), or
// refused as holding more items than a collection can (the caller tells the user so).
enum class ImportRead { Whole, Stopped, SourceFailed, TooManyItems };

// Hands every item of a source to the sink, in order. It may set the new collection's settings
// it knows of (the HTML view for a source of HTML texts). Called a second time, from the
// source's start, when the collection is made a Unicode one (see importItems).
using ItemSource = std::function<ImportRead(ItemSink& sink, store::Settings& settings)>;

// Reads the items of a source into a new collection at base, in place of any collection there,
// which stays as it was until the new one is complete. The progress window is the caller's to
// open; it is closed, and the collection too, before this returns. With unicodeOnLoss, a
// compressed collection that would lose characters is made a Unicode one by reading the source
// again. False after a failure, which the user has been told of (a cancel is told nothing).
bool importItems(store::Collection& collection, const std::filesystem::path& base,
                 const ItemSource& read, bool unicodeOnLoss);

// Reads base + ".xml" (Xml) or base + ".txt" (QaText) into a new collection at base, whose
// files the caller has deleted. The new collection has no index file; its first opening
// builds one. When the collection's text form could not hold some characters, the user is
// told before this returns. False after a file could not be opened or a record not written.
// With unicodeOnLoss, a compressed collection that would lose characters is made a Unicode one
// instead, by reading the source again, before anything is installed.
bool importCollection(store::Collection& collection, ExchangeKind kind,
                      const std::filesystem::path& base, bool unicodeOnLoss = false);

// Writes the collection at base into the file exportPath; now goes into the XML comment line.
// False when a file could not be opened, the index could neither be loaded nor rebuilt, or
// anything could not be written to the output.
bool exportCollection(store::Collection& collection, ExchangeKind kind,
                      const std::filesystem::path& base, const std::filesystem::path& exportPath,
                      const XmlTime& now);

// Whether the source of an import at base holds a character that Compressed Unicode cannot
// store (a UTF-16 unit from 0x8000 up, written out or, in XML, as a character reference the
// reader turns into one).
// False when the source cannot be read: the import itself reports that.
bool sourceNeedsUnicode(store::FileSystem& files, ExchangeKind kind,
                        const std::filesystem::path& base);

// What the Import command does when the source holds characters the text form in force cannot
// store: ask whether to store the new collection in Unicode, leave the form as it is, or store
// the new collection in Unicode once reading the source shows that the compressed form would
// lose characters (the source is then read a second time; nothing is asked).
enum class WideCharacters { Ask, KeepForm, UnicodeWhenNeeded };

// The Import command once its source is chosen, as the desktop program and kelvora-cli both
// run it: asks "Overwrite old data files?" when a collection exists at base, then (with Ask)
// whether to store the collection in Unicode when the source needs it, imports, and shows
// "Error while importing database!" on failure. The result text to show on success ("Your file
// has been imported into:" and the texts file); nothing when declined or failed.
std::optional<std::u16string> importWithQuestions(store::Collection& collection, ExchangeKind kind,
                                                  const std::filesystem::path& base,
                                                  WideCharacters wide);

// The Export command once source and target are chosen: exports, and shows "Error while
// exporting database!" on failure. The result text to show on success.
std::optional<std::u16string> exportWithMessages(store::Collection& collection, ExchangeKind kind,
                                                 const std::filesystem::path& base,
                                                 const std::filesystem::path& exportPath,
                                                 const XmlTime& now);

}  // namespace kelvora::exchange
