#include "remote/sftp_remote_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>

#include "ftp/id_ftp.h"

namespace hemlo::transfer {

namespace {

[[noreturn]] void LocalFailure(const std::string& what, const std::string& path, int error) {
  throw remote::LocalFileError(what + "「" + path + "」: " + std::strerror(error));
}

// Closes a file descriptor when the scope ends.
struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

// The remote file system together with the client it runs over.
class OwningSftpRemoteFiles : public SftpRemoteFiles {
 public:
  explicit OwningSftpRemoteFiles(std::unique_ptr<sftp::SftpClient> client)
      : SftpRemoteFiles(*client), client_(std::move(client)) {}

 private:
  std::unique_ptr<sftp::SftpClient> client_;
};

}  // namespace

std::unique_ptr<SftpRemoteFiles> ConnectSftpRemoteFiles(
    const sftp::ConnectOptions& options, const sftp::ConnectQuestions& questions,
    const std::string& start_folder,
    const std::function<void(std::function<void()>)>& cancel_with) {
  auto client = std::make_unique<sftp::SftpClient>();
  if (cancel_with) cancel_with([c = client.get()] { c->Cancel(); });
  try {
    client->Connect(options, questions);
  } catch (...) {
    if (cancel_with) cancel_with(nullptr);
    throw;
  }
  if (cancel_with) cancel_with(nullptr);
  auto files = std::make_unique<OwningSftpRemoteFiles>(std::move(client));
  if (!start_folder.empty()) files->ChangeFolder(start_folder);
  return files;
}

RemoteFact FactOf(const sftp::DirEntry& entry) {
  RemoteFact fact;
  fact.name = entry.name;
  const sftp::Attributes& a = entry.attrs;
  if (a.IsFolder()) {
    fact.kind = RemoteFact::Kind::kFolder;
  } else if (a.IsLink()) {
    fact.kind = RemoteFact::Kind::kLink;
  } else if (a.IsRegular() || !(a.flags & sftp::Attributes::kPermissions)) {
    fact.kind = RemoteFact::Kind::kFile;
  } else {
    fact.kind = RemoteFact::Kind::kOther;
  }
  if (a.flags & sftp::Attributes::kSize) fact.size = int64_t(a.size);
  if (a.flags & sftp::Attributes::kTimes) fact.modified_utc = int64_t(a.mtime);
  if (a.flags & sftp::Attributes::kPermissions)
    fact.permissions = sftp::PermissionText(a.permissions);
  fact.link_target = entry.link_target;
  return fact;
}

std::string SftpRemoteFiles::Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  const std::string base = CurrentFolder();
  if (path.empty() || path == ".") return base;
  return base == "/" ? "/" + path : base + "/" + path;
}

std::string SftpRemoteFiles::CurrentFolder() {
  if (current_.empty()) current_ = client_.RealPath(".");
  return current_;
}

void SftpRemoteFiles::ChangeFolder(const std::string& path) {
  const std::string target = client_.RealPath(Absolute(path));
  if (!client_.Stat(target).IsFolder()) {
    throw remote::Refused("フォルダではありません「" + path + "」");
  }
  current_ = target;
}

sftp::ListLimits SftpRemoteFiles::ListingCaps() {
  return {size_t(ftp::kMaxListingLines), uint64_t(ftp::kMaxListingBytes)};
}

bool SftpRemoteFiles::ListInBatches(const std::string& folder, size_t batch,
                                    const std::function<void(std::vector<RemoteFact>&&)>& sink) {
  return client_.ReadDir(Absolute(folder), limits_, batch,
                         [&sink](std::vector<sftp::DirEntry>&& entries) {
                           std::vector<RemoteFact> facts;
                           facts.reserve(entries.size());
                           for (const sftp::DirEntry& e : entries) facts.push_back(FactOf(e));
                           entries = {};  // before the sink takes the facts
                           sink(std::move(facts));
                         });
}

std::vector<RemoteFact> SftpRemoteFiles::List(const std::string& folder) {
  std::vector<RemoteFact> facts;
  const bool whole = ListInBatches(folder, 10'000, [&facts](std::vector<RemoteFact>&& batch) {
    if (facts.empty())
      facts = std::move(batch);
    else
      std::move(batch.begin(), batch.end(), std::back_inserter(facts));
  });
  if (!whole) throw remote::RemoteError(ftp::EIdListingTooLarge().what());
  return facts;
}

void SftpRemoteFiles::MakeFolder(const std::string& path) { client_.MakeDir(Absolute(path)); }

