// The file port on POSIX: plain descriptors, with an advisory whole-file lock (flock) so that
// one collection is open in one place at a time.
#pragma once

#include "store/file_system.h"

namespace kelvora::platform {

class PosixFileSystem final : public store::FileSystem {
 public:
  std::unique_ptr<store::BinaryFile> openExclusive(const std::filesystem::path& path,
                                                   store::OpenError& error) override;
  std::unique_ptr<store::BinaryFile> openForReading(const std::filesystem::path& path,
                                                    store::OpenError* error = nullptr) override;
  std::unique_ptr<store::BinaryFile> createForWriting(const std::filesystem::path& path,
                                                      store::OpenError* error = nullptr) override;
  store::IoResult remove(const std::filesystem::path& path) override;
  store::IoResult rename(const std::filesystem::path& from,
                         const std::filesystem::path& to) override;
  store::IoResult syncFolder(const std::filesystem::path& folder) override;
  bool exists(const std::filesystem::path& path) override;
  store::IoResult createFolder(const std::filesystem::path& folder) override;
};

}  // namespace kelvora::platform
