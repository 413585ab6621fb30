// An in-memory file port for tests: files are byte vectors keyed by path, and a test can make
// opening, writing or closing fail to see how callers cope.
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "store/file_system.h"

namespace kelvora::fakes {

class MemoryFileSystem final : public store::FileSystem {
 public:
  using Bytes = std::vector<std::uint8_t>;

  // Paths whose opening fails with the given error.
  std::map<std::string, store::OpenError> openFailures;
  // After this many more bytes written (over all files), every write stores nothing.
  std::size_t writeBudget = SIZE_MAX;

  bool exists(const std::filesystem::path& p) const { return m_files.count(p.string()) != 0; }
  Bytes& bytes(const std::filesystem::path& p) { return *file(p); }
  void put(const std::filesystem::path& p, Bytes data) { *file(p) = std::move(data); }

  std::unique_ptr<store::BinaryFile> openExclusive(const std::filesystem::path& path,
                                                   store::OpenError& error) override {
    auto failure = openFailures.find(path.string());
    if (failure != openFailures.end()) {
      error = failure->second;
      return nullptr;
    }
    if (m_locked.count(path.string())) {
      error = store::OpenError::SharingViolation;
      return nullptr;
    }
    error = store::OpenError::None;
    m_locked.insert(path.string());
    return std::make_unique<File>(*this, file(path), path.string(), true);
  }

  std::unique_ptr<store::BinaryFile> openForReading(const std::filesystem::path& path,
                                                    store::OpenError* error = nullptr) override {
    auto failure = openFailures.find(path.string());
    if (!exists(path) || failure != openFailures.end()) {
      if (error) *error = failure != openFailures.end() ? failure->second : store::OpenError::Other;
      return nullptr;
    }
    if (error) *error = store::OpenError::None;
    return std::make_unique<File>(*this, file(path), std::string(), false);
  }

  std::unique_ptr<store::BinaryFile> createForWriting(const std::filesystem::path& path,
                                                      store::OpenError* error = nullptr) override {
    auto failure = openFailures.find(path.string());
    if (failure != openFailures.end()) {
      if (error) *error = failure->second;
      return nullptr;
    }
    if (error) *error = store::OpenError::None;
    file(path)->clear();
    return std::make_unique<File>(*this, file(path), std::string(), false);
  }

  bool remove(const std::filesystem::path& path) override {
    return m_files.erase(path.string()) != 0;
  }

 private:
  class File final : public store::BinaryFile {
   public:
    File(MemoryFileSystem& owner, std::shared_ptr<Bytes> data, std::string lockedPath, bool)
        : m_owner(owner), m_data(std::move(data)), m_lockedPath(std::move(lockedPath)) {}
    ~File() override { close(); }

    std::size_t read(std::span<std::uint8_t> into) override {
      if (m_pos >= m_data->size()) return 0;
      std::size_t n = std::min<std::size_t>(into.size(), m_data->size() - m_pos);
      std::copy_n(m_data->begin() + static_cast<std::ptrdiff_t>(m_pos), n, into.begin());
      m_pos += n;
      return n;
    }
    std::size_t write(std::span<const std::uint8_t> from) override {
      std::size_t n = std::min(from.size(), m_owner.writeBudget);
      m_owner.writeBudget -= n;
      if (n < from.size()) m_failed = true;
      if (m_data->size() < m_pos + n) m_data->resize(m_pos + n);
      std::copy_n(from.begin(), n, m_data->begin() + static_cast<std::ptrdiff_t>(m_pos));
      m_pos += n;
      return n;
    }
    bool seek(std::uint64_t offset) override {
      m_pos = offset;
      return true;
    }
    std::optional<std::uint64_t> seekToEnd() override {
      m_pos = m_data->size();
      return m_pos;
    }
    std::uint64_t position() const override { return m_pos; }
    bool truncate(std::uint64_t size) override {
      m_data->resize(size);
      return true;
    }
    bool close() override {
      if (!m_lockedPath.empty()) m_owner.m_locked.erase(m_lockedPath);
      m_lockedPath.clear();
      return !m_failed;
    }

   private:
    MemoryFileSystem& m_owner;
    std::shared_ptr<Bytes> m_data;
    std::string m_lockedPath;
    std::uint64_t m_pos = 0;
    bool m_failed = false;
  };

  std::shared_ptr<Bytes> file(const std::filesystem::path& p) {
    auto& slot = m_files[p.string()];
    if (!slot) slot = std::make_shared<Bytes>();
    return slot;
  }

  std::map<std::string, std::shared_ptr<Bytes>> m_files;
  std::set<std::string> m_locked;
};

}  // namespace kelvora::fakes
