#pragma once
// A connection's SFTP side, made for a profile that asks for SFTP and kept
// until the connection is closed.
#include <memory>

#include "remote/client_side.h"
#include "remote/sftp_remote_files.h"
#include "sftp/sftp_client.h"

namespace hemlo::transfer {

class SftpSide : public ClientSide {
 public:
  SftpSide(RemoteSession& session, const sftp::ConnectOptions& options)
      : session_(session), options_(options) {}

  // The owner's login: asks `questions`, starts in `folder` (home when it
  // is empty, gone or closed to us), names in Shift-JIS or UTF-8.
  sftp::LoginMethod LogIn(const sftp::ConnectQuestions& questions, const std::string& folder,
                          bool shift_jis);

  bool Connected() const override { return client_.Connected(); }
  std::string ServerText() const override;
  std::string HostName() const override { return options_.host; }
  RemoteFiles& Files() override { return LoggedIn(); }
  void Cancel() override { client_.Cancel(); }
  void ClearCancel() override { client_.ClearCancel(); }
  // An SFTP wait ended by Escape raises remote::Cancelled; nothing else
  // reads as cancelled.
  bool CancelFired() const override { return false; }
  bool Disconnect() override;
  void List(const ListingReports& out, size_t batch_rows) override;
  void Enter(const std::string& name) override { LoggedIn().ChangeFolder(name); }
  bool Up(const std::string& shown) override;
  LoginLikeness Likeness() const override;
  void LogInLike(const LoginLikeness& like, const SlotLogin& login) override;
  void Goodbye() override {}
  std::unique_ptr<RemoteFiles> WarmSlotFiles(TransferMode) override { return nullptr; }
  std::unique_ptr<RemoteFiles> SlotFiles(std::shared_ptr<void> keep,
                                         TransferMode upload_type) override;
  const sftp::ConnectOptions* SftpOptions() const override { return &options_; }

 private:
  // Before the login (or after a failed one) a command meets no SFTP
  // connection: it fails as the client does when its link is gone.
  SftpRemoteFiles& LoggedIn();

  RemoteSession& session_;
  sftp::ConnectOptions options_;
  sftp::SftpClient client_;
  std::unique_ptr<SftpRemoteFiles> files_;
  std::string home_;  // "up" stops here
};

}  // namespace hemlo::transfer
