// Loaded into sshd for the tests (LD_PRELOAD): closing a file that lies in
// a folder named "disk-full" fails with ENOSPC after the file is closed,
// as a network file system reports a full disk only at the close.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern "C" int close(int fd) {
  using Close = int (*)(int);
  static Close real = reinterpret_cast<Close>(::dlsym(RTLD_NEXT, "close"));
  char link[64], target[4096];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = ::readlink(link, target, sizeof target - 1);
  bool full = false;
  if (n > 0) {
    target[n] = '\0';
    full = std::strstr(target, "/disk-full/") != nullptr;
  }
  const int rc = real(fd);
  if (rc == 0 && full) {
    errno = ENOSPC;
    return -1;
  }
  return rc;
}
