#include "base/version_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "base/version_files.h"
#include "base/version_pending.h"

// Setting the old bytes aside on a save's path: a link or one flushed copy.
namespace hemlo {

namespace fs = std::filesystem;

using namespace version_files;
using namespace version_object;

VersionResult VersionStore::SetAside(const fs::path& page, std::string_view writer,
                                     std::int64_t now, fs::path* pending) {
  std::lock_guard lock(mutex_);
  return SetAsideIn(page, {}, true, writer, now, pending);
}

VersionResult VersionStore::SetAside(const fs::path& page, std::string_view bytes,
                                     std::string_view writer, std::int64_t now, fs::path* pending) {
  std::lock_guard lock(mutex_);
  return SetAsideIn(page, bytes, false, writer, now, pending);
}

VersionResult VersionStore::SetAsideIn(const fs::path& page, std::string_view bytes, bool link,
                                       std::string_view writer, std::int64_t now,
                                       fs::path* pending) const {
  if (cap_ == 0) return {};
  const fs::path source = FinalTarget(page);
  if (link) {
    struct stat st;
    if (::stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};  // nothing to keep
  }
  if (const FileResult made = MakePrivateFolder(folder_); !made) return Failed(made.message);
  const fs::path dir = PageFolder(page);
  std::error_code ec;
  fs::create_directory(dir, ec);
  if (ec) return Failed(ec.message());
  // The page's name first, so that what a crash leaves set aside is still its.
  if (!fs::exists(dir / kIndexName, ec)) {
    fs::path name = fs::absolute(source, ec).lexically_normal();
    if (const WriteResult w = WriteIndex(dir, name, {}); !w) return Failed(w.error);
  }
  static std::atomic<unsigned> sequence{0};
  std::string copy;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const unsigned n = sequence.fetch_add(1);
    if (link) {
      const fs::path target = dir / PendingName(now, n, "L", writer);
      if (::link(source.c_str(), target.c_str()) == 0) break;
      if (errno == EEXIST) continue;
      // Another file system, or one without links: one copy instead.
      if (const FileResult read = ReadWholeFile(source, copy); !read)
        return Failed(page.string() + ": " + read.message);
      bytes = copy;
      link = false;
    }
    const fs::path target = dir / PendingName(now, n, std::to_string(bytes.size()), writer);
    if (fs::exists(target, ec)) continue;
    if (const WriteResult w = WriteQuickly(target, bytes); !w) return Failed(w.error);
    // A copy is all there is of these bytes once the write replaces the page.
    Flush(target);
    Flush(dir);
    break;
  }
  if (pending) *pending = dir;
  return {};
}

VersionResult VersionStore::SetAsideAll(const std::vector<fs::path>& pages, std::string_view writer,
                                        std::int64_t now, std::vector<fs::path>* pending) {
  std::lock_guard lock(mutex_);
  VersionResult first;
  for (const fs::path& page : pages) {
    fs::path dir;
    const VersionResult r = SetAsideIn(page, {}, true, writer, now, &dir);
    if (!r && first) first = r;
    if (pending && !dir.empty()) pending->push_back(std::move(dir));
  }
  return first;
}

}  // namespace hemlo
