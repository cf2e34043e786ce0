#include "base/version_store.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <system_error>
#include <thread>

#include "base/version_files.h"
#include "base/version_pending.h"

// Folding what saves set aside into the store, and only then removing it.
namespace hemlo {

namespace fs = std::filesystem;

using namespace version_files;
using namespace version_object;

void VersionStore::Fold(const fs::path& page_folder) {
  std::lock_guard lock(mutex_);
  FoldIn(page_folder);
}

namespace {

// Objects are kept as spares only where the disk has room to spare: until
// they are offered they hold their bytes, which a save on a nearly full
// disk may need.
constexpr std::uint64_t kRoomForSpares = 256ull * 1024 * 1024;

bool RoomForSpares(const fs::path& folder) {
  struct statvfs st {};
  return ::statvfs(folder.c_str(), &st) == 0 &&
         static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize > kRoomForSpares;
}

}  // namespace

bool VersionStore::FoldIn(const fs::path& dir) const {
  std::vector<fs::path> folded, spares;
  const bool all = FoldInUnflushed(dir, folded, spares, RoomForSpares(folder_));
  if (!folded.empty()) FlushFolder(dir);
  OfferSpares(spares);
  std::error_code ec;
  for (const fs::path& f : folded) {
    fs::remove(f, ec);
    folded_.erase(f);
  }
  return all;
}

void VersionStore::FoldBatch(const std::vector<fs::path>& page_folders) {
  std::vector<fs::path> folded, flushed, spares;
  const bool recycle = RoomForSpares(folder());
  for (const fs::path& dir : page_folders) {
    std::lock_guard lock(mutex_);
    const std::size_t before = folded.size();
    FoldInUnflushed(dir, folded, spares, recycle);
    if (folded.size() > before) flushed.push_back(dir);
  }
  // The flushes wait on the disk, not on the processor; nothing here needs
  // the lock, so a save meanwhile sets its page aside at once.
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < flushed.size();) FlushFolder(flushed[i]);
  };
  std::vector<std::thread> pool;
  try {
    for (std::size_t i = 1; i < std::min<std::size_t>(flushed.size(), 8); ++i)
      pool.emplace_back(work);
  } catch (const std::system_error&) {
    // Fewer threads: the same flushes, one after another.
  }
  work();
  for (std::thread& t : pool) t.join();
  OfferSpares(spares);
  std::lock_guard lock(mutex_);
  std::error_code ec;
  for (const fs::path& f : folded) {
    fs::remove(f, ec);
    folded_.erase(f);
  }
}

bool VersionStore::FoldInUnflushed(const fs::path& dir, std::vector<fs::path>& folded,
                                   std::vector<fs::path>& spares, bool recycle) const {
  std::vector<Pending> pending = PendingIn(dir);
  std::erase_if(pending, [&](const Pending& p) { return folded_.count(p.path) != 0; });
  if (pending.empty()) return true;
  const std::string page_name = PageLine(dir);
  bool all = true;
  for (const Pending& p : pending) {
    std::string bytes;
    std::error_code ec;
    if (!PendingBytes(p, bytes)) {
      if (!p.linked && fs::exists(p.path, ec)) fs::remove(p.path, ec);  // torn by a crash
      continue;
    }
    if (cap_ != 0 && !KeepIn(dir, page_name, bytes, p.writer, p.time, recycle ? &spares : nullptr)) {
      all = false;  // it and the newer ones stay set aside
      break;
    }
    folded.push_back(p.path);
    folded_.insert(p.path);
  }
  return all;
}

void VersionStore::FoldAll() const {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder_, ec))
    if (e.is_directory(ec)) FoldIn(e.path());
}

}  // namespace hemlo
