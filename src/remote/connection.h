#pragma once
// One connection to a server, of either protocol, and the command that runs
// on it: the blocking client on a worker thread of its own, the way back to
// the owner's thread, the running call and the stop request. The owner (a
// window, the site sync) starts commands with Run and hears from the
// connection only through Events, on its own thread; the connection never
// knows who owns it. No Qt: the owner's event loop watches WakeFd() and
// calls TakeQueued() when it becomes readable.
//
// A run over several connections makes its extra ones with SlotFiles: each
// logs in as this one did and runs its client on the caller's thread.
#include <atomic>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/prompts.h"
#include "ftp/id_ftp.h"
#include "remote/client_side.h"
#include "remote/connection_question.h"
#include "remote/connection_worker.h"
#include "remote/ftp_side.h"
#include "remote/keyring_session.h"
#include "remote/remote_session.h"
#include "remote/running_call.h"
#include "remote/session_secrets.h"
#include "remote/sftp_side.h"

namespace hemlo::transfer {

// How a command ended, handed to Events::finished on the owner's thread.
struct CommandEnd {
  std::exception_ptr failure;  // what escaped the command, if anything
  bool was_connected = false;  // the connection stood when it started
  bool cancelled = false;      // one of its waits was cancelled
  // The caller's own continuation: the handler runs it where it belongs
  // among its reports.
  std::function<void()> then;
};

// An FTP login as the profile shown at the click asks for it.
struct FtpLogin {
  std::string host, user, password;  // the profile's bytes
  // The password was given this session (or typed now): kept once the
  // server takes it, forgotten when it refuses it.
  bool remember = false;
  // No password of its own: the keyring's under `key`, else the user is
  // asked `question`.
  bool ask_keyring = false;
  SecretKey key;
  std::string question;
  std::string folder;  // where to start (the stored folder)
  NameEncodingMode encoding = NameEncodingMode::kAutomatic;
};

class Connection {
 public:
  struct Events {
    // The FTP client's own connect and disconnect.
    std::function<void()> connected;
    std::function<void()> disconnected;
    // A question of the command on the worker (a yes/no box, a password,
    // a host key, a certificate the system refused...), asked on the
    // owner's thread while the worker waits for the reply. Unsubscribed,
    // or given up by Abandon/Stop: declined (the command ends as a cancel).
    std::function<Reply(const Question&)> question;
    // A command has started on the worker (the owner's controls follow).
    std::function<void()> started;
    // A command has ended; the running call is no longer active.
    std::function<void(const CommandEnd&)> finished;
    // A listing of the current folder, in this order: the folder (FTP:
    // before the listing goes out; failed if it does not), its start, its
    // rows in batches (SFTP links with their targets), its end.
    std::function<void(const std::string& folder, const text::RemoteNames& names)> listing_folder;
    std::function<void()> listing_failed;
    std::function<void(const text::RemoteNames& names, size_t lines)> listing_started;
    std::function<void(std::vector<RemoteListEntry>&& rows,
                       std::map<std::string, std::string>&& links)>
        listing_batch;
    std::function<void(const ListingEnd&)> listing_ended;
    // A transfer's progress: file n of m (m = 0: none travels), bytes of
    // the current file (total 0: unknown).
    std::function<void(int n, int m)> file_progress;
    std::function<void(int64_t done, int64_t total)> byte_progress;
    // A login's step worth a status line ("キーリングに問い合わせています...").
    std::function<void(const std::string&)> status;
  };

  // `on_owner_thread` tells whether the caller is on the owner's thread.
  explicit Connection(std::function<bool()> on_owner_thread);
  // Stops the command that runs and joins the worker (Abandon first where
  // the owner still holds what the command may wait for).
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void SetEvents(Events events);

  // ---- the owner's event loop ----
  int WakeFd() const { return wake_fd_; }
  // Runs one queued call (one per turn, so a flood never holds the owner).
  void TakeQueued();
  // Queues `fn` for the owner's thread (at once when called there with
  // nothing queued).
  void Post(std::function<void()> fn) { calls_.Post(std::move(fn)); }
  // Runs `fn` on the owner's thread and waits for it (worker side).
  void CallOnOwner(const std::function<void()>& fn) { calls_.Call(fn); }
  // Questions for code on the worker: each becomes Events::question and
  // waits for the owner's reply.
  Prompts& WorkerPrompts() { return *worker_prompts_; }
  // Worker side: `q` through Events::question; ftp::EIdOperationAborted
  // once the owner has given the wait up.
  Reply Ask(const Question& q);

  // ---- a connection like this one ----
  // What a connection like this one logs in with (and through SlotFiles,
  // its certificate trust, questions and session secrets), taken on the
  // owner's thread while this one stands.
  using Likeness = LoginLikeness;
  Likeness LoginLikeThis() const { return Side().Likeness(); }
  // The files of slot `slot` of a run over several connections, from the
  // caller's thread: slot 0 takes `origin`'s own connection while it is
  // warm (FTP); otherwise a connection of the slot's own logs in with
  // `like` and lives as long as the files. Its questions (a certificate, a
  // host key, a password) and the passwords it is given are `origin`'s,
  // which outlives it. Its client runs on the caller's thread, with no
  // worker and no events: the run's slots already have threads of their
  // own, and a second thread per slot would only hand every call across
  // once more. `login.cancel_with` (if any) is handed a function that stops
  // the login from another thread, and nullptr again before this returns.
  // FTP failures raise the remote errors, SFTP ones propagate as the client
  // raises them. Closing says QUIT on FTP.
  static std::unique_ptr<RemoteFiles> SlotFiles(Connection& origin, const Likeness& like, int slot,
                                                SlotLogin login, TransferMode upload_type);

