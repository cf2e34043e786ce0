#include "base/version_store.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "base/version_drop.h"
#include "base/version_files.h"
#include "base/version_object.h"

// Keeping a version: the whole bytes as the newest object, the one before it
// made its difference, one index row more.
namespace hemlo {

namespace fs = std::filesystem;

using namespace version_files;
using namespace version_object;

VersionStore::VersionStore(fs::path folder, std::uint64_t cap_bytes)
    : folder_(std::move(folder)), cap_(cap_bytes) {}

fs::path VersionStore::PageFolder(const fs::path& page) const {
  std::error_code ec;
  fs::path p = fs::absolute(FinalTarget(page), ec).lexically_normal();
  return folder_ / Sha256(p.string()).substr(0, 24);
}

fs::path VersionStore::folder() const {
  std::lock_guard lock(mutex_);
  return folder_;
}

void VersionStore::set_folder(fs::path folder) {
  std::lock_guard lock(mutex_);
  if (folder != folder_) total_.reset();
  folder_ = std::move(folder);
}

void VersionStore::set_cap(std::uint64_t cap_bytes) {
  std::lock_guard lock(mutex_);
  cap_ = cap_bytes;
}

VersionResult VersionStore::KeepCurrent(const fs::path& page, std::string_view writer,
                                        std::int64_t now) {
  std::error_code ec;
  if (!fs::is_regular_file(page, ec)) return {};
  std::string bytes;
  if (const FileResult read = ReadWholeFile(page, bytes); !read)
    return Failed(page.string() + ": " + read.message);
  return Keep(page, bytes, writer, now);
}

VersionResult VersionStore::Keep(const fs::path& page, std::string_view bytes,
                                 std::string_view writer, std::int64_t now) {
  std::lock_guard lock(mutex_);
  if (cap_ == 0) return {};  // the user turned the store off
  if (const FileResult made = MakePrivateFolder(folder_); !made) return Failed(made.message);
  const fs::path dir = PageFolder(page);
  std::error_code ec;
  fs::create_directory(dir, ec);
  if (ec) return Failed(ec.message());
  FoldIn(dir);  // what was set aside is older than these bytes
  return KeepIn(dir, page.string(), bytes, writer, now);
}

VersionResult VersionStore::KeepIn(const fs::path& dir, const std::string& page_name,
                                   std::string_view bytes, std::string_view writer,
                                   std::int64_t now, std::vector<fs::path>* spares) const {
  const std::uint64_t folder_before = total_ ? FolderBytes(dir, folded_) : 0;
  IndexShape shape;
  std::vector<StoredVersion> entries = ReadIndex(dir, &shape);
  const std::string hash = Sha256(bytes);
  if (!entries.empty() && entries.back().hash == hash) return {};

  // The newest version whole; the one before it becomes its difference.
  std::string previous_bytes;
  Object previous;
  const bool rewrite_previous = !entries.empty() && entries.back().hash != hash &&
                                ReadWholeFile(dir / entries.back().hash, previous_bytes) &&
                                ParseObject(previous_bytes, previous) && previous.whole;
  std::string existing;
  Object same;
  const bool already_whole = ReadWholeFile(dir / hash, existing) && ParseObject(existing, same) &&
                             same.whole && same.size == bytes.size();
  if (!already_whole)
    if (const WriteResult w = WriteQuickly(dir / hash, WholeObject(bytes)); !w)
      return Failed(w.error);
  if (rewrite_previous) {
    std::string older;
    if (WholeBytes(previous, older)) {  // zlib checks its own stream
      const fs::path object = dir / entries.back().hash;
      // Its inode serves again, where the rename below would free it.
      if (fs::path spare = spares ? LinkAsSpare(object, SpareFolder()) : fs::path(); !spare.empty())
        spares->push_back(std::move(spare));
      // Kept whole when this fails: larger, never lost.
      (void)WriteQuickly(object, DeltaObject(older, bytes, hash));
    }
  }
  entries.push_back({now, bytes.size(), std::string(writer), hash});
  const bool dropped = Prune(entries, now);
  const WriteResult written = !dropped && shape.sound ? AppendIndexRow(dir, shape, entries.back())
                                                      : WriteIndex(dir, page_name, entries);
  if (!written) return Failed(written.error);
  if (dropped) CollectGarbage(dir, entries);
  if (total_) *total_ = *total_ - std::min(*total_, folder_before) + FolderBytes(dir, folded_);
  ApplyCap();
  return {};
}

}  // namespace hemlo
