#pragma once
// The protocol's half of a Connection. A connection has the FTP client for
// its whole life (the window shows it as IdFTP1) and an SFTP connection when
// a profile asks for one; which of the two is in use is the one thing the
// connection keeps, and everything that differs between them is asked of
// the side in use. Nothing outside the two sides asks which protocol it is.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ftp/id_ftp.h"
#include "remote/remote_files.h"
#include "remote/remote_session.h"
#include "remote/transfer_mode.h"
#include "sftp/ssh_connection.h"

namespace hemlo::transfer {

// A listing's end, as its owner hears of it.
struct ListingEnd {
  std::string folder;
  text::RemoteNames names;
  size_t unread = 0;  // FTP lines no parser could read
  bool whole = true;  // false: cut short at its bounds after `listed` rows
  size_t listed = 0;
  bool relabel = false;  // the names' encoding was settled by the listing (FTP)
};

// Where a side's listing reports go: the connection hands each to its
// owner's thread, in the order they are made.
struct ListingReports {
  std::function<void(const std::string& folder, const text::RemoteNames& names)> folder;
  // The folder and the listing's start in one report (SFTP: nothing is
  // read before the rows begin).
  std::function<void(const std::string& folder, const text::RemoteNames& names)> folder_started;
  std::function<void()> failed;
  std::function<void(const text::RemoteNames& names, size_t lines)> started;
  std::function<void(std::vector<RemoteListEntry>&& rows,
                     std::map<std::string, std::string>&& links)>
      batch;
  std::function<void(ListingEnd)> ended;
};

// What a connection like this one logs in with, taken on the owner's
// thread while this one stands: its server, login, TLS, data mode, or its
// SFTP options.
struct LoginLikeness {
  std::string host_field;  // as a profile spells it: "ftpes://host:port"
  std::string user, password;
  bool passive = false;
  ftp::TIdDataMode data_mode = ftp::TIdDataMode::dmAuto;
  std::optional<sftp::ConnectOptions> sftp;
};

// A slot's login: where it starts, its FTP names, and the way a login in
// progress is stopped from another thread (handed a stopper, then nullptr
// again before the login returns).
struct SlotLogin {
  std::string start_folder;
  NameEncodingMode encoding = NameEncodingMode::kAutomatic;
  std::function<void(std::function<void()>)> cancel_with;
  // What an SFTP login asks: the origin's questions, passwords and keyring.
  std::function<sftp::ConnectQuestions()> sftp_questions;

  // Runs `log_in` with `stop` handed to cancel_with for as long as it runs.
  template <typename LogIn>
  void WhileStoppable(std::function<void()> stop, LogIn&& log_in) const {
    if (cancel_with) cancel_with(std::move(stop));
    try {
      log_in();
    } catch (...) {
      if (cancel_with) cancel_with(nullptr);
      throw;
    }
    if (cancel_with) cancel_with(nullptr);
  }
};

class ClientSide {
 public:
  virtual ~ClientSide() = default;

  virtual bool Connected() const = 0;
  // "host:port" ("sftp://host:port" for SFTP), for records and titles.
  virtual std::string ServerText() const = 0;
  // The server by name alone (no scheme, no port).
  virtual std::string HostName() const = 0;
  // What commands work through (worker side).
  virtual RemoteFiles& Files() = 0;

  // The running call's waits end (any thread); ClearCancel forgets a
  // request nothing has met yet.
  virtual void Cancel() = 0;
  virtual void ClearCancel() = 0;
  // A wait was ended by a cancel since the last ClearCancel.
  virtual bool CancelFired() const = 0;
  // Closes the connection; true when no event of the client says so (the
  // caller tells its owner itself).
  virtual bool Disconnect() = 0;

  // The current folder's name and listing, `batch_rows` rows at a time.
  virtual void List(const ListingReports& out, size_t batch_rows) = 0;
  // Into folder `name` of the current one; up from `shown` (false where
  // there is no going up).
  virtual void Enter(const std::string& name) = 0;
  virtual bool Up(const std::string& shown) = 0;

  virtual LoginLikeness Likeness() const = 0;
  // A slot's own connection logs in (caller's thread).
  virtual void LogInLike(const LoginLikeness& like, const SlotLogin& login) = 0;
  // A slot's connection going away says goodbye as its own client would.
  virtual void Goodbye() = 0;
  // Slot 0 of a run may use the owner's own connection while it is warm:
  // its files then, else nullptr (a slot logs in on its own).
  virtual std::unique_ptr<RemoteFiles> WarmSlotFiles(TransferMode upload_type) = 0;
  // The files of a slot's own connection, kept alive by them.
  virtual std::unique_ptr<RemoteFiles> SlotFiles(std::shared_ptr<void> keep,
                                                 TransferMode upload_type) = 0;

  // The SFTP options while an SFTP connection is in use; null for FTP.
  virtual const sftp::ConnectOptions* SftpOptions() const { return nullptr; }
};

}  // namespace hemlo::transfer
