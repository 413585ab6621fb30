// An in-memory file port for tests: files are byte vectors keyed by path. A test can make
// opening, any read or any write fail (after N bytes or at the N-th call), and can take the
// files as a kill or a power cut would leave them at any write.
#pragma once

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "store/file_system.h"

namespace kelvora::fakes {

class MemoryFileSystem final : public store::FileSystem {
 public:
  using Bytes = std::vector<std::uint8_t>;
  using Snapshot = std::map<std::string, Bytes>;

  // Paths whose opening fails with the given error.
  std::map<std::string, store::OpenError> openFailures;

  // Writes: after this many more bytes (over all files) every write fails with writeError,
  // having stored what fitted; and the write operation numbered failWriteOp fails outright.
  // Write operations are every call that changes what is on the disk: creating a file,
  // writeAt, truncate, sync, rename, remove.
  std::size_t writeBudget = SIZE_MAX;
  long failWriteOp = -1;
  int writeError = ENOSPC;
  long writeOps = 0;  // write operations so far

  // Reads: after this many more bytes every read fails with EIO; the read call numbered
  // failReadCall fails outright.
  std::size_t readBudget = SIZE_MAX;
  long failReadCall = -1;
  long readCalls = 0;

  // A kill: the files as they stood just before write operation killAtWriteOp (with torn set,
  // that operation's write half done). The program goes on; tests reopen the snapshot.
  long killAtWriteOp = -1;
  bool torn = false;
  std::optional<Snapshot> killed;

  bool exists(const std::filesystem::path& p) override { return m_files.count(p.string()) != 0; }
  Bytes& bytes(const std::filesystem::path& p) { return file(p)->data; }
  void put(const std::filesystem::path& p, Bytes data) {
    auto f = file(p);
    f->data = std::move(data);
    f->durable = f->data;
  }
  std::vector<std::string> paths() const {
    std::vector<std::string> out;
    for (const auto& [path, f] : m_files) out.push_back(path);
    return out;
  }

  Snapshot snapshot() const {
    Snapshot s;
    for (const auto& [path, f] : m_files) s[path] = f->data;
    return s;
  }
  // What a power cut would leave: each file as its last sync left it.
  Snapshot durableSnapshot() const {
    Snapshot s;
    for (const auto& [path, f] : m_files) s[path] = f->durable;
    return s;
  }
  void restore(const Snapshot& s) {
    m_files.clear();
    m_locked.clear();
    for (const auto& [path, data] : s) put(path, data);
  }
  // Stops failing and counting: a fresh disk for the part of a test that checks the result.
  void heal() {
    writeBudget = SIZE_MAX;
    failWriteOp = -1;
    readBudget = SIZE_MAX;
    failReadCall = -1;
    killAtWriteOp = -1;
  }

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
    if (!exists(path)) {
      if (writeFails()) {
        error = store::OpenError::Other;
        return nullptr;
      }
      file(path);
    }
    error = store::OpenError::None;
    m_locked.insert(path.string());
    return std::make_unique<File>(*this, file(path), path.string());
  }

  std::unique_ptr<store::BinaryFile> openForReading(const std::filesystem::path& path,
                                                    store::OpenError* error = nullptr) override {
    auto failure = openFailures.find(path.string());
    if (!exists(path) || failure != openFailures.end()) {
      if (error) *error = failure != openFailures.end() ? failure->second : store::OpenError::Other;
      return nullptr;
    }
    if (error) *error = store::OpenError::None;
    return std::make_unique<File>(*this, file(path), std::string());
  }

  std::unique_ptr<store::BinaryFile> createForWriting(const std::filesystem::path& path,
                                                      store::OpenError* error = nullptr) override {
    auto failure = openFailures.find(path.string());
    if (failure != openFailures.end()) {
      if (error) *error = failure->second;
      return nullptr;
    }
    if (writeFails()) {
      if (error) *error = store::OpenError::Other;
      return nullptr;
    }
    if (error) *error = store::OpenError::None;
    // A new file replaces whatever was at the path, as O_TRUNC on a fresh inode would.
    auto fresh = std::make_shared<Node>();
    m_files[path.string()] = fresh;
    return std::make_unique<File>(*this, fresh, std::string());
  }

  store::IoResult remove(const std::filesystem::path& path) override {
    if (writeFails()) return store::IoResult::failure(writeError);
    m_files.erase(path.string());
    return store::IoResult::done(0);
  }

