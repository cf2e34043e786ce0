#include "sftp/sftp_client.h"

#include <stdexcept>

#include "ftp/id_exception.h"

namespace hemlo::sftp {

namespace {

// No reply of a sound server comes near this; a longer one means a broken
// stream, not a reason to hold gigabytes.
constexpr size_t kMaxPacket = 4 << 20;

std::string Reason(uint32_t code) {
  switch (code) {
    case kEof:
      return "ファイルの終わりです";
    case kNoSuchFile:
      return "見つかりません";
    case kPermissionDenied:
      return "権限がありません";
    case kFailure:
      return "サーバが実行できませんでした";
    case kBadMessage:
      return "サーバが要求を理解できませんでした";
    case kOpUnsupported:
      return "サーバがこの操作に対応していません";
    default:
      return "エラー " + std::to_string(code);
  }
}

}  // namespace

LoginMethod SftpClient::Connect(const ConnectOptions& options, const ConnectQuestions& questions) {
  options_ = options;
  awaited_.clear();
  replies_.clear();
  consumed_ = 0;
  const LoginMethod method = ssh_.Open(options, questions);
  ssh_.Send(std::move(PacketWriter(kInit).U32(3)).Finish());
  awaited_.insert(0);  // the version reply carries no id
  const std::string version = Await(0);
  try {
    PacketReader in(version);
    if (in.U8() != kVersion) throw std::out_of_range("no version");
    in.U32();
    while (!in.AtEnd()) {
      const std::string name = in.Str();
      in.Str();
      if (name == "posix-rename@openssh.com") posix_rename_ = true;
    }
  } catch (const std::out_of_range&) {
    ssh_.Close();
    throw ftp::EIdConnectionLost("サーバの SFTP の応答が読めません");
  }
  return method;
}

uint32_t SftpClient::Send(PacketType type, const std::function<void(PacketWriter&)>& fields) {
  const uint32_t id = next_id_++;
  if (next_id_ == 0) next_id_ = 1;
  PacketWriter packet(type, id);
  fields(packet);
  ssh_.Send(std::move(packet).Finish());
  awaited_.insert(id);
  return id;
}

void SftpClient::TakeReplies() {
  std::string& input = ssh_.Input();
  for (;;) {
    const std::string_view rest = std::string_view(input).substr(consumed_);
    if (rest.size() >= 4 && PacketReader(rest.substr(0, 4)).U32() > kMaxPacket) {
      ssh_.Close();
      throw ftp::EIdConnectionLost("サーバの SFTP の応答が壊れています");
    }
    const std::optional<size_t> length = WholePacketLength(rest);
    if (!length || *length < 5) break;
    const std::string_view body = rest.substr(4, *length - 4);
    uint32_t id = 0;
    if (uint8_t(body[0]) != kVersion) {
      if (body.size() < 5) {
        ssh_.Close();
        throw ftp::EIdConnectionLost("サーバの SFTP の応答が壊れています");
      }
      id = PacketReader(body.substr(1, 4)).U32();
    }
    if (awaited_.erase(id)) replies_.emplace(id, std::string(body));
    consumed_ += *length;
  }
  // Parsed bytes go once they are a good share of the buffer, so a long
  // transfer neither copies the buffer for each packet nor lets it grow.
  if (consumed_ == input.size()) {
    input.clear();
    consumed_ = 0;
  } else if (consumed_ > (1u << 20) && consumed_ * 2 > input.size()) {
    input.erase(0, consumed_);
    consumed_ = 0;
  }
}

std::string SftpClient::Await(uint32_t id) {
  TakeReplies();
  if (!replies_.count(id)) {
    try {
      ssh_.Exchange(
          [&] {
            TakeReplies();
            return replies_.count(id) > 0;
          },
          options_.reply_timeout_ms);
    } catch (...) {
      Forget({id});
      throw;
    }
  }
  auto it = replies_.find(id);
  std::string body = std::move(it->second);
  replies_.erase(it);
  return body;
}

void SftpClient::AwaitAny() {
  const size_t before = replies_.size();
  TakeReplies();
  if (replies_.size() > before || !replies_.empty()) return;
  ssh_.Exchange(
      [&] {
        TakeReplies();
        return !replies_.empty();
      },
      options_.reply_timeout_ms);
}

void SftpClient::Forget(const std::vector<uint32_t>& ids) {
  for (uint32_t id : ids) {
    awaited_.erase(id);
    replies_.erase(id);
  }
}

void SftpClient::Refused(PacketReader& status, const char* what, const std::string& path) {
  const uint32_t code = status.U32();
  std::string server;
  try {
    server = status.Str();
  } catch (const std::out_of_range&) {
  }
  std::string text = std::string(what) + "「" + path + "」: " + Reason(code);
  if (!server.empty()) text += " (" + server + ")";
  throw ftp::EIdException(text);
}

void SftpClient::ExpectOk(uint32_t id, const char* what, const std::string& path) {
  const std::string body = Await(id);
  PacketReader in(body);
  try {
    in.U8();
    in.U32();
    if (uint8_t(body[0]) != kStatus) throw std::out_of_range("not a status");
    if (PacketReader(body.substr(5, 4)).U32() == kOk) return;
    Refused(in, what, path);
  } catch (const std::out_of_range&) {
    ssh_.Close();
    throw ftp::EIdConnectionLost("サーバの SFTP の応答が壊れています");
  }
}

std::string SftpClient::Handle(uint32_t id, const char* what, const std::string& path) {
  const std::string body = Await(id);
  try {
    PacketReader in(body);
    const uint8_t type = in.U8();
    in.U32();
    if (type == kHandle) return in.Str();
    if (type == kStatus) Refused(in, what, path);
    throw std::out_of_range("unexpected reply");
  } catch (const std::out_of_range&) {
    ssh_.Close();
    throw ftp::EIdConnectionLost("サーバの SFTP の応答が壊れています");
  }
}

void SftpClient::CloseHandle(const std::string& handle, bool wait) {
  const uint32_t id = Send(kClose, [&](PacketWriter& p) { p.Str(handle); });
  if (wait) {
    ExpectOk(id, "ファイルを閉じられません", "");
  } else {
    Forget({id});  // leaves with the next exchange; its answer is dropped
  }
}

std::string SftpClient::RealPath(const std::string& path) {
  const std::string body = Await(Send(kRealpath, [&](PacketWriter& p) { p.Str(path); }));
  try {
    PacketReader in(body);
    const uint8_t type = in.U8();
    in.U32();
    if (type == kStatus) Refused(in, "フォルダを開けません", path);
    if (type != kName || in.U32() < 1) throw std::out_of_range("no name");
    return in.Str();
  } catch (const std::out_of_range&) {
    ssh_.Close();
    throw ftp::EIdConnectionLost("サーバの SFTP の応答が壊れています");
  }
}

namespace {
Attributes AttrsReply(const std::string& body, const std::function<void(PacketReader&)>& refused) {
  PacketReader in(body);
  const uint8_t type = in.U8();
  in.U32();
  if (type == kStatus) refused(in);
  if (type != kAttrs) throw std::out_of_range("no attributes");
  return in.Attrs();
}
}  // namespace

Attributes SftpClient::Stat(const std::string& path) {
  const std::string body = Await(Send(kStat, [&](PacketWriter& p) { p.Str(path); }));
  try {
    return AttrsReply(body, [&](PacketReader& in) { Refused(in, "情報を読めません", path); });
  } catch (const std::out_of_range&) {
    ssh_.Close();
    throw ftp::EIdConnectionLost("サーバの SFTP の応答が壊れています");
  }
}

Attributes SftpClient::LStat(const std::string& path) {
  const std::string body = Await(Send(kLstat, [&](PacketWriter& p) { p.Str(path); }));
  try {
    return AttrsReply(body, [&](PacketReader& in) { Refused(in, "情報を読めません", path); });
  } catch (const std::out_of_range&) {
    ssh_.Close();
    throw ftp::EIdConnectionLost("サーバの SFTP の応答が壊れています");
  }
}

std::vector<DirEntry> SftpClient::ReadDir(const std::string& path) {
  const std::string handle =
      Handle(Send(kOpendir, [&](PacketWriter& p) { p.Str(path); }), "フォルダを開けません", path);
  std::vector<DirEntry> entries;
  try {
    for (;;) {
      const std::string body = Await(Send(kReaddir, [&](PacketWriter& p) { p.Str(handle); }));
      PacketReader in(body);
      const uint8_t type = in.U8();
      in.U32();
      if (type == kStatus) {
        if (PacketReader(body.substr(5, 4)).U32() == kEof) break;
        Refused(in, "フォルダを読めません", path);
      }
      if (type != kName) throw std::out_of_range("no names");
      for (uint32_t n = in.U32(); n > 0; --n) {
        DirEntry e;
        e.name = in.Str();
        in.StrView();  // the long form, for people
        e.attrs = in.Attrs();
        if (e.name != "." && e.name != "..") entries.push_back(std::move(e));
      }
    }
  } catch (const std::out_of_range&) {
    ssh_.Close();
    throw ftp::EIdConnectionLost("サーバの SFTP の応答が壊れています");
  } catch (const ftp::EIdConnectionLost&) {
    throw;
  } catch (...) {
    CloseHandle(handle, false);
    throw;
  }
  CloseHandle(handle, true);

  // Link targets, all asked at once.
  const std::string prefix = path.empty() || path.back() == '/' ? path : path + "/";
  std::vector<std::pair<uint32_t, DirEntry*>> links;
  for (DirEntry& e : entries) {
    if (e.attrs.IsLink()) {
      links.emplace_back(Send(kReadlink, [&](PacketWriter& p) { p.Str(prefix + e.name); }), &e);
    }
  }
  for (auto& [id, entry] : links) {
    const std::string body = Await(id);
    PacketReader in(body);
    try {
      if (in.U8() == kName && (in.U32(), in.U32()) >= 1) entry->link_target = in.Str();
    } catch (const std::out_of_range&) {
      // An unreadable link keeps an empty target.
    }
  }
  return entries;
}

void SftpClient::MakeDir(const std::string& path) {
  ExpectOk(Send(kMkdir, [&](PacketWriter& p) { p.Str(path).Attrs({}); }), "フォルダを作れません",
           path);
}

void SftpClient::RemoveDir(const std::string& path) {
  ExpectOk(Send(kRmdir, [&](PacketWriter& p) { p.Str(path); }), "フォルダを削除できません", path);
}

void SftpClient::Remove(const std::string& path) {
  ExpectOk(Send(kRemove, [&](PacketWriter& p) { p.Str(path); }), "ファイルを削除できません", path);
}

void SftpClient::Rename(const std::string& from, const std::string& to) {
  if (posix_rename_) {
    ExpectOk(Send(kExtended,
                  [&](PacketWriter& p) { p.Str("posix-rename@openssh.com").Str(from).Str(to); }),
             "名前を変更できません", from);
    return;
  }
  // Version 3 renames refuse an existing target: the old one goes first.
  try {
    LStat(to);
    Remove(to);
  } catch (const ftp::EIdConnectionLost&) {
    throw;
  } catch (const ftp::EIdOperationAborted&) {
    throw;
  } catch (const ftp::EIdException&) {
    // Nothing at `to` (or not removable: the rename below says why).
  }
  ExpectOk(Send(kRename, [&](PacketWriter& p) { p.Str(from).Str(to); }), "名前を変更できません",
           from);
}

void SftpClient::SetStat(const std::string& path, const Attributes& attrs) {
  ExpectOk(Send(kSetstat, [&](PacketWriter& p) { p.Str(path).Attrs(attrs); }),
           "属性を変更できません", path);
}

}  // namespace hemlo::sftp
