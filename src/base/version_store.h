#pragma once
// Earlier versions of the user's pages, kept before this program writes over
// them. One folder per page (named from a hash of its path) holds an index
// and one object per version, named by the SHA-256 of the version's bytes.
// The newest object is the whole file, zlib-compressed; every older one is
// only what differs from the next newer version (its bytes between the
// common head and tail), so a hundred one-line edits of a large page cost
// little. Removing the oldest version never breaks a newer one.
//
// A save only sets the old bytes aside: the old file is hard-linked into the
// page's folder under a "pending" name (it costs nothing, and the rename that
// replaces the page leaves that inode alone), or copied there with one write
// where a link cannot be made (flushed, as it is then the only copy). The
// link is made before the save flushes the page's new name, which on a
// journalling file system takes the earlier link to the disk with it.
// Hashing, the difference and zlib happen later, on a worker thread or at the
// next look at the store, and what was set aside goes only once what it was
// folded into is flushed; a pending version left by a crash is folded in then.
//
// The store is a safety net, never a condition for saving: every failure is
// returned for the caller to mention, and the caller's write goes ahead.
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/spare_files.h"
#include "base/version_object.h"

namespace hemlo {

struct StoredVersion {
  std::int64_t time = 0;   // seconds since the epoch, when it was replaced
  std::uint64_t size = 0;  // bytes
  std::string writer;      // what wrote over it ("上書き保存", "サイト置換", ...)
  std::string hash;        // SHA-256 of the bytes, lower-case hex
};

struct VersionResult {
  bool ok = true;
  std::string message;  // Japanese, when !ok
  explicit operator bool() const { return ok; }
};

// Inside the store's folder: its emptied files (see SpareFiles).
inline constexpr const char* kSpareFolderName = "spare";

inline constexpr std::uint64_t kDefaultVersionCapBytes = 500ull * 1024 * 1024;
// A version stays while it is among the newest this many of its page...
inline constexpr std::size_t kKeptVersionsPerPage = 50;
// ...or younger than this.
inline constexpr std::int64_t kKeptVersionSeconds = 30ll * 24 * 3600;

class VersionStore {
 public:
  // A cap of 0 keeps nothing.
  explicit VersionStore(std::filesystem::path folder,
                        std::uint64_t cap_bytes = kDefaultVersionCapBytes);

  // Keeps `bytes` as the version of `page` that a write by `writer` is about
  // to replace. Bytes equal to the newest kept version add nothing.
  VersionResult Keep(const std::filesystem::path& page, std::string_view bytes,
                     std::string_view writer, std::int64_t now);
  // The same for what the file holds now; a missing file keeps nothing.
  VersionResult KeepCurrent(const std::filesystem::path& page, std::string_view writer,
                            std::int64_t now);

  // The quick forms for a save: the bytes are safe in the store when these
  // return, folded in by Fold (or by any of the readers below). Each gives
  // the page's store folder in `pending` when it set something aside.
  VersionResult SetAside(const std::filesystem::path& page, std::string_view writer,
                         std::int64_t now, std::filesystem::path* pending = nullptr);
  VersionResult SetAside(const std::filesystem::path& page, std::string_view bytes,
                         std::string_view writer, std::int64_t now,
                         std::filesystem::path* pending = nullptr);
  // The first form for many pages that one write changes together: the
  // store is looked at and locked once, not once a page. A page that cannot
  // be set aside does not stop the others; the first failure is returned.
  // `pending` gains the store folder of each page set aside.
  VersionResult SetAsideAll(const std::vector<std::filesystem::path>& pages,
                            std::string_view writer, std::int64_t now,
                            std::vector<std::filesystem::path>* pending = nullptr);
  // Folds the versions set aside in one page's store folder into it, oldest first.
  void Fold(const std::filesystem::path& page_folder);
  // The same for many folders: each folded under the lock, then all flushed
  // together outside it (on several threads, so the disk's waits overlap),
  // and only then is what was set aside removed.
  void FoldBatch(const std::vector<std::filesystem::path>& page_folders);