  // ---- the clients ----
  ftp::TIdFTP& Ftp() { return ftp_; }
  const ftp::TIdFTP& Ftp() const { return ftp_; }
  RemoteSession& Session() { return session_; }
  const RemoteSession& Session() const { return session_; }
  // The SFTP options while an SFTP connection is made or stands; null for FTP.
  const sftp::ConnectOptions* SftpOptions() const { return Side().SftpOptions(); }
  // What commands work through (worker side).
  RemoteFiles& Files() { return Side().Files(); }
  // Whether the connection (of either protocol) stands.
  bool Connected() const { return Side().Connected(); }
  // "host:port" ("sftp://host:port" for SFTP), for records and titles.
  std::string ServerText() const { return Side().ServerText(); }
  // The server by name alone (no scheme, no port).
  std::string HostName() const { return Side().HostName(); }
  // The next connect goes over SFTP with `options` (made here, on the
  // owner's thread, so that a cancel can reach it), or over FTP.
  // `password_key`: the profile's password in the keyring, when its
  // password field is empty.
  void UseSftp(const sftp::ConnectOptions& options,
               std::optional<SecretKey> password_key = std::nullopt);
  void UseFtp();
  // Worker side: logs in over FTP and lists the first folder, the
  // login's steps said through Events::status. A declined password
  // question ends it unconnected, without an error.
  void ConnectFtp(const FtpLogin& login, size_t batch_rows);
  // Worker side: logs in over SFTP, asking SftpQuestions, and starts in
  // `folder` (home when it is empty, gone or closed to us), names in
  // Shift-JIS or UTF-8.
  sftp::LoginMethod ConnectSftp(const std::string& folder, bool shift_jis);

  // ---- the session's secrets ----
  // The keyring logins may ask (the owner's, which outlives this); null:
  // none. Set before the first connect.
  void UseKeyring(KeyringSession* keyring);
  // Passwords typed at connect, kept for the session.
  SessionPasswords& Passwords() { return passwords_; }
  // What an SFTP login to the server of UseSftp asks: the host key, a key
  // passphrase and the password, each through the worker's prompts (a
  // password given or a passphrase opened this session is not asked
  // again). From any thread: the site sync's connections ask from theirs.
  sftp::ConnectQuestions SftpQuestions();
  // Worker side: the current folder's name and listing go out here and
  // reach the owner through the listing events, `batch_rows` rows at a
  // time. Client errors propagate.
  void ListFolder(size_t batch_rows);
  // Worker side: an operation's progress, for Events::file_progress and
  // byte_progress.
  void ReportFileProgress(int n, int m);
  void ReportByteProgress(int64_t done, int64_t total);
  // Worker side: into folder `name` of the current one; up from `shown`
  // (false where there is no going up: the root, or SFTP's home).
  void EnterFolder(const std::string& name);
  bool UpFolder(const std::string& shown);
  // Closes whichever connection stands; true when it was an SFTP one
  // (the FTP client says so through Events::disconnected).
  bool Disconnect();

  // ---- the command that runs ----
  // Starts `command` on the worker; `operation` marks a transfer operation.
  // False while another command runs. Its end reaches Events::finished
  // behind every call it queued.
  bool Run(bool operation, std::function<void()> command, std::function<void()> then);
  // Starts a transfer operation: the stop request is cleared for it and
  // set again at its end, ahead of `then`.
  bool RunOperation(std::function<void()> op, std::function<void()> then);
  bool Busy() const { return call_.Active(); }
  RunningCall& Call() { return call_; }
  const RunningCall& Call() const { return call_; }
  // Escape or "終了": the running command's waits end, its end is a cancel.
  void Cancel();
  // Cancels the running command and waits up to `timeout_ms` for the
  // worker, without messages at its end. True when nothing runs.
  bool Stop(int timeout_ms);
  // The user aborted a wait of the running command (worker side).
  bool CancelFired() const { return Side().CancelFired(); }
  // A stop request was honoured between items: the next wait goes on.
  void ForgetCancelRequest();
  // What the operations test between items: set at rest, cleared when an
  // operation starts, set again by Escape and at the operation's end.
  bool StopRequested() const { return stop_requested_; }
  void SetStopRequested(bool value) { stop_requested_ = value; }

  // Closing: the running command is cancelled and every call it waits
  // for on the owner given up.
  void Abandon();

 private:
  Connection(Connection& origin, const Likeness& login);
  ClientSide& Side() const { return *side_.load(); }
  void Wake();
  void TellStatus(std::string text);

  ftp::TIdFTP ftp_;
  RemoteSession session_{ftp_};
  FtpSide ftp_side_{ftp_, session_};
  // The last SFTP connection asked for; kept after it is closed, so that a
  // cancel from the owner's thread never meets a side that is gone.
  std::unique_ptr<SftpSide> sftp_side_;
  // The side in use: the FTP one unless an SFTP connection is made or stands.
  std::atomic<ClientSide*> side_{&ftp_side_};

  KeyringSession* keyring_ = nullptr;
  SessionPasswords passwords_;
  std::unique_ptr<PassphraseKeeper> passphrases_;
  std::optional<SecretKey> sftp_password_key_;

  // A slot's connection (SlotFiles): where its questions go, and its login.
  Connection* origin_ = nullptr;
  std::optional<Likeness> like_;

  Events events_;
  std::atomic<bool> stop_requested_{true};
  RunningCall call_;
  int wake_fd_ = -1;  // written by the worker when it queued a call
  UiCalls calls_;
  std::unique_ptr<Prompts> worker_prompts_;
  // Last: its thread stops before anything it uses goes.
  std::unique_ptr<ConnectionWorker> worker_;
};

}  // namespace hemlo::transfer
