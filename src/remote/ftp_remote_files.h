#pragma once
// RemoteFiles over the FTP client: the site sync and the operations reach
// an FTP server through this. Listings use MLSD where the server offers it
// (exact UTC facts) and LIST otherwise (the server's wall clock, to the
// minute); MDTM gives one file's exact time, MFMT sets it where FEAT
// announces it. Rename over an existing file falls back to DELE + RNTO on
// servers that refuse to replace (PlaceUploaded with an aside name moves
// the old file aside instead); a refused RNFR never deletes anything.
//
// Core code (no Qt). One object per connection; every call but Cancel on
// the connection's own thread.
#include <functional>
#include <memory>
#include <string>

#include "ftp/id_ftp.h"
#include "remote/profile.h"
#include "remote/remote_files.h"
#include "remote/remote_session.h"

namespace hemlo::transfer {

class FtpRemoteFiles : public RemoteFiles {
 public:
  // Works on a client someone else owns (the window's connection).
  explicit FtpRemoteFiles(ftp::TIdFTP& ftp) : ftp_(ftp) {}
  // Owns its client (an extra connection of a sync); QUIT when destroyed.
  explicit FtpRemoteFiles(std::unique_ptr<ftp::TIdFTP> owned);
  ~FtpRemoteFiles() override;

  std::string CurrentFolder() override;
  void ChangeFolder(const std::string& path) override;
  std::vector<RemoteFact> List(const std::string& folder) override;
  void MakeFolder(const std::string& path) override;
  void Upload(const std::string& local_path, const std::string& remote_path,
              const ByteProgress& progress) override;
  void Download(const std::string& remote_path, const std::string& local_path,
                const ByteProgress& progress) override;
  void Rename(const std::string& from, const std::string& to) override;
  void DeleteFile(const std::string& path) override;
  void RemoveFolder(const std::string& path) override;
  void SetMode(const std::string& path, unsigned mode) override;
  bool SetModified(const std::string& path, int64_t utc_seconds) override;
  std::optional<int64_t> ModifiedTime(const std::string& path) override;
  bool ListedTimesExact() const override { return last_list_exact_; }
  std::optional<int64_t> ListedTimeAfterSet() const override { return listed_after_set_; }
  void RenamePlain(const std::string& from, const std::string& to) override;
  // MFMT (where announced), RNFR and RNTO in one write: one round trip.
  std::optional<int64_t> PlaceUploaded(const std::string& from, const std::string& to,
                                       int64_t utc_seconds, const std::string& aside) override;
  // SIZE, where FEAT announces it (in binary type: the bytes stored).
  std::optional<int64_t> FileSize(const std::string& path) override;
  // Read from the SIZE replies PlaceUploaded sent along with the rename.
  std::pair<std::optional<int64_t>, std::optional<int64_t>> SizesAfterPlace(
      const std::string& from, const std::string& to) override;
  void Cancel() override { ftp_.Cancel(); }

  ftp::TIdFTP& Client() { return ftp_; }
  // How names travel on this connection (set by ConnectFtpRemoteFiles).
  text::RemoteNames Names;

 private:
  // The work of Rename and PlaceUploaded, raising the client's own errors.
  void RenameReplacing(const std::string& from, const std::string& to);
  std::optional<int64_t> PlaceUploadedFtp(const std::string& from, const std::string& to,
                                          int64_t utc_seconds, const std::string& aside);
  // After RNFR was accepted and RNTO refused: DELE `to`, then RNFR/RNTO.
  void RenameAfterDelete(const std::string& from, const std::string& to);
  // The time of MFMT's "213 Modify=...; path", as the server's MLSD shows it.
  std::optional<int64_t> ModifyFactOf(const ftp::TIdRFCReply& reply);

  std::unique_ptr<ftp::TIdFTP> owned_;
  ftp::TIdFTP& ftp_;
  // The SIZE replies of the last PlaceUploaded whose RNTO went through.
  struct AfterPlace {
    std::string from, to;
    std::optional<int64_t> at_to, at_from;
  };
  std::optional<AfterPlace> after_place_;
  bool last_list_exact_ = false;
  std::optional<int64_t> listed_after_set_;
};

// What an extra connection of a sync needs to log in as the window did.
struct FtpEndpoint {
  std::string host_field;  // the profile's host field (ftpes://, :port)
  std::string user;
  std::string password;
  std::string start_folder;  // changed into after login
  DataConnectionMode data_mode = DataConnectionMode::kAutomatic;
  NameEncodingMode encoding = NameEncodingMode::kAutomatic;
  int connect_timeout_ms = kConnectTimeoutMs;
  // Called with the fresh client before it connects (certificate checks,
  // timeouts, tracing).
  std::function<void(ftp::TIdFTP&)> configure;
};

// Connects and logs in on the caller's thread. `cancel_with` (if any) is
// handed a function that stops the connect from another thread, and
// nullptr again before this returns. Failures
// raise the remote errors (a refused extra connection: 421, 530, a closed
// socket).
std::unique_ptr<FtpRemoteFiles> ConnectFtpRemoteFiles(
    const FtpEndpoint& endpoint,
    const std::function<void(std::function<void()>)>& cancel_with = nullptr);

}  // namespace hemlo::transfer
