// A whole file replaced in one step: the new content goes to a temporary file beside the
// target, reaches the disk, and is renamed over the target. Until then the target is exactly
// as it was, whatever happens to the program or the disk.
#pragma once

#include <filesystem>
#include <memory>
#include <string_view>

#include "store/file_system.h"

namespace kelvora::store {

// The temporary that stands for target while it is being written: target + ".tmp".
std::filesystem::path temporaryPathFor(const std::filesystem::path& target);

class AtomicFile {
 public:
  // Creates (or empties) the temporary; nullptr, with error set, when it cannot be created.
  static std::unique_ptr<AtomicFile> create(FileSystem& files, const std::filesystem::path& target,
                                            OpenError* error = nullptr);
  ~AtomicFile();  // abandons a temporary that was not committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  BinaryFile& file() { return *m_file; }
  const std::filesystem::path& target() const { return m_target; }

  // Syncs and closes the temporary, renames it over the target and syncs the folder (or leaves
  // that to a caller that puts many files in one folder and syncs it once, after the last). On
  // a failure before the rename the temporary is removed and the target stays as it was.
  enum class FolderSync { Now, Later };
  IoResult commit(FolderSync folder = FolderSync::Now);
  // Syncs and closes the temporary and leaves it where it is, for a journaled change to rename
  // over the target later. On a failure the temporary is removed.
  IoResult stage();
  // Closes and removes the temporary; the target stays as it was.
  void abandon();

 private:
  AtomicFile(FileSystem& files, std::filesystem::path target, std::unique_ptr<BinaryFile> file);

  FileSystem& m_files;
  std::filesystem::path m_target;
  std::unique_ptr<BinaryFile> m_file;
};

// bytes as the whole new content of target, through an AtomicFile: committed, or staged for a
// journaled rename. A temporary that cannot be created fails with EACCES when access was
// denied, else EIO; on any failure no temporary is left and the target stays as it was.
enum class WholeFile { Commit, Stage };
IoResult writeWholeFile(FileSystem& files, const std::filesystem::path& target,
                        std::string_view bytes, WholeFile how = WholeFile::Commit);

}  // namespace kelvora::store
