// Exact texts of the two file-error notices.
#include "store/file_error.h"

namespace kelvora::store {

void reportFileError(MessagePort& messages, OpenError error) {
  switch (error) {
    case OpenError::SharingViolation:
      messages.showMessage(u"Cannot access the file because\nit is being used by another process!",
                           MessageKind::Information);
      break;
    case OpenError::AccessDenied:
      messages.showMessage(u"Access denied! Probably file has\nread-only attribute set.",
                           MessageKind::Information);
      break;
    case OpenError::None:
    case OpenError::Other:
      break;
  }
}

}  // namespace kelvora::store
