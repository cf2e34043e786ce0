#include "remote/sftp_side.h"

#include <algorithm>
#include <ctime>

#include "base/remote_errors.h"

namespace hemlo::transfer {

namespace {

// Seconds since 1970 (UTC) as the list's day number in local time.
double LocalDayNumber(int64_t utc) {
  const time_t t = time_t(utc);
  tm local{};
  if (!::localtime_r(&t, &local)) return 0;
  return double(utc + local.tm_gmtoff) / 86400.0 + 25569.0;
}

RemoteListEntry EntryOfFact(const RemoteFact& f) {
  RemoteListEntry e;
  e.FileName = f.name;
  e.Size = f.size;
  if (f.modified_utc) e.ModifiedDate = LocalDayNumber(*f.modified_utc);
  e.Folder = f.kind == RemoteFact::Kind::kFolder;
  const size_t n = std::min(f.permissions.size(), e.Permissions.size());
  std::copy_n(f.permissions.begin(), n, e.Permissions.begin());
  e.PermissionLength = uint8_t(n);
  return e;
}

// A slot's files over an SFTP connection of its own, in the folder its
// login changed into.
class SlotSftpFiles : public SftpRemoteFiles {
 public:
  SlotSftpFiles(const SftpRemoteFiles& files, std::shared_ptr<void> keep)
      : SftpRemoteFiles(files), keep_(std::move(keep)) {}

 private:
  std::shared_ptr<void> keep_;
};

}  // namespace

std::string SftpSide::ServerText() const {
  return "sftp://" + options_.host + ":" + std::to_string(options_.port);
}

SftpRemoteFiles& SftpSide::LoggedIn() {
  if (!files_) throw remote::ConnectionLost("SFTP の接続がありません");
  return *files_;
}

sftp::LoginMethod SftpSide::LogIn(const sftp::ConnectQuestions& questions,
                                  const std::string& folder, bool shift_jis) {
  const sftp::LoginMethod login = client_.Connect(options_, questions);
  auto files = std::make_unique<SftpRemoteFiles>(client_);
  home_ = files->CurrentFolder();
  session_.Names =
      text::RemoteNames(shift_jis ? text::NameEncoding::kShiftJis : text::NameEncoding::kUtf8);
  session_.HomeFolder = session_.StartFolder = home_;
  if (!folder.empty()) {
    try {
      files->ChangeFolder(folder);
      session_.StartFolder = folder;
    } catch (const remote::RemoteError& e) {
      // The stored folder is gone or closed to us: start at home instead.
      if (remote::IsQuietLoss(e)) throw;
    }
  }
  files_ = std::move(files);
  return login;
}

bool SftpSide::Disconnect() {
  files_.reset();
  client_.Disconnect();
  return true;
}

void SftpSide::List(const ListingReports& out, size_t batch_rows) {
  SftpRemoteFiles& files = LoggedIn();
  const std::string folder = files.CurrentFolder();
  out.folder_started(folder, session_.Names);
  size_t listed = 0;
  const bool whole = files.ListInBatches("", batch_rows, [&](std::vector<RemoteFact>&& facts) {
    listed += facts.size();
    std::vector<RemoteListEntry> rows;
    rows.reserve(facts.size());
    std::map<std::string, std::string> links;
    for (RemoteFact& f : facts) {
      rows.push_back(EntryOfFact(f));
      if (!f.link_target.empty()) links.emplace(f.name, std::move(f.link_target));
    }
    out.batch(std::move(rows), std::move(links));
  });
  ListingEnd end;
  end.folder = folder;
  end.names = session_.Names;
  end.whole = whole;
  end.listed = listed;
  out.ended(std::move(end));
}

bool SftpSide::Up(const std::string& shown) {
  if (shown == home_) return false;
  LoggedIn().ChangeFolder("..");
  return true;
}

LoginLikeness SftpSide::Likeness() const {
  LoginLikeness like;
  like.sftp = options_;
  return like;
}

void SftpSide::LogInLike(const LoginLikeness&, const SlotLogin& login) {
  login.WhileStoppable([this] { client_.Cancel(); },
                       [&] { client_.Connect(options_, login.sftp_questions()); });
  files_ = std::make_unique<SftpRemoteFiles>(client_);
  if (!login.start_folder.empty()) files_->ChangeFolder(login.start_folder);
}

std::unique_ptr<RemoteFiles> SftpSide::SlotFiles(std::shared_ptr<void> keep, TransferMode) {
  return std::make_unique<SlotSftpFiles>(LoggedIn(), std::move(keep));
}

}  // namespace hemlo::transfer
