#include "publish/publish_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>

namespace hemlo::publish {

namespace {

std::string LockName(const std::string& key) {
  uint64_t h = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : key) h = (h ^ c) * 1099511628211ull;
  char buf[48];
  std::snprintf(buf, sizeof buf, "FerroxPublish-%016" PRIx64 ".lock", h);
  return buf;
}

}  // namespace

PublishLock::~PublishLock() {
  for (int fd : fds_) ::close(fd);  // closing releases the flock
}

std::unique_ptr<PublishLock> PublishLock::Take(const std::filesystem::path& state_folder,
                                               const std::vector<std::string>& keys, size_t* held) {
  std::unique_ptr<PublishLock> lock(new PublishLock);
  for (size_t i = 0; i < keys.size(); ++i) {
    const std::string path = (state_folder / LockName(keys[i])).string();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      if (held) *held = i;
      return nullptr;  // the ones taken so far go with `lock`
    }
    lock->fds_.push_back(fd);
  }
  return lock;
}

}  // namespace hemlo::publish
