// A zip archive read through libzip: the central directory once, each entry checked against
// its declared size as it is inflated (libzip checks the CRC when the entry has been read whole).
#include <zip.h>

#include "platform/peer_libraries.h"

namespace kelvora::platform {
namespace {

class ZipArchive final : public peers::Archive {
 public:
  explicit ZipArchive(zip_t* archive) : m_archive(archive) {
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
      zip_stat_t st;
      zip_stat_init(&st);
      peers::ArchiveEntry entry;
      if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st) == 0) {
        if ((st.valid & ZIP_STAT_NAME) != 0 && st.name != nullptr) entry.name = st.name;
        if ((st.valid & ZIP_STAT_SIZE) != 0) entry.size = st.size;
      }
      m_entries.push_back(std::move(entry));
    }
  }
  ~ZipArchive() override { zip_discard(m_archive); }

  const std::vector<peers::ArchiveEntry>& entries() const override { return m_entries; }

  bool read(std::size_t index, std::uint64_t limit, peers::Bytes& out,
            std::string& error) override {
    out.clear();
    if (index >= m_entries.size()) {
      error = "no such entry";
      return false;
    }
    const std::uint64_t declared = m_entries[index].size;
    if (declared > limit) {
      error = "entry " + m_entries[index].name + " is too large (" + std::to_string(declared) +
              " bytes)";
      return false;
    }
    zip_file_t* file = zip_fopen_index(m_archive, index, 0);
    if (file == nullptr) {
      error = zip_strerror(m_archive);
      return false;
    }
    // One byte more than declared is asked for, so an entry that inflates past its declared
    // size is caught rather than cut.
    out.resize(static_cast<std::size_t>(declared) + 1);
    std::uint64_t got = 0;
    bool ok = true;
    while (got < out.size()) {
      const zip_int64_t n = zip_fread(file, out.data() + got, out.size() - got);
      if (n < 0) {
        error = zip_file_strerror(file);
        ok = false;
        break;
      }
      if (n == 0) break;
      got += static_cast<std::uint64_t>(n);
    }
    // Closing reports what went wrong while the entry was read (a bad CRC among others).
    if (zip_fclose(file) != 0 && ok) {
      error = "entry " + m_entries[index].name + " cannot be read";
      ok = false;
    }
    if (ok && got != declared) {
      error = "entry " + m_entries[index].name + " does not hold the size it declares";
      ok = false;
    }
    if (!ok) {
      out.clear();
      return false;
    }
    out.resize(static_cast<std::size_t>(got));
    return true;
  }

 private:
  zip_t* m_archive;
  std::vector<peers::ArchiveEntry> m_entries;
};

}  // namespace

std::unique_ptr<peers::Archive> openZipArchive(const std::filesystem::path& path,
                                               std::string& error) {
  int code = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
  if (archive == nullptr) {
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    error = zip_error_strerror(&e);
    zip_error_fini(&e);
    return nullptr;
  }
  return std::make_unique<ZipArchive>(archive);
}

}  // namespace kelvora::platform
