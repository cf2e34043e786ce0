#include "remote/remote_files.h"

#include <sys/stat.h>

#include "base/remote_errors.h"

namespace hemlo::transfer {

namespace {

LocalStamp StampOfStat(const struct stat& st) {
  LocalStamp s;
  s.device = static_cast<uint64_t>(st.st_dev);
  s.inode = static_cast<uint64_t>(st.st_ino);
  s.size = static_cast<int64_t>(st.st_size);
  s.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  return s;
}

}  // namespace

std::optional<LocalStamp> StampOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return StampOfStat(st);
}

std::optional<LocalStamp> StampOfOpen(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  return StampOfStat(st);
}

void RefuseIfChanged(const std::string& local_path, const std::optional<LocalStamp>& before,
                     const std::optional<LocalStamp>& after) {
  if (!before || after == before) return;
  throw remote::LocalFileError("ローカルのファイル「" + local_path +
                               "」が送信中に変更されたため、送信をやめました");
}

std::optional<int64_t> RemoteFiles::PlaceUploaded(const std::string& from, const std::string& to,
                                                  int64_t utc_seconds, const std::string& aside) {
  std::optional<int64_t> listed;
  try {
    if (SetModified(from, utc_seconds)) listed = ListedTimeAfterSet();
  } catch (...) {
    // Refused: the file keeps the server's own time.
    if (!remote::IsRefusal(std::current_exception())) throw;
  }
  if (aside.empty()) {
    Rename(from, to);
    return listed;
  }
  try {
    RenamePlain(from, to);
  } catch (...) {
    const std::exception_ptr refusal = std::current_exception();
    if (!remote::IsRefusal(refusal)) throw;
    ReplaceByAside(from, to, aside, refusal);
  }
  return listed;
}

void RemoteFiles::ReplaceByAside(const std::string& from, const std::string& to,
                                 const std::string& aside, const std::exception_ptr& refusal) {
  // Nothing at `to` (or it cannot be moved): the first refusal says why.
  try {
    RenamePlain(to, aside);
  } catch (...) {
    if (remote::IsRefusal(std::current_exception())) std::rethrow_exception(refusal);
    throw;
  }
  try {
    RenamePlain(from, to);
  } catch (...) {
    // The old file back in place; if even that fails it is kept under a
    // temporary name, and the error told is the one that matters.
    try {
      RenamePlain(aside, to);
    } catch (...) {
    }
    throw;
  }
  // The new file is in place whatever happens now. An old one the server
  // will not delete is left under its temporary name for the next run; a
  // cancel or a broken line is raised, so the caller knows it is there
  // (unraised, it blocked the next replacement of the page).
  try {
    DeleteFile(aside);
  } catch (...) {
    if (!remote::IsRefusal(std::current_exception())) throw;
  }
}

}  // namespace hemlo::transfer