  // Newest first.
  std::vector<StoredVersion> Versions(const std::filesystem::path& page) const;
  // The bytes of one version, checked against its hash; nullopt when they
  // cannot be rebuilt.
  std::optional<std::string> Bytes(const std::filesystem::path& page,
                                   const std::string& hash) const;
  // Bytes the store takes on the disk.
  std::uint64_t TotalBytes() const;

  std::filesystem::path folder() const;
  void set_folder(std::filesystem::path folder);
  void set_cap(std::uint64_t cap_bytes);

 private:
  std::filesystem::path PageFolder(const std::filesystem::path& page) const;
  // `spares`, when given, gains the objects it replaced, linked into the
  // spare folder (offered only once `dir` is flushed).
  VersionResult KeepIn(const std::filesystem::path& dir, const std::string& page_name,
                       std::string_view bytes, std::string_view writer, std::int64_t now,
                       std::vector<std::filesystem::path>* spares = nullptr) const;
  VersionResult SetAsideIn(const std::filesystem::path& page, std::string_view bytes, bool link,
                           std::string_view writer, std::int64_t now,
                           std::filesystem::path* pending) const;
  // False when something set aside could not be folded in (it stays set aside).
  bool FoldIn(const std::filesystem::path& dir) const;
  // FoldIn without its flush and removal: the versions folded in are added
  // to `folded` (and held in folded_ until they are removed), the objects
  // they replaced to `spares` when `recycle`.
  bool FoldInUnflushed(const std::filesystem::path& dir, std::vector<std::filesystem::path>& folded,
                       std::vector<std::filesystem::path>& spares, bool recycle) const;
  std::filesystem::path SpareFolder() const { return folder_ / kSpareFolderName; }
  void FoldAll() const;
  std::uint64_t TotalBytesNow() const;
  void ApplyCap() const;

  mutable std::mutex mutex_;  // the worker folds while the window reads
  std::filesystem::path folder_;
  std::uint64_t cap_;
  // The store's size, counted at most once a minute (another instance of the
  // program may write to it too) and otherwise kept up to date as versions
  // are kept: counting every folder on every keep made a site-wide
  // replacement quadratic in the number of pages.
  mutable std::optional<std::uint64_t> total_;
  mutable std::int64_t total_counted_ = 0;
  // Set aside, folded in, waiting for their flush: never folded in again.
  mutable std::set<std::filesystem::path> folded_;
};

// The program's own store, in the state folder; the cap comes from Editor.ini.
VersionStore& ProgramVersionStore();
void SetVersionCap(std::uint64_t cap_bytes);

// Keeps what `page` holds before this program writes over it, in the
// program's store, stamped now: set aside at once, folded in on a worker.
VersionResult KeepBeforeWrite(const std::filesystem::path& page, std::string_view writer);
VersionResult KeepBeforeWrite(const std::filesystem::path& page, std::string_view bytes,
                              std::string_view writer);
// The same for every page of a site-wide write, as one batch.
VersionResult KeepBeforeWrite(const std::vector<std::filesystem::path>& pages,
                              std::string_view writer);

// While one lives, the program's store starts no fold: a save that sets the
// old page aside and then writes the new one gets the disk's room first,
// instead of racing the fold's copy of the old bytes for it.
class VersionFoldHold {
 public:
  VersionFoldHold();
  ~VersionFoldHold();
  VersionFoldHold(const VersionFoldHold&) = delete;
  VersionFoldHold& operator=(const VersionFoldHold&) = delete;
};

// The emptied files the program's store gives back, for the temporaries of
// site-wide writes (StageFiles).
SpareFiles& ProgramSpareFiles();

// Waits until the worker has folded in everything set aside so far.
void WaitForVersionStore();

// What the status bar should say about `r`: its message the first time the
// store fails, nothing while it keeps failing, nothing again once it works.
std::string VersionNoticeOnce(const VersionResult& r);

}  // namespace hemlo
