#include "remote/connection.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include "base/remote_errors.h"
#include "ftp/id_exception.h"
#include "remote/login_texts.h"
#include "text/cp932.h"

namespace hemlo::transfer {

Connection::Connection(std::function<bool()> on_owner_thread)
    : wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      // The worker only writes to an eventfd: nothing of the owner's
      // toolkit crosses between the threads.
      calls_([this] { Wake(); }, std::move(on_owner_thread)),
      worker_prompts_(
          std::make_unique<QuestionPrompts>([this](const Question& q) { return Ask(q); })) {
  // The client's events come from the worker; the owner takes them on its
  // own thread, in order.
  ftp_.OnConnected = [this](ftp::TIdTCPConnection&) {
    Post([this] {
      if (events_.connected) events_.connected();
    });
  };
  ftp_.OnDisconnected = [this](ftp::TIdTCPConnection&) {
    Post([this] {
      if (events_.disconnected) events_.disconnected();
    });
  };
  ftp_.OnVerifyCertificate = [this](const ftp::TIdCertificateInfo& info) {
    Question q;
    q.kind = Question::Kind::kCertificate;
    q.certificate = info;
    return Ask(q).answer == Answer::Yes;
  };
  worker_ = std::make_unique<ConnectionWorker>();
}

Connection::~Connection() {
  if (origin_) {
    Side().Goodbye();
  } else {
    Abandon();
  }
  worker_.reset();
  if (wake_fd_ >= 0) ::close(wake_fd_);
  // The client may still report its disconnection while the owner goes.
  ftp_.OnConnected = nullptr;
  ftp_.OnDisconnected = nullptr;
  ftp_.OnVerifyCertificate = nullptr;
}

void Connection::SetEvents(Events events) { events_ = std::move(events); }

Reply Connection::Ask(const Question& q) {
  if (origin_) return origin_->Ask(q);
  // The reply lives on the heap and the question is copied: a question
  // the owner gave up on may still be on screen after the worker has
  // moved on.
  auto reply = std::make_shared<Reply>();
  try {
    calls_.Call([this, reply, q] {
      if (events_.question) *reply = events_.question(q);
    });
  } catch (const UiCallAbandoned&) {
    throw ftp::EIdOperationAborted();
  }
  return *reply;
}

void Connection::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t w = ::write(wake_fd_, &one, sizeof one);
}

void Connection::TakeQueued() {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t r = ::read(wake_fd_, &count, sizeof count);
  calls_.TakeOne();
  if (calls_.HasQueued()) Wake();
}

void Connection::UseSftp(const sftp::ConnectOptions& options,
                         std::optional<SecretKey> password_key) {
  side_ = &ftp_side_;
  sftp_side_ = std::make_unique<SftpSide>(session_, options);
  side_ = sftp_side_.get();
  sftp_password_key_ = std::move(password_key);
}

void Connection::UseKeyring(KeyringSession* keyring) {
  keyring_ = keyring;
  passphrases_ = keyring ? std::make_unique<PassphraseKeeper>(keyring->Blocking()) : nullptr;
}

void Connection::UseFtp() {
  side_ = &ftp_side_;
  sftp_side_.reset();
}

void Connection::TellStatus(std::string text) {
  Post([this, text = std::move(text)] {
    if (events_.status) events_.status(text);
  });
}

void Connection::ConnectFtp(const FtpLogin& login, size_t batch_rows) {
  std::string password = login.password;
  bool keep = login.remember;
  if (login.ask_keyring) {
    TellStatus("キーリングに問い合わせています...");
    if (auto kept = keyring_ ? keyring_->Lookup(login.key, [this] { return ftp_.CancelFired(); })
                             : std::nullopt) {
      password = *kept;  // the profile's own bytes, as they were handed over
    } else if (ftp_.CancelFired()) {
      throw ftp::EIdOperationAborted();  // Escape while the keyring was asked
    } else {
      const auto answer = WorkerPrompts().Password("パスワード", login.question);
      const auto sjis = answer ? text::Utf8ToCp932(*answer) : std::nullopt;
      if (!answer || !sjis) {
        TellStatus(answer ? kUnsayablePassword : kConnectionDeclined);
        return;
      }
      password = *sjis;
      keep = !password.empty();
    }
    TellStatus("接続中...");
  }
  try {
    session_.Connect(login.host, login.user, password, login.folder, login.encoding);
  } catch (const ftp::EIdProtocolReplyError&) {
    // Refused (a password that has changed): asked for again next time.
    if (keep) passwords_.Forget(login.host, login.user);
    throw;
  }
  if (!ftp_.Connected()) return;
  if (keep) passwords_.Keep(login.host, login.user, password);
  if (ftp_.UseTLS) TellStatus(std::string("接続成功") + kEncryptedMark);
  ListFolder(batch_rows);
}

sftp::LoginMethod Connection::ConnectSftp(const std::string& folder, bool shift_jis) {
  if (!sftp_side_) throw remote::ConnectionLost("SFTP の接続がありません");
  return sftp_side_->LogIn(SftpQuestions(), folder, shift_jis);
}

bool Connection::Disconnect() {
  const bool tell = Side().Disconnect();
  side_ = &ftp_side_;
  return tell;
}

bool Connection::Run(bool operation, std::function<void()> command, std::function<void()> then) {
  if (Busy() || !worker_) return false;
  call_.Begin(operation);
  Side().ClearCancel();
  worker_->Post([this, command = std::move(command), then = std::move(then)] {
    CommandEnd end;
    end.was_connected = Connected();
    try {
      command();
    } catch (...) {
      end.failure = std::current_exception();
    }
    end.cancelled = Side().CancelFired();
    end.then = then;
    // Behind every call the command queued: the owner sees its end last.
    // Moved, so the error is released on the owner's thread, which reads it.
    Post([this, end = std::move(end)] {
      call_.End();
      if (events_.finished) events_.finished(end);
    });
  });
  if (events_.started) events_.started();
  return true;
}

bool Connection::RunOperation(std::function<void()> op, std::function<void()> then) {
  if (Busy()) return false;
  stop_requested_ = false;
  return Run(true, std::move(op), [this, then = std::move(then)] {
    stop_requested_ = true;
    call_.EndOperation();
    if (then) then();
  });
}

void Connection::ReportFileProgress(int n, int m) {
  Post([this, n, m] {
    if (events_.file_progress) events_.file_progress(n, m);
  });
}

void Connection::ReportByteProgress(int64_t done, int64_t total) {
  Post([this, done, total] {
    if (events_.byte_progress) events_.byte_progress(done, total);
  });
}

void Connection::Cancel() {
  if (!Busy()) return;
  call_.AskStop();
  Side().Cancel();
}

bool Connection::Stop(int timeout_ms) {
  if (!Busy()) return true;
  call_.StopQuietly();
  stop_requested_ = true;
  Cancel();
  // A question the worker waits for is given up, or the two threads would
  // wait for each other.
  calls_.SetAbandoned(true);
  const bool stopped = worker_->WaitIdle(timeout_ms);
  calls_.SetAbandoned(false);
  // The worker's last calls wait in the queue: take them now, its end last.
  if (stopped)
    while (calls_.TakeOne()) {
    }
  return stopped && !Busy();
}

void Connection::ForgetCancelRequest() {
  Side().ClearCancel();
  // Ahead of the end steps' listing rows in the owner's queue.
  Post([this] { call_.StopHonoured(); });
}

void Connection::Abandon() {
  Side().Cancel();
  calls_.SetAbandoned(true);
}

}  // namespace hemlo::transfer
