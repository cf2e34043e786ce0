#include "transfer/op_remote.h"

#include <algorithm>
#include <chrono>
#include <random>

#include "publish/plan.h"
#include "transfer/transfer_host.h"

namespace hemlo::transfer {

namespace {
int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

WorkProgress::WorkProgress(ftp::TIdFTP& ftp, TransferHost& host, std::function<int64_t()> now_ms)
    : ftp_(ftp), host_(host), now_ms_(now_ms ? std::move(now_ms) : SteadyMs) {
  old_begin_ = ftp_.OnWorkBegin;
  old_work_ = ftp_.OnWork;
  old_end_ = ftp_.OnWorkEnd;
  ftp_.OnWorkBegin = [this](ftp::TIdTCPConnection& s, ftp::TWorkMode mode, int64_t count) {
    if (old_begin_) old_begin_(s, mode, count);
    total_ = count;
    done_ = 0;
    last_ms_ = now_ms_();
    host_.SetByteProgress(0, total_);
  };
  ftp_.OnWork = [this](ftp::TIdTCPConnection& s, ftp::TWorkMode mode, int64_t count) {
    if (old_work_) old_work_(s, mode, count);
    done_ = count;
    // A few updates a second are enough to show movement on a long file.
    const int64_t now = now_ms_();
    if (now - last_ms_ < 50) return;
    last_ms_ = now;
    host_.SetByteProgress(done_, total_);
  };
  ftp_.OnWorkEnd = [this](ftp::TIdTCPConnection& s, ftp::TWorkMode mode) {
    if (old_end_) old_end_(s, mode);
    host_.SetByteProgress(done_, std::max(total_, done_));
  };
}

WorkProgress::~WorkProgress() {
  ftp_.OnWorkBegin = old_begin_;
  ftp_.OnWork = old_work_;
  ftp_.OnWorkEnd = old_end_;
}


std::vector<OpEntry> FtpOpRemote::List(const std::string& folder, bool hidden, size_t& unread) {
  FtpCall([&] { ftp_.ListEntries(folder, hidden, /*probe=*/false); });
  unread += ftp_.DirectoryListing().UnparsedLines();
  std::vector<OpEntry> entries;
  for (const ftp::TIdFTPListItem& item : ftp_.DirectoryListing().Items())
    entries.push_back({item.FileName, item.ItemType == ftp::TIdDirItemType::ditDirectory});
  return entries;
}

void FtpOpRemote::Upload(const std::string& local_path, const std::string& remote_path) {
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

std::shared_ptr<void> FtpOpRemote::ReportProgress(TransferHost& host) {
  return std::make_shared<WorkProgress>(ftp_, host);
}

void FilesOpRemote::Upload(const std::string& local_path, const std::string& remote_path) {
  // Under the site sync's temporary name, so that one left by a broken
  // connection is removed by the next sync.
  std::random_device random;
  files_.UploadReplacing(local_path, remote_path, publish::TemporaryName(random()),
                         [this](int64_t d, int64_t t) { Progress(d, t); });
}

void FilesOpRemote::Download(const std::string& remote_path, const std::string& local_path) {
  files_.Download(remote_path, local_path, [this](int64_t d, int64_t t) { Progress(d, t); });
}

std::vector<OpEntry> FilesOpRemote::List(const std::string& folder, bool hidden, size_t&) {
  std::vector<OpEntry> entries;
  for (const RemoteFact& f : files_.List(folder)) {
    if (!hidden && !f.name.empty() && f.name[0] == '.') continue;
    entries.push_back(
        {f.name, f.kind == RemoteFact::Kind::kFolder, f.kind == RemoteFact::Kind::kLink});
  }
  return entries;
}

void FilesOpRemote::SetMode(const std::string& path, const std::string& digits) {
  files_.SetMode(path, unsigned(std::stoul(digits, nullptr, 8)));
}

void FilesOpRemote::Progress(int64_t done, int64_t total) {
  if (!host_) return;
  // A few updates a second are enough to show movement on a long file.
  const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
  if (done < total && now - last_ms_ < 50) return;
  last_ms_ = now;
  host_->SetByteProgress(done, total);
}

std::shared_ptr<void> FilesOpRemote::ReportProgress(TransferHost& host) {
  host_ = &host;
  return std::shared_ptr<void>(nullptr, [this](void*) { host_ = nullptr; });
}

}  // namespace hemlo::transfer
