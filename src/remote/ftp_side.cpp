#include "remote/ftp_side.h"

#include "remote/ftp_errors.h"

namespace hemlo::transfer {

namespace {

// A slot's files over an FTP connection: its own (kept while the files
// live) or the owner's. Uploads go in the mode box's type: TYPE goes out
// when it changes, as on the window's connection; the other calls as they
// are.
class SlotFtpFiles : public FtpRemoteFiles {
 public:
  SlotFtpFiles(ftp::TIdFTP& client, std::shared_ptr<void> keep, TransferMode type)
      : FtpRemoteFiles(client), keep_(std::move(keep)), type_(type) {}

  void Upload(const std::string& local_path, const std::string& remote_path,
              const ByteProgress& progress) override {
    if (type_ == TransferMode::kBinary) {
      FtpRemoteFiles::Upload(local_path, remote_path, progress);
      return;
    }
    ftp::TIdFTP& ftp = Client();
    const ftp::TWorkEvent saved = ftp.OnWork;
    if (progress)
      ftp.OnWork = [progress](ftp::TIdTCPConnection&, ftp::TWorkMode, int64_t count) {
        progress(count, 0);
      };
    try {
      ftp.SetTransferType(FtpTransferType(type_));
      ftp.Upload(local_path, remote_path);
    } catch (...) {
      ftp.OnWork = saved;
      RethrowAsRemoteError();
    }
    ftp.OnWork = saved;
  }

 private:
  std::shared_ptr<void> keep_;  // null: the owner's connection
  TransferMode type_;
};

}  // namespace

std::string FtpSide::ServerText() const { return ftp_.Host + ":" + std::to_string(ftp_.Port); }

bool FtpSide::Disconnect() {
  ftp_.Disconnect();
  return false;
}

void FtpSide::List(const ListingReports& out, size_t batch_rows) {
  const std::string folder = ftp_.CurrentDirectory();
  out.folder(folder, session_.Names);
  try {
    ftp_.ListEntries({}, /*hidden=*/true, /*probe=*/false);
  } catch (...) {
    // The folder may have changed under the rows shown: a row left there
    // would download or delete a file of the same name in the new one.
    out.failed();
    throw;
  }
  out.started(session_.Names, ftp_.ListingText().size());
  // The names may turn out to be UTF-8; the rows are shown by the
  // encoding settled once the whole listing has been read.
  Utf8NameVote vote;
  const size_t unread =
      ReadListingInBatches(ftp_, batch_rows, [&](std::vector<RemoteListEntry>&& batch) {
        for (const auto& e : batch) vote.Add(e.FileName);
        out.batch(std::move(batch), {});
      });
  session_.NoteListedNames(vote);
  ftp_.ReleaseListing();  // the rows have all the owner needs
  ListingEnd end;
  end.folder = folder;
  end.names = session_.Names;
  end.unread = unread;
  end.relabel = true;
  out.ended(std::move(end));
}

LoginLikeness FtpSide::Likeness() const {
  LoginLikeness like;
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

void FtpSide::LogInLike(const LoginLikeness& like, const SlotLogin& login) {
  ftp_.Passive = like.passive;
  ftp_.DataMode = like.data_mode;
  login.WhileStoppable([this] { ftp_.Cancel(); },
                       [&] {
                         try {
                           session_.Connect(like.host_field, like.user, like.password,
                                            login.start_folder, login.encoding);
                         } catch (...) {
                           RethrowAsRemoteError();
                         }
                       });
}

void FtpSide::Goodbye() {
  if (!ftp_.Connected()) return;
  try {
    ftp_.Disconnect();
  } catch (...) {
  }
}

std::unique_ptr<RemoteFiles> FtpSide::WarmSlotFiles(TransferMode upload_type) {
  // Once Escape has cancelled it or the line has cut it, a fresh one stands
  // in (to open the slot again, or to clean up after the cancel).
  if (!ftp_.Connected() || ftp_.CancelFired()) return nullptr;
  return std::make_unique<SlotFtpFiles>(ftp_, nullptr, upload_type);
}

std::unique_ptr<RemoteFiles> FtpSide::SlotFiles(std::shared_ptr<void> keep,
                                                TransferMode upload_type) {
  return std::make_unique<SlotFtpFiles>(ftp_, std::move(keep), upload_type);
}

}  // namespace hemlo::transfer