namespace {

void SendFile(sftp::SftpClient& client, const std::string& local_path, const std::string& remote,
              const ByteProgress& progress) {
  Fd in{::open(local_path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (in.fd < 0) LocalFailure("ローカルのファイルを開けません", local_path, errno);
  // Size and time before and after the read: a file written meanwhile
  // would go torn, and is refused instead.
  const auto before = StampOfOpen(in.fd);
  const int64_t size = before ? before->size : -1;
  try {
    client.Upload(in.fd, size, remote, progress);
  } catch (...) {
    if (remote::IsRefusal(std::current_exception()))
      RefuseIfChanged(local_path, before, StampOfOpen(in.fd));
    throw;
  }
  RefuseIfChanged(local_path, before, StampOfOpen(in.fd));
}

}  // namespace

void SftpRemoteFiles::Upload(const std::string& local_path, const std::string& remote_path,
                             const ByteProgress& progress) {
  SendFile(client_, local_path, Absolute(remote_path), progress);
}

void SftpRemoteFiles::UploadReplacing(const std::string& local_path,
                                      const std::string& remote_path,
                                      const std::string& temporary, const ByteProgress& progress) {
  std::string target = Absolute(remote_path);
  std::optional<sftp::Attributes> old;
  try {
    old = client_.LStat(target);
    // Through a link to the file it names, which is what gets replaced.
    if (old->IsLink()) {
      target = client_.RealPath(target);
      old = client_.Stat(target);
    }
  } catch (...) {
    if (!remote::IsRefusal(std::current_exception())) throw;
    if (old) {  // a link to nothing: written through as before
      SendFile(client_, local_path, target, progress);
      return;
    }
  }
  if (old && !old->IsRegular()) {  // a folder or a device: refused or written as before
    SendFile(client_, local_path, target, progress);
    return;
  }
  // What the server would not let us write stays as it is.
  if (old) client_.ProbeWritable(target);
  const std::string temp = target.substr(0, target.rfind('/') + 1) + temporary;
  try {
    SendFile(client_, local_path, temp, progress);
    if (old && (old->flags & sftp::Attributes::kPermissions)) {
      sftp::Attributes modes;
      modes.flags = sftp::Attributes::kPermissions;
      modes.permissions = old->permissions & 07777;
      try {
        client_.SetStat(temp, modes);
      } catch (...) {
        // A server that sets no modes still takes the file.
        if (!remote::IsRefusal(std::current_exception())) throw;
      }
    }
    client_.Rename(temp, target);
  } catch (...) {
    // The part that arrived goes; a broken connection leaves it for the
    // site sync, which removes such temporaries.
    if (client_.Connected()) {
      try {
        client_.Remove(temp);
      } catch (...) {
      }
    }
    throw;
  }
}

std::optional<int64_t> SftpRemoteFiles::FileSize(const std::string& path) {
  sftp::Attributes a;
  try {
    a = client_.Stat(Absolute(path));
  } catch (...) {
    if (!remote::IsRefusal(std::current_exception())) throw;
    return -1;
  }
  if (!(a.flags & sftp::Attributes::kSize)) return std::nullopt;
  return int64_t(a.size);
}

void SftpRemoteFiles::Download(const std::string& remote_path, const std::string& local_path,
                               const ByteProgress& progress) {
  // The bytes land in a temporary file beside the target, which takes its
  // place only once all of them are there.
  std::string temp = local_path + ".part-XXXXXX";
  Fd out{::mkostemp(temp.data(), O_CLOEXEC)};
  if (out.fd < 0) LocalFailure("ローカルのファイルを作れません", local_path, errno);
  try {
    // A file already there keeps its modes, as over FTP.
    struct stat st {};
    if (::stat(local_path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      ::fchmod(out.fd, st.st_mode & 07777);
    } else {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      ::fchmod(out.fd, 0666 & ~mask);
    }
    client_.Download(Absolute(remote_path), out.fd, progress);
    if (::fsync(out.fd) != 0 || ::close(out.fd) != 0) {
      out.fd = -1;
      LocalFailure("ローカルのファイルに書けません", local_path, errno);
    }
    out.fd = -1;
    if (::rename(temp.c_str(), local_path.c_str()) != 0) {
      LocalFailure("ローカルのファイルを置き換えられません", local_path, errno);
    }
  } catch (...) {
    ::unlink(temp.c_str());
    throw;
  }
}

void SftpRemoteFiles::Rename(const std::string& from, const std::string& to) {
  client_.Rename(Absolute(from), Absolute(to));
}

void SftpRemoteFiles::RenamePlain(const std::string& from, const std::string& to) {
  client_.Rename(Absolute(from), Absolute(to), /*replace=*/false);
}

void SftpRemoteFiles::DeleteFile(const std::string& path) { client_.Remove(Absolute(path)); }

void SftpRemoteFiles::RemoveFolder(const std::string& path) { client_.RemoveDir(Absolute(path)); }

void SftpRemoteFiles::SetMode(const std::string& path, unsigned mode) {
  sftp::Attributes a;
  a.flags = sftp::Attributes::kPermissions;
  a.permissions = mode & 07777;
  client_.SetStat(Absolute(path), a);
}

bool SftpRemoteFiles::SetModified(const std::string& path, int64_t utc_seconds) {
  sftp::Attributes a;
  a.flags = sftp::Attributes::kTimes;
  a.atime = a.mtime = uint32_t(utc_seconds);
  client_.SetStat(Absolute(path), a);
  return true;
}

}  // namespace hemlo::transfer
