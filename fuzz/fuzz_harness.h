// One collection and one fake disk shared by every input of a fuzz target: a Collection carries
// whole MaxItems tables, and building them anew for each input would cost more than the input.
#pragma once

#include "memory_file_system.h"
#include "recording_messages.h"
#include "store/collection.h"

namespace kelvora::fuzzing {

struct Harness {
  fakes::MemoryFileSystem files;
  fakes::RecordingMessages messages;
  store::Collection c{files, messages, [] { return store::DayNumber{9000}; }};
};

}  // namespace kelvora::fuzzing
