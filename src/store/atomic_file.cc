// Writing a temporary and renaming it over its target.
#include "store/atomic_file.h"

#include <cerrno>
#include <span>

namespace kelvora::store {

std::filesystem::path temporaryPathFor(const std::filesystem::path& target) {
  return withSuffix(target, ".tmp");
}

AtomicFile::AtomicFile(FileSystem& files, std::filesystem::path target,
                       std::unique_ptr<BinaryFile> file)
    : m_files(files), m_target(std::move(target)), m_file(std::move(file)) {}

std::unique_ptr<AtomicFile> AtomicFile::create(FileSystem& files,
                                               const std::filesystem::path& target,
                                               OpenError* error) {
  auto file = files.createForWriting(temporaryPathFor(target), error);
  if (!file) return nullptr;
  return std::unique_ptr<AtomicFile>(new AtomicFile(files, target, std::move(file)));
}

AtomicFile::~AtomicFile() { abandon(); }

IoResult AtomicFile::stage() {
  if (!m_file) return IoResult::failure(EBADF);
  const IoResult synced = m_file->sync();
  const IoResult closed = m_file->close();
  m_file.reset();
  const IoResult r = synced.failed() ? synced : closed;
  if (r.failed()) (void)m_files.remove(temporaryPathFor(m_target));
  return r;
}

IoResult AtomicFile::commit(FolderSync folder) {
  const std::filesystem::path temporary = temporaryPathFor(m_target);
  IoResult r = stage();
  if (!r.failed()) r = m_files.rename(temporary, m_target);
  if (r.failed()) {
    (void)m_files.remove(temporary);
    return r;
  }
  return folder == FolderSync::Now ? m_files.syncFolder(folderOf(m_target)) : r;
}

void AtomicFile::abandon() {
  if (!m_file) return;
  (void)m_file->close();
  m_file.reset();
  (void)m_files.remove(temporaryPathFor(m_target));
}

IoResult writeWholeFile(FileSystem& files, const std::filesystem::path& target,
                        std::string_view bytes, WholeFile how) {
  OpenError error = OpenError::None;
  auto file = AtomicFile::create(files, target, &error);
  if (!file) return IoResult::failure(error == OpenError::AccessDenied ? EACCES : EIO);
  const IoResult r = file->file().writeAt(
      0, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  if (!r.ok()) return r.failed() ? r : IoResult::failure(EIO);  // the temporary goes with file
  return how == WholeFile::Stage ? file->stage() : file->commit();
}

}  // namespace kelvora::store
