#pragma once
// A connection's FTP side: the client the connection has for its whole life.
#include "remote/client_side.h"
#include "remote/ftp_remote_files.h"

namespace hemlo::transfer {

class FtpSide : public ClientSide {
 public:
  FtpSide(ftp::TIdFTP& ftp, RemoteSession& session) : ftp_(ftp), session_(session), files_(ftp) {}

  bool Connected() const override { return ftp_.Connected(); }
  std::string ServerText() const override;
  std::string HostName() const override { return ftp_.Host; }
  RemoteFiles& Files() override { return files_; }
  void Cancel() override { ftp_.Cancel(); }
  void ClearCancel() override { ftp_.ClearCancel(); }
  bool CancelFired() const override { return ftp_.CancelFired(); }
  bool Disconnect() override;
  void List(const ListingReports& out, size_t batch_rows) override;
  void Enter(const std::string& name) override { session_.Enter(name); }
  bool Up(const std::string& shown) override { return session_.Up(shown); }
  LoginLikeness Likeness() const override;
  void LogInLike(const LoginLikeness& like, const SlotLogin& login) override;
  void Goodbye() override;
  std::unique_ptr<RemoteFiles> WarmSlotFiles(TransferMode upload_type) override;
  std::unique_ptr<RemoteFiles> SlotFiles(std::shared_ptr<void> keep,
                                         TransferMode upload_type) override;

 private:
  ftp::TIdFTP& ftp_;
  RemoteSession& session_;
  FtpRemoteFiles files_;
};

}  // namespace hemlo::transfer
