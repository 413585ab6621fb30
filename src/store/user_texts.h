// Every message and question the user reads in a message box, in one place: the desktop
// program and kelvora-cli show the same words for the same event.
#pragma once

#include <string_view>

namespace kelvora::store::texts {

// Files
inline constexpr std::u16string_view kOpenFailed = u"Error while opening database!";
inline constexpr std::u16string_view kRebuildFailed = u"Error while rebuilding database!";
inline constexpr std::u16string_view kSaveFailed = u"Error while saving database!";
inline constexpr std::u16string_view kReadFailed = u"Error while reading database!";
inline constexpr std::u16string_view kFileInUse =
    u"Cannot access the file because\nit is being used by another process!";
inline constexpr std::u16string_view kAccessDenied =
    u"Access denied! Probably file has\nread-only attribute set.";
// Followed by the texts file's path.
inline constexpr std::u16string_view kOverwrite = u"Overwrite old data files?\r\n";
// A collection named from outside (the command line, a second start) that does not exist.
inline constexpr std::u16string_view kCreateMissing =
    u"There is no collection of that name. Create a new one?\r\n";
inline constexpr std::u16string_view kResetQuestion = u"Reset database?";

// Import and export; the two results are followed by a path.
inline constexpr std::u16string_view kImported = u"Your file has been imported into:\r\n";
inline constexpr std::u16string_view kImportFailed = u"Error while importing database!";
inline constexpr std::u16string_view kExported = u"Database has been exported into:\r\n";
inline constexpr std::u16string_view kExportFailed = u"Error while exporting database!";
// Update from XML; the result is followed by the file's path and the counts.
inline constexpr std::u16string_view kUpdated = u"The collection has been updated from:\r\n";
inline constexpr std::u16string_view kUpdateFailed = u"Error while updating database!";
inline constexpr std::u16string_view kUpdateTooMany =
    u"Too many items!\nThe new items of this file do not fit beside the collection's.\n"
    u"Nothing has been changed.";
inline constexpr std::u16string_view kStoreAsUnicodeQuestion =
    u"Some characters of this file cannot be stored in\nCompressed Unicode.\n"
    u"Store the new collection in Unicode?";
inline constexpr std::u16string_view kReplacedAtImport =
    u"Some characters could not be stored in\nCompressed Unicode and became '?'.\n"
    u"Choose Mode > Encoding > Unicode before importing such files.";

// Editing
inline constexpr std::u16string_view kItemTooLong = u"Item is too long!";
inline constexpr std::u16string_view kTooManyItems = u"Too many items!";
inline constexpr std::u16string_view kReplacedWhileTyping =
    u"Some characters could not be stored in\nCompressed Unicode and became '?'.";
inline constexpr std::u16string_view kDeleteQuestion = u"DELETE this element?";
inline constexpr std::u16string_view kSwapAllQuestion = u"Do you want swap all items in database?";
// Followed by the search text and a closing quote.
inline constexpr std::u16string_view kNotFound = u"Cannot find the string\n'";

// Learning
inline constexpr std::u16string_view kNewMaterialQuestion = u"Do you want to learn\nnew material?";
inline constexpr std::u16string_view kFinalDrillQuestion = u"Final drill?";
inline constexpr std::u16string_view kNoMoreItems = u"No more items!";
inline constexpr std::u16string_view kForgetQuestion = u"Forget element?";
inline constexpr std::u16string_view kRememberQuestion = u"Remember element?";
inline constexpr std::u16string_view kDismissQuestion = u"Ignore element\nin learning?";

}  // namespace kelvora::store::texts
