// Exact texts of the two file-error notices.
#include "store/file_error.h"

#include <cerrno>

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

OpenError openErrorFor(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return OpenError::AccessDenied;
    default:
      return OpenError::Other;
  }
}

void reportSaveFailure(MessagePort& messages, int error) {
  reportFileError(messages, openErrorFor(error));
  messages.showMessage(kSaveFailedMessage, MessageKind::Error);
}

void reportReadFailure(MessagePort& messages, int error) {
  reportFileError(messages, openErrorFor(error));
  messages.showMessage(kReadFailedMessage, MessageKind::Error);
}

}  // namespace kelvora::store
