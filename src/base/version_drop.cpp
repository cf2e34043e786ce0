#include "base/version_drop.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <system_error>

#include "base/atomic_file.h"
#include "base/version_files.h"
#include "base/version_object.h"
#include "base/version_pending.h"

namespace hemlo {

namespace fs = std::filesystem;

namespace version_files {

bool Prune(std::vector<StoredVersion>& entries, std::int64_t now) {
  bool dropped = false;
  while (entries.size() > kKeptVersionsPerPage &&
         entries.front().time < now - kKeptVersionSeconds) {
    entries.erase(entries.begin());
    dropped = true;
  }
  return dropped;
}

void CollectGarbage(const fs::path& dir, const std::vector<StoredVersion>& entries) {
  std::set<std::string> live;
  std::vector<std::string> todo;
  for (const StoredVersion& v : entries) todo.push_back(v.hash);
  while (!todo.empty()) {
    const std::string h = todo.back();
    todo.pop_back();
    if (!live.insert(h).second) continue;
    std::string bytes;
    version_object::Object o;
    if (ReadWholeFile(dir / h, bytes) && version_object::ParseObject(bytes, o) && !o.whole)
      todo.push_back(o.base);
  }
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    const std::string name = e.path().filename().string();
    if (name == kIndexName || live.count(name) || name.starts_with(kPendingPrefix)) continue;
    fs::remove(e.path(), ec);
  }
}

}  // namespace version_files

using namespace version_files;

// The store's size, and the cap that drops the oldest versions of all pages first.
std::uint64_t VersionStore::TotalBytes() const {
  std::lock_guard lock(mutex_);
  FoldAll();
  return TotalBytesNow();
}

std::uint64_t VersionStore::TotalBytesNow() const {
  std::uint64_t total = 0;
  std::error_code ec;
  // The spare files are not versions: those the fold links there hold bytes
  // only until it empties them, and counting them let a fold in progress
  // push the store over its cap.
  for (const auto& e : fs::directory_iterator(folder_, ec))
    if (e.is_directory(ec) && e.path() != SpareFolder()) total += FolderBytes(e.path(), folded_);
  return total;
}

void VersionStore::ApplyCap() const {
  const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count();
  if (total_ && *total_ <= cap_ && now - total_counted_ <= 60) return;
  // Nothing is removed on the kept count alone: it may be stale.
  std::uint64_t total = TotalBytesNow();
  total_ = total;
  total_counted_ = now;
  if (total <= cap_) return;
  total_.reset();  // counted again next time: what follows may stop short
  // Every page's versions, the oldest of all going first.
  std::map<fs::path, std::vector<StoredVersion>> pages;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder_, ec))
    if (e.is_directory(ec) && e.path() != SpareFolder()) pages[e.path()] = ReadIndex(e.path());
  while (total > cap_) {
    auto oldest = pages.end();
    for (auto it = pages.begin(); it != pages.end(); ++it)
      if (!it->second.empty() &&
          (oldest == pages.end() || it->second.front().time < oldest->second.front().time))
        oldest = it;
    if (oldest == pages.end()) return;
    const fs::path& dir = oldest->first;
    auto& entries = oldest->second;
    const std::uint64_t before = FolderBytes(dir, folded_);
    entries.erase(entries.begin());
    if (!WriteIndex(dir, PageLine(dir), entries)) return;
    CollectGarbage(dir, entries);
    const std::uint64_t after = FolderBytes(dir, folded_);
    total -= std::min(total, before - std::min(before, after));
    if (entries.empty() && PendingIn(dir).empty()) {
      fs::remove_all(dir, ec);
      total -= std::min(total, after);
    }
  }
  total_ = total;
}

}  // namespace hemlo
