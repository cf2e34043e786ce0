#include "base/spare_files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <random>
#include <system_error>

namespace hemlo {

namespace fs = std::filesystem;

namespace {

// Beyond this many, a file given is freed as before.
constexpr std::size_t kMostSpares = 8192;
constexpr std::string_view kOffered = "s.";
constexpr std::string_view kLinked = "linked.";

// Six letters or digits, as mkstemp makes them.
std::string RandomSix() {
  thread_local std::mt19937_64 random{std::random_device{}() ^ static_cast<unsigned>(::gettid())};
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string s;
  for (int i = 0; i < 6; ++i) s += kChars[random() % (sizeof kChars - 1)];
  return s;
}

std::string UniqueSuffix() {
  static std::atomic<unsigned> sequence{0};
  return RandomSix() + "." + std::to_string(::getpid()) + "." + std::to_string(sequence.fetch_add(1));
}

// Only a file of ours that nothing else names may be written over.
bool OursAlone(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 &&
         st.st_uid == ::geteuid();
}

std::string Attribute(int fd, const char* name) {
  char value[512];
  const ssize_t n = ::fgetxattr(fd, name, value, sizeof value);
  return n > 0 ? std::string(value, static_cast<std::size_t>(n)) : std::string();
}

std::string Attribute(const fs::path& path, const char* name) {
  char value[512];
  const ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
  return n > 0 ? std::string(value, static_cast<std::size_t>(n)) : std::string();
}

// A new file would take its folder's default access list, and on a system
// with security labels the label a served page needs; a spare brings the
// store's. Either way it must be a new file.
bool FitsAsTemporary(int fd, const fs::path& target, const fs::path& folder) {
  return ::getxattr(folder.c_str(), "system.posix_acl_default", nullptr, 0) <= 0 &&
         Attribute(fd, "security.selinux") == Attribute(target, "security.selinux");
}

}  // namespace

SpareFiles::SpareFiles(fs::path folder) : folder_(std::move(folder)) {}

fs::path SpareFiles::folder() const {
  std::lock_guard lock(mutex_);
  return folder_;
}

void SpareFiles::set_folder(fs::path folder) {
  std::lock_guard lock(mutex_);
  if (folder == folder_) return;
  folder_ = std::move(folder);
  names_.clear();
}

void SpareFiles::Refresh() {
  std::lock_guard lock(mutex_);
  names_.clear();
  usable_ = !folder_.empty();
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder_, ec)) {
    std::string name = e.path().filename().string();
    if (name.starts_with(kOffered)) names_.push_back(std::move(name));
  }
}

int SpareFiles::Take(const fs::path& target, std::string& temporary) {
  for (;;) {
    fs::path spare;
    {
      std::lock_guard lock(mutex_);
      if (!usable_ || names_.empty()) return -1;
      spare = folder_ / names_.back();
      names_.pop_back();
    }
    // Opened before it moves: the descriptor is the file that was checked.
    const int fd = ::open(spare.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;  // taken by another instance of the program
    if (!OursAlone(fd)) {
      ::close(fd);
      continue;
    }
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    if (!FitsAsTemporary(fd, target, folder)) {
      ::close(fd);
      std::lock_guard lock(mutex_);
      names_.push_back(spare.filename().string());
      return -1;
    }
    for (int attempt = 0; attempt < 8; ++attempt) {
      temporary = (folder / ("." + target.filename().string() + "." + RandomSix())).string();
      if (::renameat2(AT_FDCWD, spare.c_str(), AT_FDCWD, temporary.c_str(), RENAME_NOREPLACE) == 0) {
        if (::ftruncate(fd, 0) == 0) return fd;
        ::close(fd);
        ::unlink(temporary.c_str());
        return -1;
      }
      if (errno != EEXIST) break;
    }
    const int err = errno;
    ::close(fd);
    struct stat st {};
    const bool still_there = ::lstat(spare.c_str(), &st) == 0;
    if (err == ENOENT && !still_there) continue;  // moved by another instance after the open
    std::lock_guard lock(mutex_);
    if (err == ENOENT) {
      names_.push_back(spare.filename().string());  // the target's folder is missing
      return -1;
    }
    usable_ = false;  // another disk, or no such rename here: new files for the rest
    return -1;
  }
}

fs::path LinkAsSpare(const fs::path& file, const fs::path& folder) {
  std::error_code ec;
  fs::create_directory(folder, ec);
  const fs::path linked = folder / (std::string(kLinked) + UniqueSuffix());
  return ::link(file.c_str(), linked.c_str()) == 0 ? linked : fs::path();
}

void OfferSpares(const std::vector<fs::path>& linked) {
  if (linked.empty()) return;
  std::size_t have = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(linked.front().parent_path(), ec))
    have += e.path().filename().string().starts_with(kOffered) ? 1 : 0;
  for (const fs::path& l : linked) {
    const int fd = ::open(l.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    const bool offer = fd >= 0 && have < kMostSpares && OursAlone(fd) && ::ftruncate(fd, 0) == 0;
    if (fd >= 0) ::close(fd);
    const fs::path offered =
        l.parent_path() / (std::string(kOffered) + l.filename().string().substr(kLinked.size()));
    if (offer && ::rename(l.c_str(), offered.c_str()) == 0) {
      ++have;
      continue;
    }
    ::unlink(l.c_str());
  }
}

}  // namespace hemlo
