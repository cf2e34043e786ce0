// The transfer commands' calls of FtpRemoteFiles: the client calls those
// commands have always made, apart from the site sync's own.
#include <algorithm>
#include <chrono>

#include "remote/ftp_errors.h"
#include "remote/ftp_remote_files.h"

namespace hemlo::transfer {

namespace {
int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

WorkProgress::WorkProgress(ftp::TIdFTP& ftp, ByteProgress sink, std::function<int64_t()> now_ms)
    : ftp_(ftp), sink_(std::move(sink)), now_ms_(now_ms ? std::move(now_ms) : SteadyMs) {
  old_begin_ = ftp_.OnWorkBegin;
  old_work_ = ftp_.OnWork;
  old_end_ = ftp_.OnWorkEnd;
  ftp_.OnWorkBegin = [this](ftp::TIdTCPConnection& s, ftp::TWorkMode mode, int64_t count) {
    if (old_begin_) old_begin_(s, mode, count);
    total_ = count;
    done_ = 0;
    last_ms_ = now_ms_();
    sink_(0, total_);
  };
  ftp_.OnWork = [this](ftp::TIdTCPConnection& s, ftp::TWorkMode mode, int64_t count) {
    if (old_work_) old_work_(s, mode, count);
    done_ = count;
    // A few updates a second are enough to show movement on a long file.
    const int64_t now = now_ms_();
    if (now - last_ms_ < 50) return;
    last_ms_ = now;
    sink_(done_, total_);
  };
  ftp_.OnWorkEnd = [this](ftp::TIdTCPConnection& s, ftp::TWorkMode mode) {
    if (old_end_) old_end_(s, mode);
    sink_(done_, std::max(total_, done_));
  };
}

WorkProgress::~WorkProgress() {
  ftp_.OnWorkBegin = old_begin_;
  ftp_.OnWork = old_work_;
  ftp_.OnWorkEnd = old_end_;
}

void FtpRemoteFiles::SetTransferType(TransferMode mode) {
  FtpCall([&] { ftp_.SetTransferType(FtpTransferType(mode)); });
}

void FtpRemoteFiles::Store(const std::string& local_path, const std::string& remote_path,
                           const std::string& /*temporary*/) {
  // STOR writes over the old file in place: once the bytes flow, a failure
  // leaves part of the new file where the old one stood.
  bool flowing = false;
  const ftp::TWorkEvent before = ftp_.OnWorkBegin;
  ftp_.OnWorkBegin = [&](ftp::TIdTCPConnection& s, ftp::TWorkMode mode, int64_t count) {
    flowing = true;
    if (before) before(s, mode, count);
  };
  partial_ = false;
  try {
    ftp_.Upload(local_path, remote_path);
  } catch (...) {
    ftp_.OnWorkBegin = before;
    partial_ = flowing;
    RethrowAsRemoteError();
  }
  ftp_.OnWorkBegin = before;
}

void FtpRemoteFiles::Fetch(const std::string& remote_path, const std::string& local_path) {
  FtpCall([&] { ftp_.Download(remote_path, local_path, true); });
}

std::vector<OpEntry> FtpRemoteFiles::ListEntries(const std::string& folder, bool hidden,
                                                 size_t& unread) {
  FtpCall([&] { ftp_.ListEntries(folder, hidden, /*probe=*/false); });
  unread += ftp_.DirectoryListing().UnparsedLines();
  std::vector<OpEntry> entries;
  for (const ftp::TIdFTPListItem& item : ftp_.DirectoryListing().Items())
    entries.push_back({item.FileName, item.ItemType == ftp::TIdDirItemType::ditDirectory});
  return entries;
}

void FtpRemoteFiles::RenameEntry(const std::string& from, const std::string& to) {
  FtpCall([&] { ftp_.RenameFile(from, to); });
}

void FtpRemoteFiles::SetModeDigits(const std::string& path, const std::string& digits) {
  FtpCall([&] { ftp_.SiteCommand("chmod " + digits + " " + path); });
}

std::shared_ptr<void> FtpRemoteFiles::ReportProgress(ByteProgress sink) {
  return std::make_shared<WorkProgress>(ftp_, std::move(sink));
}

}  // namespace hemlo::transfer
