#include "transfer/local_trash.h"

#include "base/percent_path.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace hemlo::transfer {
namespace {

namespace fs = std::filesystem;

std::string HomeTrash() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
    return std::string(data) + "/Trash";
  const char* home = std::getenv("HOME");
  std::string h = home && *home ? home : "";
  if (h.empty())
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) h = pw->pw_dir;
  return h.empty() ? std::string() : h + "/.local/share/Trash";
}

// Device of `path` or of its nearest existing parent.
bool DeviceOf(fs::path p, dev_t& dev) {
  for (;;) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) == 0) {
      dev = st.st_dev;
      return true;
    }
    if (!p.has_parent_path() || p.parent_path() == p) return false;
    p = p.parent_path();
  }
}

// The mount point holding `path`: the highest folder above it on its device.
fs::path TopDir(const fs::path& path, dev_t dev) {
  fs::path top = path.parent_path();
  while (top.has_parent_path() && top.parent_path() != top) {
    struct stat st {};
    if (::stat(top.parent_path().c_str(), &st) != 0 || st.st_dev != dev) break;
    top = top.parent_path();
  }
  return top;
}

bool MakeOwnerFolder(const std::string& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return st.st_uid == ::getuid();
}

// Path= value: every byte outside the unreserved characters and "/" escaped.
std::string EscapePath(const std::string& path) { return PercentEscapePath(path); }

}  // namespace

std::string TrashFolderFor(const std::string& path) {
  const fs::path p = fs::path(path).lexically_normal();
  dev_t dev = 0, home_dev = 0;
  if (!DeviceOf(p, dev)) return {};
  const std::string home = HomeTrash();
  if (!home.empty() && DeviceOf(home, home_dev) && home_dev == dev) return home;
  const fs::path top = TopDir(p, dev);
  const std::string uid = std::to_string(::getuid());
  struct stat st {};
  const fs::path shared = top / ".Trash";
  if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX))
    return (shared / uid).string();
  return (top / (".Trash-" + uid)).string();
}

FileResult MoveToTrash(const std::string& path) {
  const std::string trash = TrashFolderFor(path);
  if (trash.empty()) {
    return FileFailed("ごみ箱の場所が分かりません");
  }
  const std::string files = trash + "/files";
  const std::string info = trash + "/info";
  for (const std::string& folder : {trash, files, info}) {
    if (!MakeOwnerFolder(folder)) {
      return FileFailed(folder + " を作成できません");
    }
    ::chmod(folder.c_str(), 0700);
  }
  const std::string name = fs::path(path).lexically_normal().filename().string();
  const std::string stem = name.empty() ? std::string("trashed") : name;
  char when[32] = {};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S", &local);
  const std::string content =
      "[Trash Info]\nPath=" + EscapePath(fs::absolute(path).lexically_normal().string()) +
      "\nDeletionDate=" + when + "\n";
  for (int n = 1; n < 10000; ++n) {
    const std::string entry = n == 1 ? stem : stem + "." + std::to_string(n);
    const std::string info_file = info + "/" + entry + ".trashinfo";
    // The info file is claimed first, exclusively: it reserves the name.
    const int fd = ::open(info_file.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return FileFailed(info_file + ": " + std::strerror(errno));
    }
    const bool written =
        ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    ::close(fd);
    struct stat st {};
    const std::string target = files + "/" + entry;
    if (written && ::lstat(target.c_str(), &st) != 0 &&
        std::rename(path.c_str(), target.c_str()) == 0)
      return {};
    const int err = errno;
    ::unlink(info_file.c_str());
    if (written && ::lstat(target.c_str(), &st) == 0) continue;  // a stray file of that name
    return FileFailed(path + ": " + std::strerror(written ? err : EIO));
  }
  return FileFailed("ごみ箱に空いた名前がありません");
}

}  // namespace hemlo::transfer
