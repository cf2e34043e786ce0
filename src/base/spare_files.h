#pragma once
// Emptied files kept for reuse. On ext4 without a journal a new file costs
// a search past every inode freed in the last hours, so a site-wide write of
// 2,000 pages spent most of its time finding inodes. Files the version store
// no longer needs (the whole object a newer version turns into a difference)
// are linked into one folder instead of freed, emptied once what replaced
// them is on the disk, and a write takes one over as its temporary file.
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace hemlo {

class SpareFiles {
 public:
  explicit SpareFiles(std::filesystem::path folder = {});

  // Reads the folder's spares (once before a batch of writes, not once a file).
  void Refresh();
  // A spare renamed to a new hidden name beside `target` (never over a file),
  // open for writing and empty: its descriptor, and its name in `temporary`.
  // -1 when none is to be had; the caller then makes a new file.
  int Take(const std::filesystem::path& target, std::string& temporary);

  std::filesystem::path folder() const;
  void set_folder(std::filesystem::path folder);

 private:
  mutable std::mutex mutex_;
  std::filesystem::path folder_;
  std::vector<std::string> names_;
  bool usable_ = true;  // false once a rename shows the pool is on another disk
};

// The first step of giving a file to the pool at `folder`: a second name for
// it there, not yet to be taken. Its path, or empty when it cannot be made.
std::filesystem::path LinkAsSpare(const std::filesystem::path& file,
                                  const std::filesystem::path& folder);
// The second, once the file's own name is flushed as replaced: each linked
// file that nothing else names is emptied and offered; one still named
// elsewhere (a failed replacement) only loses the pool's name.
void OfferSpares(const std::vector<std::filesystem::path>& linked);

}  // namespace hemlo
