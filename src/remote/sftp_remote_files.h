#pragma once
// The remote file system over SFTP. SFTP has no current folder of its own,
// so this keeps one (resolved by the server once, then joined locally).
#include <functional>
#include <memory>
#include <string>

#include "sftp/sftp_client.h"
#include "remote/remote_files.h"

namespace hemlo::transfer {

class SftpRemoteFiles : public RemoteFiles {
 public:
  // `client` is connected and outlives this.
  explicit SftpRemoteFiles(sftp::SftpClient& client) : client_(client) {}

  std::string CurrentFolder() override;
  void ChangeFolder(const std::string& path) override;
  // Raises "フォルダの一覧が大きすぎます" where Limits stop the reading: part of
  // a folder must never pass for the whole of it.
  std::vector<RemoteFact> List(const std::string& folder) override;
  // The entries of `folder` handed to `sink` `batch` at a time as they
  // arrive. Stops at Limits: false then (entries left unread).
  bool ListInBatches(const std::string& folder, size_t batch,
                     const std::function<void(std::vector<RemoteFact>&&)>& sink);
  // The bounds on one listing: the FTP listing's (its lines as entries).
  sftp::ListLimits& Limits() { return limits_; }
  void MakeFolder(const std::string& path) override;
  void Upload(const std::string& local_path, const std::string& remote_path,
              const ByteProgress& progress) override;
  // A file that cannot be written in place is refused as before; a link
  // keeps pointing at the file that gets the new bytes.
  void UploadReplacing(const std::string& local_path, const std::string& remote_path,
                       const std::string& temporary, const ByteProgress& progress) override;
  // Over an existing local file the new one keeps that file's modes.
  void Download(const std::string& remote_path, const std::string& local_path,
                const ByteProgress& progress) override;
  void Rename(const std::string& from, const std::string& to) override;
  void RenamePlain(const std::string& from, const std::string& to) override;
  void DeleteFile(const std::string& path) override;
  void RemoveFolder(const std::string& path) override;
  void SetMode(const std::string& path, unsigned mode) override;
  bool SetModified(const std::string& path, int64_t utc_seconds) override;
  // The stat's size; a refused stat counts as no such file.
  std::optional<int64_t> FileSize(const std::string& path) override;
  // The rename's own status is the server's word: only `to` is looked at.
  std::pair<std::optional<int64_t>, std::optional<int64_t>> SizesAfterPlace(
      const std::string& /*from*/, const std::string& to) override {
    return {FileSize(to), std::nullopt};
  }
  void Cancel() override { client_.Cancel(); }

 private:
  // `path` made absolute against the current folder.
  std::string Absolute(const std::string& path);

  static sftp::ListLimits ListingCaps();

  sftp::SftpClient& client_;
  std::string current_;
  sftp::ListLimits limits_ = ListingCaps();
};

// A new SFTP connection with its remote file system, in `start_folder`
// when one is given. `cancel_with` (when set) is handed a function that
// stops the connect from another thread, and nullptr again before this
// returns. Failures propagate as the client raises them.
std::unique_ptr<SftpRemoteFiles> ConnectSftpRemoteFiles(
    const sftp::ConnectOptions& options, const sftp::ConnectQuestions& questions,
    const std::string& start_folder = {},
    const std::function<void(std::function<void()>)>& cancel_with = nullptr);

// An SFTP entry as the transfer tool sees remote entries.
RemoteFact FactOf(const sftp::DirEntry& entry);

}  // namespace hemlo::transfer
