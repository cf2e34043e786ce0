#include "base/atomic_file.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hemlo {
namespace {

namespace fs = std::filesystem;

WriteResult Fail(int err) { return {false, std::strerror(err), err}; }

bool WriteAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

fs::path FolderOf(const fs::path& file) {
  return file.parent_path().empty() ? fs::path(".") : file.parent_path();
}

// The rename or link is on disk only once its folder is.
void SyncFolder(const fs::path& file) {
  const int dir = ::open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  ::fsync(dir);
  ::close(dir);
}

// A temporary file beside `target`, holding `bytes`; its name in `tmp`. Not
// `flush`ed, its writing to the disk is only started: the caller flushes it
// (FlushStaged) before it takes the target's place.
WriteResult WriteTemporary(const fs::path& target, std::string_view bytes, mode_t mode,
                           const struct stat* owner, std::string& tmp, bool flush = true,
                           SpareFiles* spares = nullptr) {
  // A spare only for a page that is there: a new file takes its folder's group.
  int fd = spares && owner ? spares->Take(target, tmp) : -1;
  if (fd < 0) {
    // Appended piece by piece: GCC 12 at -O3 takes "." + name for an overlapping copy.
    std::string name = ".";
    name.append(target.filename().string()).append(".XXXXXX");
    tmp = (FolderOf(target) / name).string();
    fd = ::mkstemp(tmp.data());
  }
  if (fd < 0) return Fail(errno);
  auto abandon = [&](int err) {
    ::close(fd);
    ::unlink(tmp.c_str());
    return Fail(err);
  };
  // Owner first: changing it clears set-id bits the mode may carry. Whoever
  // may not give the file away still keeps its group where allowed.
  // Compared with the file as made: in a set-group-id folder a new file
  // takes the folder's group, not the one the page had.
  struct stat made {};
  if (owner && ::fstat(fd, &made) == 0 &&
      (owner->st_uid != made.st_uid || owner->st_gid != made.st_gid)) {
    if (::fchown(fd, owner->st_uid, owner->st_gid) != 0 &&
        ::fchown(fd, static_cast<uid_t>(-1), owner->st_gid) != 0) {
      // Neither allowed: the file becomes the writer's, as a new one would.
    }
  }
  if (::fchmod(fd, mode) != 0) return abandon(errno);
  if (!WriteAll(fd, bytes)) return abandon(errno);
  if (flush && ::fsync(fd) != 0) return abandon(errno);
  // Only a start: what fails shows in the flush that follows.
  if (!flush) (void)::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    return Fail(err);
  }
  return {};
}

}  // namespace

fs::path FinalTarget(const fs::path& path) {
  fs::path p = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(p.c_str(), buf, sizeof buf);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) return p;
    const fs::path link(std::string(buf, static_cast<std::size_t>(n)));
    p = link.is_absolute() ? link : p.parent_path() / link;
  }
  return p;
}

namespace {

WriteResult Stage(const fs::path& requested, std::string_view bytes, StagedFile& staged,
                  mode_t mode, bool force_mode, bool flush, SpareFiles* spares = nullptr) {
  // Replacing a link by a file would cut the page off from where it lives.
  staged.target = FinalTarget(requested);
  staged.temporary.clear();
  struct stat st {};
  const bool exists = ::stat(staged.target.c_str(), &st) == 0;
  const mode_t final_mode = exists && !force_mode ? st.st_mode & 07777 : mode;
  WriteResult r = WriteTemporary(staged.target, bytes, final_mode, exists ? &st : nullptr,
                                 staged.temporary, flush, spares);
  if (!r) staged.temporary.clear();  // already removed
  return r;
}

}  // namespace

WriteResult StageFile(const fs::path& requested, std::string_view bytes, StagedFile& staged,
                      mode_t mode, bool force_mode) {
  return Stage(requested, bytes, staged, mode, force_mode, true);
}

WriteResult StageFileUnflushed(const fs::path& requested, std::string_view bytes,
                               StagedFile& staged, SpareFiles* spares) {
  return Stage(requested, bytes, staged, 0644, false, false, spares);
}

WriteResult FlushStaged(const StagedFile& staged) {
  // Any descriptor of the file flushes its data, and reports a failed
  // write-back the first writer's close did not see.
  const int fd = ::open(staged.temporary.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Fail(errno);
  const int r = ::fsync(fd);
  const int err = errno;
  ::close(fd);
  return r == 0 ? WriteResult{} : Fail(err);
}

WriteResult CommitStagedUnsynced(const StagedFile& staged) {
  if (::rename(staged.temporary.c_str(), staged.target.c_str()) != 0) {
    const int err = errno;
    ::unlink(staged.temporary.c_str());
    return Fail(err);
  }
  return {};
}

void SyncFolderOf(const fs::path& file) { SyncFolder(file); }

WriteResult CommitStaged(const StagedFile& staged) {
  WriteResult r = CommitStagedUnsynced(staged);
  if (r) SyncFolder(staged.target);
  return r;
}

void AbandonStaged(const StagedFile& staged) {
  if (!staged.temporary.empty()) ::unlink(staged.temporary.c_str());
}

WriteResult WriteFileAtomically(const fs::path& requested, std::string_view bytes, mode_t mode,
                                bool force_mode) {
  StagedFile staged;
  if (WriteResult r = StageFile(requested, bytes, staged, mode, force_mode); !r) return r;
  return CommitStaged(staged);
}

bool IsWriteProtected(const fs::path& path) {
  const fs::path target = FinalTarget(path);
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) return false;
  if (::geteuid() == 0) return (st.st_mode & 0222) == 0;
  return ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES;
}

WriteResult CreateFileExclusively(const fs::path& target, std::string_view bytes, mode_t mode) {
  std::string tmp;
  if (WriteResult r = WriteTemporary(target, bytes, mode, nullptr, tmp); !r) return r;
  // link() never replaces: the name is claimed whole or not at all.
  if (::link(tmp.c_str(), target.c_str()) != 0) {
    int err = errno;
    if (err != EEXIST) {
      // A file system without hard links (a FAT stick holding a portable
      // copy): claim the name empty, then put the whole file in its place.
      const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      if (fd >= 0) {
        ::close(fd);
        if (::rename(tmp.c_str(), target.c_str()) == 0) {
          SyncFolder(target);
          return {};
        }
        err = errno;
        ::unlink(target.c_str());
      } else {
        err = errno;
      }
    }
    ::unlink(tmp.c_str());
    return Fail(err);
  }
  ::unlink(tmp.c_str());
  SyncFolder(target);
  return {};
}

FileResult ReadWholeFile(const fs::path& path, std::string& bytes) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FileFailed(std::strerror(errno));
  struct stat st {};
  // Straight into the string, sized from the file: no copy through a buffer.
  const std::size_t size =
      ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
  bytes.resize(size + 1);  // one more, to see the end (or growth) in the same read
  std::size_t have = 0;
  for (;;) {
    if (have == bytes.size()) bytes.resize(bytes.size() * 2 + (1 << 16));
    const ssize_t n = ::read(fd, bytes.data() + have, bytes.size() - have);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      bytes.clear();
      return FileFailed(std::strerror(err));
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  bytes.resize(have);
  ::close(fd);
  return {};
}

}  // namespace hemlo
