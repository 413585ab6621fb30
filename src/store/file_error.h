// The messages a user sees when a collection file cannot be opened.
#pragma once

#include <string_view>

#include "store/file_system.h"
#include "store/message_port.h"

namespace kelvora::store {

// Shows the message that fits why the open failed; other reasons show nothing here, the
// caller's own message follows.
void reportFileError(MessagePort& messages, OpenError error);

// How the user is told about an errno: permission and read-only file systems get the
// access-denied notice, everything else no notice of its own.
OpenError openErrorFor(int error);

// A change could not be stored (a full disk, a failing disk, a read-only file): the notice
// that fits the errno, then "Error while saving database!". The files are as they were before
// the change.
void reportSaveFailure(MessagePort& messages, int error);

// An item's record could not be read back (a damaged index entry or texts file):
// "Error while reading database!". The item shows empty and is never written over.
void reportReadFailure(MessagePort& messages, int error);

}  // namespace kelvora::store
