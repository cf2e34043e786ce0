#pragma once
// Keeps two publishes off the same site folder and the same server folder
// at once (two profiles, two windows, two Hemlo２): each would take the
// other's temporary files for leftovers of a broken run and delete them
// under it. A lock is an flock on a small file in the state folder, so a
// program that dies (kill -9) leaves nothing held.
//
// Core code (no Qt).
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace hemlo::publish {

class PublishLock {
 public:
  ~PublishLock();
  PublishLock(const PublishLock&) = delete;
  PublishLock& operator=(const PublishLock&) = delete;

  // Takes every one of `keys` (any text naming what is published, such as
  // a site folder or a server folder) or none: nullptr when another holds
  // one, `held` then the index of that key. A lock file that cannot be
  // made is not a reason to refuse: nothing then guards that key.
  static std::unique_ptr<PublishLock> Take(const std::filesystem::path& state_folder,
                                           const std::vector<std::string>& keys,
                                           size_t* held = nullptr);

 private:
  PublishLock() = default;
  std::vector<int> fds_;
};

}  // namespace hemlo::publish
