// The messages a user sees when a collection file cannot be opened.
#pragma once

#include "store/file_system.h"
#include "store/message_port.h"

namespace kelvora::store {

// Shows the message that fits why the open failed; other reasons show nothing here, the
// caller's own message follows.
void reportFileError(MessagePort& messages, OpenError error);

}  // namespace kelvora::store
