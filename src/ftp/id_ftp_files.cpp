#include "ftp/id_ftp.h"
#include "ftp/id_ftp_internal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hemlo::ftp {

using detail::ErrnoText;
using detail::FileDescriptor;
using detail::kTransferInCodes;
using detail::kTransferOutCodes;

namespace {

void WriteAllToFile(int fd, const char* p, size_t n, const std::string& path) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      throw EIdFTPLocalFileError("ファイル「" + path + "」に書き込めませんでした。" + ErrnoText());
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
}

mode_t CurrentUmask() {
  mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// The download's destination while it runs: a file beside the target,
// renamed over it only once the transfer has succeeded.
class PendingDownload {
 public:
  PendingDownload(const std::string& target, bool keep_existing, mode_t mode)
      : target_(target), mode_(mode) {
    std::string dir = ".", base = target;
    size_t slash = target.rfind('/');
    if (slash != std::string::npos) {
      dir = slash == 0 ? "/" : target.substr(0, slash);
      base = target.substr(slash + 1);
    }
    if (base.size() > 200) base = "download";
    std::string tmpl = dir + "/." + base + ".part-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0)
      throw EIdFTPLocalFileError("ファイル「" + tmpl + "」を作成できませんでした。" + ErrnoText());
    fd_.Reset(fd);
    temp_.assign(name.data());
    if (keep_existing) CopyExisting();
  }
  ~PendingDownload() {
    if (!committed_) {
      fd_.Close();
      ::unlink(temp_.c_str());
    }
  }
  int fd() const { return fd_.get(); }
  const std::string& temp_path() const { return temp_; }

  void Commit() {
    ::fchmod(fd_.get(), mode_);
    if (!fd_.Close())
      throw EIdFTPLocalFileError("ファイル「" + target_ + "」に書き込めませんでした。" +
                                 ErrnoText());
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
      throw EIdFTPLocalFileError("ファイル「" + target_ + "」を置き換えられませんでした。" +
                                 ErrnoText());
    committed_ = true;
  }

 private:
  void CopyExisting() {
    FileDescriptor in(::open(target_.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
      throw EIdFTPLocalFileError("ファイル「" + target_ + "」を開けませんでした。" + ErrnoText());
    std::vector<char> buf(1 << 16);
    for (;;) {
      ssize_t r = ::read(in.get(), buf.data(), buf.size());
      if (r < 0 && errno == EINTR) continue;
      if (r < 0)
        throw EIdFTPLocalFileError("ファイル「" + target_ + "」を読み込めませんでした。" +
                                   ErrnoText());
      if (r == 0) break;
      WriteAllToFile(fd_.get(), buf.data(), static_cast<size_t>(r), temp_);
    }
  }

  std::string target_;
  std::string temp_;
  mode_t mode_;
  FileDescriptor fd_;
  bool committed_ = false;
};

}  // namespace

void TIdFTP::Download(const std::string& remote_name, const std::string& local_path, bool overwrite,
                      bool resume) {
  if (HasLineBreak(remote_name)) throw EIdIllegalCommandText();
  struct stat st {};
  const bool exists = ::stat(local_path.c_str(), &st) == 0;
  int64_t rest = 0;
  bool keep_existing = false;
  if (exists) {
    const bool resume_counts = resume && ResumeSupported();
    if (overwrite && !resume_counts) {
      // replaced as a whole
    } else if (!overwrite && resume_counts) {
      keep_existing = true;
      rest = st.st_size;
    } else {
      throw EIdFTPFileAlreadyExists();
    }
  }

  if (exists && !S_ISREG(st.st_mode)) {
    // A device or pipe (such as /dev/null) is written straight into.
    FileDescriptor out(
        ::open(local_path.c_str(), O_WRONLY | O_CLOEXEC | (keep_existing ? O_APPEND : 0)));
    if (out.get() < 0)
      throw EIdFTPLocalFileError("ファイル「" + local_path + "」を開けませんでした。" +
                                 ErrnoText());
    RunTransfer("RETR " + remote_name, kTransferInCodes, rest, [&] {
      ReceiveAll([&](const char* p, size_t n) { WriteAllToFile(out.get(), p, n, local_path); });
    });
    if (OnAfterGet) OnAfterGet(*this, local_path);
    return;
  }

  const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
  PendingDownload pending(local_path, keep_existing, mode);
  RunTransfer("RETR " + remote_name, kTransferInCodes, rest, [&] {
    ReceiveAll([&](const char* p, size_t n) { WriteAllToFile(pending.fd(), p, n, local_path); });
  });
  pending.Commit();
  if (OnAfterGet) OnAfterGet(*this, local_path);
}

void TIdFTP::Upload(const std::string& local_path, const std::string& remote_name, bool append) {
  if (HasLineBreak(remote_name)) throw EIdIllegalCommandText();
  FileDescriptor in(::open(local_path.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0)
    throw EIdFTPLocalFileError("ファイル「" + local_path + "」を開けませんでした。" + ErrnoText());
  // Make sure the file can be read at all before the server is told to
  // expect it (a folder opens, but reading it fails).
  char probe;
  if (::pread(in.get(), &probe, 1, 0) < 0)
    throw EIdFTPLocalFileError("ファイル「" + local_path + "」を読み込めませんでした。" +
                               ErrnoText());
  std::string command = append                ? "APPE " + remote_name
                        : remote_name.empty() ? "STOU"
                                              : "STOR " + remote_name;
  RunTransfer(command, kTransferOutCodes, 0, [&] { SendFile(in.get()); });
}

}  // namespace hemlo::ftp
