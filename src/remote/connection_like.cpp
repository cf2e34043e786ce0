// The extra connections of a run over several connections: each logs in as
// the one it is made from did, on the caller's thread.
#include "remote/connection.h"

namespace hemlo::transfer {

// No worker and no events: nothing is posted, every question goes to
// `origin`.
Connection::Connection(Connection& origin, const Likeness& login)
    : origin_(&origin),
      like_(login),
      calls_([] {}, [] { return true; }),
      worker_prompts_(
          std::make_unique<QuestionPrompts>([this](const Question& q) { return Ask(q); })) {
  // The one place a slot's protocol is chosen: as the origin's was.
  if (login.sftp) {
    sftp_side_ = std::make_unique<SftpSide>(session_, *login.sftp);
    side_ = sftp_side_.get();
  }
  ftp_.OnVerifyCertificate = [this](const ftp::TIdCertificateInfo& info) {
    Question q;
    q.kind = Question::Kind::kCertificate;
    q.certificate = info;
    return Ask(q).answer == Answer::Yes;
  };
}

std::unique_ptr<RemoteFiles> Connection::SlotFiles(Connection& origin, const Likeness& like,
                                                   int slot, SlotLogin login,
                                                   TransferMode upload_type) {
  if (slot == 0)
    if (auto warm = origin.Side().WarmSlotFiles(upload_type)) return warm;
  std::shared_ptr<Connection> own(new Connection(origin, like));
  login.sftp_questions = [&origin] { return origin.SftpQuestions(); };
  own->Side().LogInLike(like, login);
  ClientSide& side = own->Side();
  return side.SlotFiles(std::move(own), upload_type);
}

}  // namespace hemlo::transfer
