// Exact texts of the two file-error notices.
#include "store/file_error.h"

#include <cerrno>

#include "store/user_texts.h"

namespace kelvora::store {

void reportFileError(MessagePort& messages, OpenError error) {
  switch (error) {
    case OpenError::SharingViolation:
      messages.showMessage(texts::kFileInUse, MessageKind::Information);
      break;
    case OpenError::AccessDenied:
      messages.showMessage(texts::kAccessDenied, MessageKind::Information);
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
  messages.showMessage(texts::kSaveFailed, MessageKind::Error);
}

void reportReadFailure(MessagePort& messages, int error) {
  reportFileError(messages, openErrorFor(error));
  messages.showMessage(texts::kReadFailed, MessageKind::Error);
}

}  // namespace kelvora::store
