#include "sftp/sftp_client.h"

#include <libssh2.h>
#include <libssh2_sftp.h>

#include <algorithm>
#include <string_view>

#include "base/remote_errors.h"

namespace hemlo::sftp {

namespace {

std::string Reason(unsigned long code) {
  switch (code) {
    case LIBSSH2_FX_EOF:
      return "ファイルの終わりです";
    case LIBSSH2_FX_NO_SUCH_FILE:
    case LIBSSH2_FX_NO_SUCH_PATH:
      return "見つかりません";
    case LIBSSH2_FX_PERMISSION_DENIED:
      return "権限がありません";
    case LIBSSH2_FX_FAILURE:
      return "サーバが実行できませんでした";
    case LIBSSH2_FX_BAD_MESSAGE:
      return "サーバが要求を理解できませんでした";
    case LIBSSH2_FX_OP_UNSUPPORTED:
      return "サーバがこの操作に対応していません";
    default:
      return "エラー " + std::to_string(code);
  }
}

Attributes FromLibrary(const LIBSSH2_SFTP_ATTRIBUTES& a) {
  Attributes out;
  if (a.flags & LIBSSH2_SFTP_ATTR_SIZE) {
    out.flags |= Attributes::kSize;
    out.size = a.filesize;
  }
  if (a.flags & LIBSSH2_SFTP_ATTR_UIDGID) {
    out.flags |= Attributes::kUidGid;
    out.uid = uint32_t(a.uid);
    out.gid = uint32_t(a.gid);
  }
  if (a.flags & LIBSSH2_SFTP_ATTR_PERMISSIONS) {
    out.flags |= Attributes::kPermissions;
    out.permissions = uint32_t(a.permissions);
  }
  if (a.flags & LIBSSH2_SFTP_ATTR_ACMODTIME) {
    out.flags |= Attributes::kTimes;
    out.atime = uint32_t(a.atime);
    out.mtime = uint32_t(a.mtime);
  }
  return out;
}

LIBSSH2_SFTP_ATTRIBUTES ToLibrary(const Attributes& a) {
  LIBSSH2_SFTP_ATTRIBUTES out{};
  if (a.flags & Attributes::kSize) {
    out.flags |= LIBSSH2_SFTP_ATTR_SIZE;
    out.filesize = a.size;
  }
  if (a.flags & Attributes::kUidGid) {
    out.flags |= LIBSSH2_SFTP_ATTR_UIDGID;
    out.uid = a.uid;
    out.gid = a.gid;
  }
  if (a.flags & Attributes::kPermissions) {
    out.flags |= LIBSSH2_SFTP_ATTR_PERMISSIONS;
    out.permissions = a.permissions;
  }
  if (a.flags & Attributes::kTimes) {
    out.flags |= LIBSSH2_SFTP_ATTR_ACMODTIME;
    out.atime = a.atime;
    out.mtime = a.mtime;
  }
  return out;
}

// Paths and names come back in buffers of this size.
constexpr size_t kNameBuffer = 4096;

}  // namespace

std::string PermissionText(uint32_t mode) {
  std::string s = "rwxrwxrwx";
  for (int i = 0; i < 9; ++i) {
    if (!(mode & (0400u >> i))) s[i] = '-';
  }
  if (mode & 04000) s[2] = (mode & 0100) ? 's' : 'S';
  if (mode & 02000) s[5] = (mode & 010) ? 's' : 'S';
  if (mode & 01000) s[8] = (mode & 01) ? 't' : 'T';
  return s;
}

LoginMethod SftpClient::Connect(const ConnectOptions& options, const ConnectQuestions& questions) {
  options_ = options;
  return ssh_.Open(options, questions);
}

void SftpClient::Failed(int rc, const char* what, const std::string& path) {
  if (rc == LIBSSH2_ERROR_SFTP_PROTOCOL && ssh_.Sftp()) {
    throw remote::Refused(std::string(what) + "「" + path +
                            "」: " + Reason(libssh2_sftp_last_error(ssh_.Sftp())));
  }
  ssh_.Lost(ssh_.LastError());
}

int SftpClient::Run(const std::function<int()>& call, const char* what) {
  if (!ssh_.Sftp()) throw remote::ConnectionLost("SFTP の接続がありません");
  int rc = 0;
  ssh_.Drive(
      [&] {
        rc = call();
        return rc != LIBSSH2_ERROR_EAGAIN;
      },
      Timeout(), what);
  return rc;
}

LIBSSH2_SFTP_HANDLE* SftpClient::OpenHandle(const std::function<LIBSSH2_SFTP_HANDLE*()>& open,
                                            const char* what, const std::string& path) {
  if (!ssh_.Sftp()) throw remote::ConnectionLost("SFTP の接続がありません");
  LIBSSH2_SFTP_HANDLE* handle = nullptr;
  ssh_.Drive(
      [&] {
        handle = open();
        return handle || !ssh_.Again();
      },
      Timeout(), what);
  if (!handle) Failed(ssh_.LastErrno(), what, path);
  ssh_.Opened(handle);
  return handle;
}

void SftpClient::CloseHandle(LIBSSH2_SFTP_HANDLE* handle, bool report, const char* what,
                             const std::string& path) {
  // Any answer but "again" means the library has freed the handle.
  const auto close = [&] {
    const int rc = libssh2_sftp_close_handle(handle);
    if (rc != LIBSSH2_ERROR_EAGAIN) ssh_.Forget(handle);
    return rc;
  };
  if (!report) {
    try {
      Run(close, what);
    } catch (const remote::RemoteError&) {
      // Gone with the connection, or refused: nothing left to keep.
    }
    return;
  }
  const int rc = Run(close, what);
  if (rc < 0) Failed(rc, what, path);
}

void SftpClient::ProbeWritable(const std::string& path) {
  LIBSSH2_SFTP_HANDLE* handle = OpenHandle(
      [&] {
        return libssh2_sftp_open_ex(ssh_.Sftp(), path.data(), unsigned(path.size()),
                                    LIBSSH2_FXF_WRITE, 0, LIBSSH2_SFTP_OPENFILE);
      },
      "ファイルを作れません", path);
  CloseHandle(handle, false, "ファイルを閉じられません", path);
}

std::string SftpClient::RealPath(const std::string& path) {
  std::string target(kNameBuffer, '\0');
  const int rc = Run(
      [&] {
        return libssh2_sftp_symlink_ex(ssh_.Sftp(), path.data(), unsigned(path.size()),
                                       target.data(), unsigned(target.size()),
                                       LIBSSH2_SFTP_REALPATH);
      },
      "フォルダ");
  if (rc < 0) Failed(rc, "フォルダを開けません", path);
  target.resize(size_t(rc));
  return target;
}

Attributes SftpClient::Stat(const std::string& path) {
  LIBSSH2_SFTP_ATTRIBUTES a{};
  const int rc = Run(
      [&] {
        return libssh2_sftp_stat_ex(ssh_.Sftp(), path.data(), unsigned(path.size()),
                                    LIBSSH2_SFTP_STAT, &a);
      },
      "情報");
  if (rc < 0) Failed(rc, "情報を読めません", path);
  return FromLibrary(a);
}

Attributes SftpClient::LStat(const std::string& path) {
  LIBSSH2_SFTP_ATTRIBUTES a{};
  const int rc = Run(
      [&] {
        return libssh2_sftp_stat_ex(ssh_.Sftp(), path.data(), unsigned(path.size()),
                                    LIBSSH2_SFTP_LSTAT, &a);
      },
      "情報");
  if (rc < 0) Failed(rc, "情報を読めません", path);
  return FromLibrary(a);
}

std::string SftpClient::ReadLink(const std::string& link) {
  std::string target(kNameBuffer, '\0');
  const int rc = Run(
      [&] {
        return libssh2_sftp_symlink_ex(ssh_.Sftp(), link.data(), unsigned(link.size()),
                                       target.data(), unsigned(target.size()),
                                       LIBSSH2_SFTP_READLINK);
      },
      "リンク");
  // An unreadable link keeps an empty target.
  if (rc < 0 && rc != LIBSSH2_ERROR_SFTP_PROTOCOL) Failed(rc, "リンクを読めません", link);
  target.resize(rc > 0 ? size_t(rc) : 0);
  return target;
}

bool SftpClient::ReadDir(const std::string& path, const ListLimits& limits, size_t batch,
                         const std::function<void(std::vector<DirEntry>&&)>& sink) {
  LIBSSH2_SFTP_HANDLE* handle = OpenHandle(
      [&] {
        return libssh2_sftp_open_ex(ssh_.Sftp(), path.data(), unsigned(path.size()), 0, 0,
                                    LIBSSH2_SFTP_OPENDIR);
      },
      "フォルダを開けません", path);
  const std::string prefix = path.empty() || path.back() == '/' ? path : path + "/";
  const size_t step = std::max<size_t>(batch, 1);
  std::vector<DirEntry> entries;
  size_t count = 0;
  uint64_t handed = 0;   // bytes of the names and targets handed over
  uint64_t pending = 0;  // bytes of the names in `entries`
  bool whole = true;
  // The batch's links' targets (a round trip each), then the batch goes,
  // ended before the entry whose name or target crosses the byte bound.
  const auto hand_over = [&] {
    for (size_t i = 0; i < entries.size(); ++i) {
      DirEntry& e = entries[i];
      if (e.attrs.IsLink()) e.link_target = ReadLink(prefix + e.name);
      handed += e.name.size() + e.link_target.size();
      if (handed > limits.bytes) {
        entries.resize(i);
        whole = false;
      }
    }
    pending = 0;
    if (!entries.empty()) sink(std::move(entries));
    entries.clear();
  };
  try {
    std::string name(kNameBuffer, '\0');
    for (;;) {
      LIBSSH2_SFTP_ATTRIBUTES a{};
      const int rc = Run(
          [&] { return libssh2_sftp_readdir_ex(handle, name.data(), name.size(), nullptr, 0, &a); },
          "フォルダ");
      if (rc < 0) Failed(rc, "フォルダを読めません", path);
      if (rc == 0) break;
      const std::string_view read(name.data(), size_t(rc));
      if (read == "." || read == "..") continue;
      if (count == limits.entries || handed + pending + read.size() > limits.bytes) {
        whole = false;
        break;
      }
      ++count;
      pending += read.size();
      entries.push_back({std::string(read), FromLibrary(a), {}});
      if (entries.size() == step) hand_over();
      if (!whole) break;
    }
    hand_over();
  } catch (const remote::ConnectionLost&) {
    throw;
  } catch (...) {
    CloseHandle(handle, false, "フォルダを閉じられません", path);
    throw;
  }
  CloseHandle(handle, true, "フォルダを閉じられません", path);
  return whole;
}

void SftpClient::MakeDir(const std::string& path) {
  // The server's umask shapes the mode, as for a folder made there.
  const int rc = Run(
      [&] { return libssh2_sftp_mkdir_ex(ssh_.Sftp(), path.data(), unsigned(path.size()), 0777); },
      "フォルダ");
  if (rc < 0) Failed(rc, "フォルダを作れません", path);
}

void SftpClient::RemoveDir(const std::string& path) {
  const int rc =
      Run([&] { return libssh2_sftp_rmdir_ex(ssh_.Sftp(), path.data(), unsigned(path.size())); },
          "フォルダ");
  if (rc < 0) Failed(rc, "フォルダを削除できません", path);
}

void SftpClient::Remove(const std::string& path) {
  const int rc =
      Run([&] { return libssh2_sftp_unlink_ex(ssh_.Sftp(), path.data(), unsigned(path.size())); },
          "削除");
  if (rc < 0) Failed(rc, "ファイルを削除できません", path);
}

void SftpClient::Rename(const std::string& from, const std::string& to, bool replace) {
  const auto rename = [&] {
    return Run(
        [&] {
          return libssh2_sftp_rename_ex(ssh_.Sftp(), from.data(), unsigned(from.size()), to.data(),
                                        unsigned(to.size()),
                                        LIBSSH2_SFTP_RENAME_OVERWRITE | LIBSSH2_SFTP_RENAME_ATOMIC |
                                            LIBSSH2_SFTP_RENAME_NATIVE);
        },
        "名前の変更");
  };
  int rc = rename();
  const unsigned long refusal = ssh_.Sftp() ? libssh2_sftp_last_error(ssh_.Sftp()) : 0;
  // Servers of the protocol's version 3 refuse an existing target: the old
  // one goes first, then the rename is asked again.
  if (rc == LIBSSH2_ERROR_SFTP_PROTOCOL && replace) {
    bool removed = false;
    try {
      if (!LStat(to).IsFolder()) {
        Remove(to);
        removed = true;
      }
    } catch (const remote::ConnectionLost&) {
      throw;
    } catch (const remote::Cancelled&) {
      throw;
    } catch (const remote::RemoteError&) {
      // Nothing at `to` (or not removable): the first refusal says why.
    }
    if (!removed)
      throw remote::Refused("名前を変更できません「" + from + "」: " + Reason(refusal));
    rc = rename();
  }
  if (rc < 0) Failed(rc, "名前を変更できません", from);
}

void SftpClient::SetStat(const std::string& path, const Attributes& attrs) {
  LIBSSH2_SFTP_ATTRIBUTES a = ToLibrary(attrs);
  const int rc = Run(
      [&] {
        return libssh2_sftp_stat_ex(ssh_.Sftp(), path.data(), unsigned(path.size()),
                                    LIBSSH2_SFTP_SETSTAT, &a);
      },
      "属性");
  if (rc < 0) Failed(rc, "属性を変更できません", path);
}

}  // namespace hemlo::sftp