  store::IoResult rename(const std::filesystem::path& from,
                         const std::filesystem::path& to) override {
    auto it = m_files.find(from.string());
    if (it == m_files.end()) return store::IoResult::failure(ENOENT);
    if (writeFails()) return store::IoResult::failure(writeError);
    auto node = it->second;
    m_files.erase(it);
    m_files[to.string()] = node;
    return store::IoResult::done(0);
  }

  // Folders are names only: files need none to be made in them.
  store::IoResult createFolder(const std::filesystem::path& folder) override {
    if (writeFails()) return store::IoResult::failure(writeError);
    folders.insert(folder.string());
    return store::IoResult::done(0);
  }
  std::set<std::string> folders;

  store::IoResult syncFolder(const std::filesystem::path&) override {
    if (writeFails()) return store::IoResult::failure(writeError);
    return store::IoResult::done(0);
  }

 private:
  struct Node {
    Bytes data;
    Bytes durable;  // as the last sync left it
  };

  // Counts one write operation; true when it is to fail. Takes the kill snapshot first.
  bool writeFails(Node* node = nullptr, std::uint64_t offset = 0,
                  std::span<const std::uint8_t> from = {}) {
    const long op = writeOps++;
    if (op == killAtWriteOp && !killed) {
      if (torn && node != nullptr && !from.empty()) {
        Bytes keep = node->data;
        apply(*node, offset, from.first(from.size() / 2));
        killed = snapshot();
        node->data = std::move(keep);
      } else {
        killed = snapshot();
      }
    }
    return op == failWriteOp;
  }

  static void apply(Node& node, std::uint64_t offset, std::span<const std::uint8_t> from) {
    if (node.data.size() < offset + from.size()) node.data.resize(offset + from.size());
    std::copy(from.begin(), from.end(), node.data.begin() + static_cast<std::ptrdiff_t>(offset));
  }

  class File final : public store::BinaryFile {
   public:
    File(MemoryFileSystem& owner, std::shared_ptr<Node> node, std::string lockedPath)
        : m_owner(owner), m_node(std::move(node)), m_lockedPath(std::move(lockedPath)) {}
    ~File() override { (void)close(); }

    store::IoResult readAt(std::uint64_t offset, std::span<std::uint8_t> into) override {
      const long call = m_owner.readCalls++;
      if (call == m_owner.failReadCall) return store::IoResult::failure(EIO);
      const Bytes& data = m_node->data;
      std::size_t n =
          offset >= data.size() ? 0 : std::min<std::size_t>(into.size(), data.size() - offset);
      const bool short_ = n < into.size();
      bool failed = false;
      if (n > m_owner.readBudget) {
        n = m_owner.readBudget;
        failed = true;
      }
      m_owner.readBudget -= n;
      std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(offset), n, into.begin());
      if (failed) return store::IoResult::failure(EIO, n);
      return short_ ? store::IoResult::ended(n) : store::IoResult::done(n);
    }
    store::IoResult writeAt(std::uint64_t offset, std::span<const std::uint8_t> from) override {
      if (m_owner.writeFails(m_node.get(), offset, from)) return fail(0);
      std::size_t n = std::min(from.size(), m_owner.writeBudget);
      m_owner.writeBudget -= n;
      apply(*m_node, offset, from.first(n));
      if (n < from.size()) return fail(n);
      return store::IoResult::done(n);
    }
    std::optional<std::uint64_t> size() override { return m_node->data.size(); }
    store::IoResult truncate(std::uint64_t size) override {
      if (m_owner.writeFails()) return fail(0);
      m_node->data.resize(size);
      return store::IoResult::done(0);
    }
    store::IoResult sync() override {
      if (m_owner.writeFails()) return fail(0);
      m_node->durable = m_node->data;
      return store::IoResult::done(0);
    }
    store::IoResult close() override {
      if (!m_lockedPath.empty()) m_owner.m_locked.erase(m_lockedPath);
      m_lockedPath.clear();
      return m_error != 0 ? store::IoResult::failure(m_error) : store::IoResult::done(0);
    }

   private:
    store::IoResult fail(std::size_t n) {
      m_error = m_owner.writeError;
      return store::IoResult::failure(m_error, n);
    }

    MemoryFileSystem& m_owner;
    std::shared_ptr<Node> m_node;
    std::string m_lockedPath;
    int m_error = 0;
  };

  std::shared_ptr<Node> file(const std::filesystem::path& p) {
    auto& slot = m_files[p.string()];
    if (!slot) slot = std::make_shared<Node>();
    return slot;
  }

  std::map<std::string, std::shared_ptr<Node>> m_files;
  std::set<std::string> m_locked;
};

}  // namespace kelvora::fakes
