// The extra connections of a run over several connections: each logs in as
// the one it is made from did, on the caller's thread.
#include "remote/connection.h"
#include "remote/ftp_errors.h"

namespace hemlo::transfer {

Connection::Likeness Connection::LoginLikeThis() const {
  Likeness like;
  if (sftp_) {
    like.sftp = sftp_options_;
    return like;
  }
  like.host_field = std::string(!ftp_.UseTLS       ? ""
                                : ftp_.ImplicitTLS ? "ftps://"
                                                   : "ftpes://") +
                    ftp_.Host + ":" + std::to_string(ftp_.Port);
  like.user = ftp_.Username;
  like.password = ftp_.Password;
  like.passive = ftp_.Passive;
  like.data_mode = ftp_.DataMode;
  return like;
}

// No worker and no events: nothing is posted, every question goes to
// `origin`.
Connection::Connection(Connection& origin, const Likeness& login)
    : origin_(&origin),
      like_(login),
      calls_([] {}, [] { return true; }),
      worker_prompts_(std::make_unique<QuestionPrompts>([this](const Question& q) { return Ask(q); })) {
  if (login.sftp) {
    sftp_ = std::make_unique<sftp::SftpClient>();
    sftp_options_ = *login.sftp;
  }
  ftp_.Passive = login.passive;
  ftp_.DataMode = login.data_mode;
  ftp_.OnVerifyCertificate = [this](const ftp::TIdCertificateInfo& info) {
    Question q;
    q.kind = Question::Kind::kCertificate;
    q.certificate = info;
    return Ask(q).answer == Answer::Yes;
  };
}

std::unique_ptr<Connection> Connection::Like(Connection& origin, const Likeness& login) {
  return std::unique_ptr<Connection>(new Connection(origin, login));
}

void Connection::ConnectHere(const std::string& start_folder, NameEncodingMode encoding,
                             const std::function<void(std::function<void()>)>& cancel_with) {
  const auto stop_with = [&](std::function<void()> stop) {
    if (cancel_with) cancel_with(std::move(stop));
  };
  if (sftp_) {
    stop_with([c = sftp_.get()] { c->Cancel(); });
    try {
      // The origin's questions: its passwords, passphrases and keyring.
      sftp_->Connect(sftp_options_, origin_->SftpQuestions());
    } catch (...) {
      stop_with(nullptr);
      throw;
    }
    stop_with(nullptr);
    sftp_files_ = std::make_unique<SftpRemoteFiles>(*sftp_);
    if (!start_folder.empty()) sftp_files_->ChangeFolder(start_folder);
    return;
  }
  stop_with([this] { ftp_.Cancel(); });
  try {
    session_.Connect(like_->host_field, like_->user, like_->password, start_folder, encoding);
  } catch (...) {
    stop_with(nullptr);
    RethrowAsRemoteError();
  }
  stop_with(nullptr);
}

}  // namespace hemlo::transfer
