#pragma once
// The remote side of the transfer operations, whatever protocol carries
// it. The FTP form makes exactly the client calls the operations always
// made, in the same order; the other form works over RemoteFiles (SFTP).
//
// Core code (no Qt). Calls block on the connection's worker thread and
// raise the remote errors (base/remote_errors.h).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ftp/id_ftp.h"
#include "remote/ftp_errors.h"
#include "remote/remote_files.h"

namespace hemlo::transfer {

class TransferHost;

struct OpEntry {
  std::string name;  // wire bytes
  bool folder = false;
  bool link = false;  // where the protocol tells links apart (SFTP)
};

// Forwards the client's work events to the host's byte progress for its
// lifetime, restoring the client's own handlers afterwards. `now_ms` is
// the clock the updates are spaced by (a steady clock unless given).
class WorkProgress {
 public:
  WorkProgress(ftp::TIdFTP& ftp, TransferHost& host, std::function<int64_t()> now_ms = {});
  ~WorkProgress();
  WorkProgress(const WorkProgress&) = delete;
  WorkProgress& operator=(const WorkProgress&) = delete;

 private:
  ftp::TIdFTP& ftp_;
  TransferHost& host_;
  ftp::TWorkEvent old_begin_, old_work_;
  ftp::TWorkEndEvent old_end_;
  int64_t total_ = 0;  // 0 while unknown (downloads)
  int64_t done_ = 0;
  int64_t last_ms_ = 0;
  std::function<int64_t()> now_ms_;
};

class OpRemote {
 public:
  virtual ~OpRemote() = default;

  virtual bool Connected() const = 0;
  // The mode box's type, applied before each transfer (no-op where the
  // protocol moves bytes unchanged).
  virtual void SetTransferType(ftp::TIdFTPTransferType mode) = 0;
  virtual void Upload(const std::string& local_path, const std::string& remote_path) = 0;
  // Lands in a temporary file that replaces `local_path` once complete.
  virtual void Download(const std::string& remote_path, const std::string& local_path) = 0;
  // The entries of `folder` ("" for the current one); listing lines that
  // could not be read are added to `unread`.
  virtual std::vector<OpEntry> List(const std::string& folder, bool hidden, size_t& unread) = 0;
  virtual void MakeFolder(const std::string& path) = 0;
  virtual void DeleteFile(const std::string& path) = 0;
  virtual void RemoveFolder(const std::string& path) = 0;
  virtual void Rename(const std::string& from, const std::string& to) = 0;
  // `digits`: three octal digits.
  virtual void SetMode(const std::string& path, const std::string& digits) = 0;
  // Byte progress goes to `host` while the returned handle lives.
  virtual std::shared_ptr<void> ReportProgress(TransferHost& host) = 0;
  // After an Upload that raised: whether the server had begun to store the
  // file in place, so that its old copy is gone and part of the new stands.
  virtual bool UploadLeftPartial() const { return false; }
};

class FtpOpRemote : public OpRemote {
 public:
  explicit FtpOpRemote(ftp::TIdFTP& ftp) : ftp_(ftp) {}
  bool Connected() const override { return ftp_.Connected(); }
  void SetTransferType(ftp::TIdFTPTransferType mode) override {
    FtpCall([&] { ftp_.SetTransferType(mode); });
  }
  void Upload(const std::string& local_path, const std::string& remote_path) override;
  void Download(const std::string& remote_path, const std::string& local_path) override {
    FtpCall([&] { ftp_.Download(remote_path, local_path, true); });
  }
  std::vector<OpEntry> List(const std::string& folder, bool hidden, size_t& unread) override;
  void MakeFolder(const std::string& path) override {
    FtpCall([&] { ftp_.CreateDirectory(path); });
  }
  void DeleteFile(const std::string& path) override {
    FtpCall([&] { ftp_.DeleteFile(path); });
  }
  void RemoveFolder(const std::string& path) override {
    FtpCall([&] { ftp_.RemoveDirectory(path); });
  }
  void Rename(const std::string& from, const std::string& to) override {
    FtpCall([&] { ftp_.RenameFile(from, to); });
  }
  void SetMode(const std::string& path, const std::string& digits) override {
    FtpCall([&] { ftp_.SiteCommand("chmod " + digits + " " + path); });
  }
  std::shared_ptr<void> ReportProgress(TransferHost& host) override;
  bool UploadLeftPartial() const override { return partial_; }

 private:
  ftp::TIdFTP& ftp_;
  bool partial_ = false;
};

// Over a remote file system; `connected` tells whether its connection
// still stands.
class FilesOpRemote : public OpRemote {
 public:
  FilesOpRemote(RemoteFiles& files, std::function<bool()> connected)
      : files_(files), connected_(std::move(connected)) {}
  bool Connected() const override { return connected_(); }
  void SetTransferType(ftp::TIdFTPTransferType) override {}
  void Upload(const std::string& local_path, const std::string& remote_path) override;
  void Download(const std::string& remote_path, const std::string& local_path) override;
  std::vector<OpEntry> List(const std::string& folder, bool hidden, size_t& unread) override;
  void MakeFolder(const std::string& path) override { files_.MakeFolder(path); }
  void DeleteFile(const std::string& path) override { files_.DeleteFile(path); }
  void RemoveFolder(const std::string& path) override { files_.RemoveFolder(path); }
  void Rename(const std::string& from, const std::string& to) override { files_.Rename(from, to); }
  void SetMode(const std::string& path, const std::string& digits) override;
  std::shared_ptr<void> ReportProgress(TransferHost& host) override;

 private:
  void Progress(int64_t done, int64_t total);

  RemoteFiles& files_;
  std::function<bool()> connected_;
  TransferHost* host_ = nullptr;
  int64_t last_ms_ = 0;
};

// What an operation's context names: an OpRemote, or an FTP client (then
// the FTP form over it).
class OpTarget {
 public:
  OpTarget(ftp::TIdFTP& ftp) : own_(std::make_shared<FtpOpRemote>(ftp)), remote_(own_.get()) {}
  OpTarget(OpRemote& remote) : remote_(&remote) {}
  OpRemote* operator->() const { return remote_; }
  OpRemote& operator*() const { return *remote_; }

 private:
  std::shared_ptr<OpRemote> own_;
  OpRemote* remote_;
};

}  // namespace hemlo::transfer
