#include "remote/remote_files.h"

#include <sys/stat.h>

#include <chrono>

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

void RemoteFiles::Store(const std::string& local_path, const std::string& remote_path,
                        const std::string& temporary) {
  UploadReplacing(local_path, remote_path, temporary,
                  [this](int64_t d, int64_t t) { Progress(d, t); });
}

void RemoteFiles::Fetch(const std::string& remote_path, const std::string& local_path) {
  Download(remote_path, local_path, [this](int64_t d, int64_t t) { Progress(d, t); });
}

std::vector<OpEntry> RemoteFiles::ListEntries(const std::string& folder, bool hidden, size_t&) {
  std::vector<OpEntry> entries;
  for (const RemoteFact& f : List(folder)) {
    if (!hidden && !f.name.empty() && f.name[0] == '.') continue;
    entries.push_back(
        {f.name, f.kind == RemoteFact::Kind::kFolder, f.kind == RemoteFact::Kind::kLink});
  }
  return entries;
}

void RemoteFiles::SetModeDigits(const std::string& path, const std::string& digits) {
  SetMode(path, unsigned(std::stoul(digits, nullptr, 8)));
}

void RemoteFiles::Progress(int64_t done, int64_t total) {
  if (!sink_) return;
  // A few updates a second are enough to show movement on a long file.
  const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
  if (done < total && now - last_ms_ < 50) return;
  last_ms_ = now;
  sink_(done, total);
}

std::shared_ptr<void> RemoteFiles::ReportProgress(ByteProgress sink) {
  sink_ = std::move(sink);
  return std::shared_ptr<void>(nullptr, [this](void*) { sink_ = nullptr; });
}

}  // namespace hemlo::transfer
