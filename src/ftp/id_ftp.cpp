#include "ftp/id_ftp.h"

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

struct TIdFTP::DataChannel {
  Socket listener;    // active mode, until the server connects
  Socket connection;  // the data connection itself
};

namespace {

const std::vector<int16_t> kTransferInCodes = {125, 150, 154};
// 110 (a restart marker) only comes in passive mode; accepting it in both
// costs nothing.
const std::vector<int16_t> kTransferOutCodes = {110, 125, 150};

std::string ErrnoText() { return std::strerror(errno); }

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  // Closes now and reports whether the close succeeded.
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

void WriteAllToFile(int fd, const char* p, size_t n, const std::string& path) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      throw EIdFTPLocalFileError("Cannot write file \"" + path + "\". " + ErrnoText());
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
    if (fd < 0) throw EIdFTPLocalFileError("Cannot create file \"" + tmpl + "\". " + ErrnoText());
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
      throw EIdFTPLocalFileError("Cannot write file \"" + target_ + "\". " + ErrnoText());
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
      throw EIdFTPLocalFileError("Cannot replace file \"" + target_ + "\". " + ErrnoText());
    committed_ = true;
  }

 private:
  void CopyExisting() {
    FileDescriptor in(::open(target_.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
      throw EIdFTPLocalFileError("Cannot open file \"" + target_ + "\". " + ErrnoText());
    std::vector<char> buf(1 << 16);
    for (;;) {
      ssize_t r = ::read(in.get(), buf.data(), buf.size());
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) throw EIdFTPLocalFileError("Cannot read file \"" + target_ + "\". " + ErrnoText());
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

// Owns the data channel for one transfer: whatever happens, the channel is
// closed and "Transfer complete" reported when the scope ends.
class TIdFTP::TransferScope {
 public:
  explicit TransferScope(TIdFTP& ftp) : ftp_(ftp) { ftp_.data_ = std::make_unique<DataChannel>(); }
  ~TransferScope() {
    ftp_.data_.reset();
    ftp_.DoStatus(TIdStatus::ftpReady, "Transfer complete");
  }

 private:
  TIdFTP& ftp_;
};

TIdFTP::TIdFTP() = default;
TIdFTP::~TIdFTP() = default;

std::vector<std::string> SplitListingLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  const size_t n = bytes.size();
  while (start < n) {
    size_t i = start;
    while (i < n && bytes[i] != '\r' && bytes[i] != '\n') ++i;
    lines.emplace_back(bytes, start, i - start);
    if (i < n && bytes[i] == '\r' && i + 1 < n && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  return lines;
}

std::string PortArgument(const std::string& ip, uint16_t port) {
  std::string out = ip;
  for (char& c : out)
    if (c == '.') c = ',';
  return out + "," + std::to_string(port / 256) + "," + std::to_string(port % 256);
}

SocketAddress ParsePasvReply(const std::string& text) {
  std::string_view t = TrimControl(text);
  size_t open = t.find('('), close = t.find(')');
  std::string_view fields;
  if (open != std::string_view::npos && close != std::string_view::npos) {
    fields = open < close ? t.substr(open + 1, close - open - 1) : std::string_view();
  } else {
    size_t sp = t.rfind(' ');
    fields = sp == std::string_view::npos ? t : t.substr(sp + 1);
  }
  int64_t v[6];
  for (int i = 0; i < 6; ++i) {
    size_t comma = fields.find(',');
    std::string_view f = TrimControl(fields.substr(0, comma));
    v[i] = ToIntDef(f, -1);
    if (v[i] < 0 || v[i] > 255)
      throw EIdException("'" + std::string(f) + "' is not a valid integer value");
    fields = comma == std::string_view::npos ? std::string_view() : fields.substr(comma + 1);
  }
  SocketAddress a;
  a.ip = std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
         std::to_string(v[3]);
  a.port = static_cast<uint16_t>(v[4] * 256 + v[5]);
  return a;
}

void TIdFTP::SetTransferType(TIdFTPTransferType type) {
  if (type == transfer_type_ || data_) return;
  transfer_type_ = type;
  if (Connected()) SendTransferType();
}

void TIdFTP::SendTransferType() {
  SendCmd(transfer_type_ == TIdFTPTransferType::ftASCII ? "TYPE A" : "TYPE I", {200});
}

void TIdFTP::Connect(bool auto_login, int timeout_ms) {
  CheckNotReentered();
  try {
    if (Connected()) throw EIdAlreadyConnected();
    if (HasLineBreak(Username) || HasLineBreak(Password)) throw EIdIllegalCommandText();
    mode_in_use_ = TIdDataMode::dmAuto;
    epsv_refused_ = false;
    list_hidden_ok_ = true;
    mlst_ = -1;
    disconnect_requested_ = false;
    TIdTCPClient::Connect(timeout_ms);
    GetResponse({220});
    GreetingReply = LastReply;
    if (auto_login) {
      Login();
      if (OnAfterClientLogin) OnAfterClientLogin(*this);
      SendTransferType();
      if (SendCmd("SYST", {200, 215, 500}) == 500) {
        SystemDescription = kUnknownSystem;
      } else {
        SystemDescription = LastReply.Text.empty() ? std::string() : LastReply.Text.front();
      }
      DoStatus(TIdStatus::hsStatusText, "Connection established");
    }
  } catch (const EIdClientBusy&) {
    throw;
  } catch (...) {
    CloseWithoutQuit();
    throw;
  }
}

void TIdFTP::Login() {
  if (SendCmd("USER " + Username, {230, 331}) == 331) SendCmd("PASS " + Password, {230});
  LoginReply = LastReply;
}

void TIdFTP::CloseWithoutQuit() {
  DoStatus(TIdStatus::hsDisconnecting, "Disconnecting.");
  if (data_) {
    data_->connection.Reset();
    data_->listener.Close();
  }
  disconnect_requested_ = false;
  DisconnectSocket();
  DoStatus(TIdStatus::hsDisconnected, "Disconnected.");
}

void TIdFTP::Disconnect() {
  if (InWaitHook()) {
    // A call is under way below us: stop it; it closes on its way out.
    disconnect_requested_ = true;
    abort_requested_ = true;
    return;
  }
  if (Connected()) {
    try {
      WriteLn("QUIT");
    } catch (const EIdException&) {
      // The connection is going away anyway.
    }
  }
  CloseWithoutQuit();
}

void TIdFTP::AbortTransfer() {
  if (InWaitHook()) {
    abort_requested_ = true;
    return;
  }
  struct CloseData {
    TIdFTP& f;
    ~CloseData() {
      if (f.data_) {
        f.data_->connection.Reset();
        f.data_->listener.Close();
      }
    }
  } close_data{*this};
  if (Connected()) WriteLn("ABOR");
}

void TIdFTP::ChangeDirectory(const std::string& path) { SendCmd("CWD " + path, {200, 250}); }
void TIdFTP::ParentDirectory() { SendCmd("CDUP", {200, 250}); }
void TIdFTP::CreateDirectory(const std::string& name) { SendCmd("MKD " + name, {257}); }
void TIdFTP::RemoveDirectory(const std::string& name) { SendCmd("RMD " + name, {250}); }
void TIdFTP::DeleteFile(const std::string& name) { SendCmd("DELE " + name, {250}); }
void TIdFTP::SiteCommand(const std::string& text) { SendCmd("SITE " + text, {200}); }

void TIdFTP::RenameFile(const std::string& old_name, const std::string& new_name) {
  // Both names are checked before RNFR goes out, so a bad new name cannot
  // leave the server waiting for RNTO.
  if (HasLineBreak(old_name) || HasLineBreak(new_name)) throw EIdIllegalCommandText();
  SendCmd("RNFR " + old_name, {350});
  SendCmd("RNTO " + new_name, {250});
}

std::string TIdFTP::CurrentDirectory() {
  SendCmd("PWD", {257});
  if (LastReply.Text.empty()) return {};
  const std::string& line = LastReply.Text.front();
  size_t open = line.find('"');
  if (open == std::string::npos) return {};
  size_t close = line.find('"', open + 1);
  return line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
}

bool TIdFTP::ResumeSupported() {
  if (resume_probe_ < 0) {
    resume_probe_ = SendCmd("REST 1", {}) == 350 ? 1 : 0;
    SendCmd("REST 0", {});
  }
  return resume_probe_ == 1;
}

namespace {
// The port of an EPSV reply: "(|||6446|)", any delimiter character.
std::optional<uint16_t> ParseEpsvPort(const std::string& text) {
  size_t open = text.find('(');
  if (open == std::string::npos || open + 4 >= text.size()) return std::nullopt;
  const char d = text[open + 1];
  if (text[open + 2] != d || text[open + 3] != d) return std::nullopt;
  size_t end = text.find(d, open + 4);
  if (end == std::string::npos) return std::nullopt;
  int64_t port = ToIntDef(std::string_view(text).substr(open + 4, end - open - 4), -1);
  if (port <= 0 || port > 65535) return std::nullopt;
  return static_cast<uint16_t>(port);
}
}  // namespace

std::optional<uint16_t> TIdFTP::RequestPassivePort() {
  if (!epsv_refused_) {
    const int16_t code = SendCmd("EPSV", {});
    if (code == 229) {
      if (auto port =
              ParseEpsvPort(LastReply.Text.empty() ? std::string() : LastReply.Text.front()))
        return port;
    }
    if (code >= 400) epsv_refused_ = true;
    if (code < 400 && code != 229)
      throw EIdProtocolReplyError(code, LastReply.TextWithLineBreaks());
  }
  const int16_t code = SendCmd("PASV", {});
  if (code != 227) {
    if (code >= 400) return std::nullopt;
    throw EIdProtocolReplyError(code, LastReply.TextWithLineBreaks());
  }
  // The announced address is ignored: a server behind NAT announces its
  // private one, and a hostile one could point us anywhere.
  return ParsePasvReply(LastReply.Text.empty() ? std::string() : LastReply.Text.front()).port;
}

void TIdFTP::OpenActiveListener() {
  data_->listener = Socket::CreateTcp();
  data_->listener.Bind(LocalBinding().ip, 0);
  data_->listener.Listen(15);
  data_->listener.SetNonBlocking(true);
  SocketAddress here = data_->listener.LocalAddress();
  SendCmd("PORT " + PortArgument(here.ip, here.port), {200});
}

void TIdFTP::OpenDataChannel(const std::string& command, const std::vector<int16_t>& codes,
                             int64_t rest_offset) {
  const TIdDataMode mode = Passive ? TIdDataMode::dmPassive : DataMode;
  bool passive = false;
  if (mode != TIdDataMode::dmActive && mode_in_use_ != TIdDataMode::dmActive) {
    std::optional<uint16_t> port;
    const TIdRFCReply* refusal = nullptr;
    port = RequestPassivePort();
    if (!port) refusal = &LastReply;
    if (port) {
      int timeout = DataConnectTimeout > 0 ? DataConnectTimeout : -1;
      if (mode == TIdDataMode::dmAuto && mode_in_use_ == TIdDataMode::dmAuto)
        timeout = timeout < 0 ? kPassiveProbeConnectTimeoutMs
                              : std::min(timeout, kPassiveProbeConnectTimeoutMs);
      data_->connection = Socket::CreateTcp();
      try {
        ConnectSocket(data_->connection, {PeerBinding().ip, *port}, timeout);
        passive = true;
      } catch (const EIdConnectTimeout&) {
        if (mode == TIdDataMode::dmPassive || mode_in_use_ == TIdDataMode::dmPassive)
          throw EIdDataConnectTimeout();
      } catch (const EIdSocketError&) {
        if (mode == TIdDataMode::dmPassive || mode_in_use_ == TIdDataMode::dmPassive) throw;
      }
      if (!passive) data_->connection.Close();
    } else if (mode == TIdDataMode::dmPassive) {
      throw EIdProtocolReplyError(refusal->NumericCode, refusal->TextWithLineBreaks());
    }
  }
  mode_in_use_ = passive ? TIdDataMode::dmPassive : TIdDataMode::dmActive;
  if (!passive) OpenActiveListener();
  if (rest_offset > 0) SendCmd("REST " + std::to_string(rest_offset), {350});
  WriteLn(command);
  data_phase_ = true;
  GetResponseWithin(
      {}, ReadTimeout > 0 ? 0 : ReplyTimeout, [] { throw EIdReplyTimeout(); }, false);
  if (std::find(codes.begin(), codes.end(), LastReply.NumericCode) == codes.end()) {
    // Refused: nothing more will come for this command.
    data_phase_ = false;
    CheckResponse(codes);
  }
  if (!passive) WaitForServerConnection();
  // Blocking calls that give up after one slice: as cheap as plain blocking
  // ones while data flows, and the hook still runs when it does not.
  data_->connection.SetNonBlocking(false);
  data_->connection.SetIoTimeouts(kWaitSliceMs);
}

void TIdFTP::WaitForServerConnection() {
  // Watch the control connection as well: a server that cannot connect
  // says so there (425 and the like) instead of ever connecting. A pending
  // connection always wins, so a fast server's end reply is not mistaken
  // for a refusal.
  const int64_t deadline = DataConnectTimeout > 0 ? NowMs() + DataConnectTimeout : 0;
  const std::string peer = PeerBinding().ip;
  for (;;) {
    const bool buffered = UnreadBytes() > 0;
    pollfd p[2] = {{data_->listener.fd(), POLLIN, 0}, {ControlFd(), POLLIN, 0}};
    const bool control = Connected() && !buffered && !early_end_reply_;
    if (!buffered && !WaitForEvents(p, control ? 2 : 1, deadline)) throw EIdDataConnectTimeout();
    if (!buffered && (p[0].revents & POLLIN)) {
      sockaddr_in from{};
      socklen_t len = sizeof from;
      int fd;
      do
        fd =
            ::accept4(data_->listener.fd(), reinterpret_cast<sockaddr*>(&from), &len, SOCK_CLOEXEC);
      while (fd < 0 && errno == EINTR);
      if (fd < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED) continue;
        RaiseLastSocketError();
      }
      Socket accepted(fd);
      // Only the server we talk to may deliver the data.
      if (accepted.PeerAddress().ip != peer) {
        accepted.Reset();
        continue;
      }
      data_->connection = std::move(accepted);
      data_->listener.Close();
      return;
    }
    if (!buffered && !(p[1].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    GetResponseWithin(
        {}, ReadTimeout > 0 ? 0 : ReplyTimeout, [] { throw EIdReplyTimeout(); }, false);
    const int16_t code = LastReply.NumericCode;
    if (code < 100 || code >= 400) {
      data_phase_ = false;  // the server gave up on the transfer itself
      throw EIdProtocolReplyError(code, LastReply.TextWithLineBreaks());
    }
    // A completion reply ahead of the connection: the data is still coming.
    if (code >= 200) early_end_reply_ = LastReply;
  }
}

void TIdFTP::ReadEndReply() {
  const std::vector<int16_t> codes = {225, 226, 250, 426, 450};
  if (early_end_reply_) {
    LastReply = *early_end_reply_;
    early_end_reply_.reset();
  } else {
    GetResponseWithin(
        {}, ReadTimeout > 0 ? 0 : ReplyTimeout, [] { throw EIdReplyTimeout(); }, false);
  }
  data_phase_ = false;
  CheckResponse(codes);
  const int16_t code = LastReply.NumericCode;
  if (code != 426 && code != 450) return;
  // Some servers follow 426 with a second reply, some do not: NOOP's answer
  // marks the end either way.
  Resynchronise(false, AbortReplyTimeout > 0 ? AbortReplyTimeout : kDefaultAbortReplyTimeoutMs);
  DoStatus(TIdStatus::ftpAborted, "Transfer aborted");
  throw EIdFTPTransferAborted();
}

void TIdFTP::Resynchronise(bool abort, int timeout_ms) {
  if (!Connected()) return;
  try {
    Write(abort ? "ABOR\r\nNOOP\r\n" : "NOOP\r\n");
    const int64_t deadline = NowMs() + timeout_ms;
    for (;;) {
      const int left = static_cast<int>(std::max<int64_t>(1, deadline - NowMs()));
      if (GetResponseWithin({}, left, [] { throw EIdAbortReplyTimeout(); }) == 200) return;
    }
  } catch (const EIdConnectionLost&) {
    throw;
  } catch (const EIdException&) {
    // Could not tell where the replies stand: start afresh instead.
    DropConnection();
  }
}

void TIdFTP::RunTransfer(const std::string& command, const std::vector<int16_t>& codes,
                         int64_t rest_offset, const std::function<void(int data_fd)>& body) {
  CheckNotReentered();
  if (HasLineBreak(command)) throw EIdIllegalCommandText();
  if (!Connected()) {
    // Same failure a command would give, before any socket is made.
    WriteLn("NOOP");
  }
  DoStatus(TIdStatus::ftpTransfer, "Starting FTP transfer");
  early_end_reply_.reset();
  data_phase_ = false;
  std::exception_ptr failure;
  bool cancelled = false;
  {
    TransferScope scope(*this);
    try {
      OpenDataChannel(command, codes, rest_offset);
      body(data_->connection.fd());
      // Closing our side tells an upload's server the file is complete.
      data_->connection.Close();
      ReadEndReply();
      return;
    } catch (const EIdOperationAborted&) {
      cancelled = true;
      failure = std::current_exception();
    } catch (const EIdFTPTransferAborted&) {
      throw;
    } catch (...) {
      failure = std::current_exception();
    }
    // Break the data connection off so the server never takes a cut-off
    // file for a whole one.
    data_->connection.Reset();
    data_->listener.Close();
  }
  if (disconnect_requested_) {
    Disconnect();
    std::rethrow_exception(failure);
  }
  if (data_phase_ && Connected()) {
    data_phase_ = false;
    if (cancelled) {
      // Events still run, but the user's answer is already known.
      struct IgnoreCancel {
        TIdFTP& f;
        ~IgnoreCancel() {
          f.ignore_cancel_ = false;
          f.abort_requested_ = false;
        }
      } ignore{*this};
      ignore_cancel_ = true;
      Resynchronise(true, kCancelCleanupMs);
    } else {
      Resynchronise(true, AbortReplyTimeout > 0 ? AbortReplyTimeout : kDefaultAbortReplyTimeoutMs);
    }
  } else if (cancelled) {
    // Cancelled before the transfer command went out: replies are in step.
  }
  data_phase_ = false;
  std::rethrow_exception(failure);
}

void TIdFTP::ReceiveAll(int data_fd, const std::function<void(const char*, size_t)>& sink) {
  std::vector<char> buf(static_cast<size_t>(std::max(RecvBufferSize, 1)));
  int64_t total = 0;
  int64_t last_data = NowMs();
  if (OnWorkBegin) OnWorkBegin(*this, TWorkMode::wmRead, 0);
  for (;;) {
    // AbortTransfer called from a progress handler closes the channel.
    if (!data_ || !data_->connection.IsOpen()) throw EIdFTPTransferAborted();
    ssize_t n = ::recv(data_fd, buf.data(), buf.size(), 0);
    if (n > 0) {
      sink(buf.data(), static_cast<size_t>(n));
      total += n;
      if (OnWork) OnWork(*this, TWorkMode::wmRead, total);
      last_data = NowMs();
      YieldToHook();
      continue;
    }
    if (n == 0) break;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      // One slice without data.
      if (DataTimeout > 0 && NowMs() - last_data >= DataTimeout) throw EIdDataTimeout();
      CallHook();
      continue;
    }
    RaiseLastSocketError();
  }
  if (OnWorkEnd) OnWorkEnd(*this, TWorkMode::wmRead);
}

void TIdFTP::SendFile(int file_fd, int data_fd) {
  struct stat st {};
  ::fstat(file_fd, &st);
  const bool sized = S_ISREG(st.st_mode);
  const int64_t size = sized ? st.st_size : 0;
  std::vector<char> buf(static_cast<size_t>(std::max(SendBufferSize, 1)));
  int64_t sent = 0;
  int64_t last_progress = NowMs();
  if (OnWorkBegin) OnWorkBegin(*this, TWorkMode::wmWrite, size);
  while (!sized || sent < size) {
    size_t want = buf.size();
    if (sized)
      want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(want), size - sent));
    ssize_t r = ::read(file_fd, buf.data(), want);
    if (r < 0) {
      if (errno == EINTR) continue;
      throw EIdFTPLocalFileError(std::string("Cannot read the local file. ") + ErrnoText());
    }
    if (r == 0) {
      if (sized) throw EIdNoDataToRead();  // the file shrank while being sent
      break;
    }
    const char* p = buf.data();
    size_t left = static_cast<size_t>(r);
    while (left > 0) {
      if (!data_ || !data_->connection.IsOpen()) throw EIdFTPTransferAborted();
      ssize_t w = ::send(data_fd, p, left, MSG_NOSIGNAL);
      if (w < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
          // One slice in which the server took nothing.
          if (DataTimeout > 0 && NowMs() - last_progress >= DataTimeout) throw EIdDataTimeout();
          CallHook();
          continue;
        }
        RaiseLastSocketError();
      }
      last_progress = NowMs();
      p += w;
      left -= static_cast<size_t>(w);
    }
    sent += r;
    if (OnWork) OnWork(*this, TWorkMode::wmWrite, sent);
    YieldToHook();
  }
  if (OnWorkEnd) OnWorkEnd(*this, TWorkMode::wmWrite);
}

void TIdFTP::ListInto(std::string& bytes, const std::string& command) {
  bytes.clear();
  const uint64_t cap = MaxListingBytes > 0 ? static_cast<uint64_t>(MaxListingBytes) : UINT64_MAX;
  RunTransfer(command, kTransferInCodes, 0, [&](int data_fd) {
    ReceiveAll(data_fd, [&](const char* p, size_t n) {
      if (bytes.size() + n > cap) throw EIdListingTooLarge();
      bytes.append(p, n);
    });
  });
}

namespace {
// "." and ".." entries that "LIST -a" adds: a directory line naming itself.
bool IsSelfOrParentLine(const std::string& line) {
  if (line.empty() || (line[0] != 'd' && line[0] != 'D')) return false;
  auto ends_with = [&](std::string_view tail) {
    return line.size() >= tail.size() &&
           line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
  };
  return ends_with(" .") || ends_with(" ..");
}
}  // namespace

void TIdFTP::ListDirectory(std::vector<std::string>* dest, const std::string& path, bool details,
                           bool hidden) {
  // A name starting with "-" would be read as options by many servers.
  const std::string target = !path.empty() && path[0] == '-' ? "./" + path : path;
  const std::string plain(TrimControl((details ? "LIST " : "NLST ") + target));
  std::string bytes;
  if (details && hidden && list_hidden_ok_) {
    bool refused = false;
    try {
      ListInto(bytes, std::string(TrimControl("LIST -a " + target)));
    } catch (const EIdProtocolReplyError&) {
      refused = true;
    }
    // Refused, or nothing at all (perhaps "-a" was taken for a name): ask
    // plainly, and keep to plain LIST once that tells a different story.
    if (refused || bytes.empty()) {
      ListInto(bytes, plain);
      if (refused || !bytes.empty()) list_hidden_ok_ = false;
    }
  } else {
    ListInto(bytes, plain);
  }
  listing_ = SplitListingLines(bytes);
  if (details && hidden)
    listing_.erase(std::remove_if(listing_.begin(), listing_.end(), IsSelfOrParentLine),
                   listing_.end());
  listing_details_ = details;
  listing_mlsd_ = false;
  if (dest) *dest = listing_;
  directory_listing_.reset();
}

namespace {
// The facts of a FEAT line of the form "MLST type*;size*;unix.mode;": the
// reply keeps each line from its fifth character on, so what is left of it
// is a fact list after one space, and only MLST announces the "type" fact.
// Empty for any other line.
std::vector<std::string> MlstFacts(std::string_view text) {
  std::vector<std::string> facts;
  if (text.size() < 5 || text[0] != ' ') return facts;
  bool typed = false;
  for (text.remove_prefix(1); !text.empty();) {
    size_t semi = text.find(';');
    std::string fact(TrimControl(text.substr(0, semi)));
    for (char& c : fact)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    typed = typed || fact == "type" || fact == "type*";
    if (!fact.empty()) facts.push_back(std::move(fact));
    if (semi == std::string_view::npos) break;
    text.remove_prefix(semi + 1);
  }
  if (!typed) facts.clear();
  return facts;
}
}  // namespace

bool TIdFTP::MlstSupported() {
  if (mlst_ >= 0) return mlst_ == 1;
  mlst_ = 0;
  std::vector<std::string> facts;
  try {
    SendCmd("FEAT", {211});
    for (size_t i = 1; i < LastReply.Text.size() && facts.empty(); ++i)
      facts = MlstFacts(LastReply.Text[i]);
  } catch (const EIdProtocolReplyError&) {
    // No FEAT: no MLST either.
  }
  if (facts.empty()) return false;
  mlst_ = 1;
  // Facts offered but not sent unasked (no "*"), such as unix.mode, which
  // the permission column needs: ask for them with the usual ones.
  static const char* const kWanted[] = {"type",      "size",       "modify",    "perm",
                                        "unix.mode", "unix.owner", "unix.group"};
  std::string wanted;
  bool missing = false;
  for (const char* name : kWanted) {
    for (const std::string& f : facts) {
      const bool on = !f.empty() && f.back() == '*';
      if ((on ? f.substr(0, f.size() - 1) : f) != name) continue;
      wanted += std::string(name) + ';';
      missing = missing || !on;
    }
  }
  if (missing) {
    try {
      SendCmd("OPTS MLST " + wanted, {200});
    } catch (const EIdProtocolReplyError&) {
      // Then the listings come with the facts the server chose.
    }
  }
  return true;
}

void TIdFTP::ListEntries(const std::string& path, bool hidden, bool probe) {
  if (probe ? MlstSupported() : mlst_ == 1) {
    std::string bytes;
    try {
      // MLSD takes no options, so a name starting with "-" is safe as it is.
      ListInto(bytes, std::string(TrimControl("MLSD " + path)));
      listing_ = SplitListingLines(bytes);
      listing_details_ = true;
      listing_mlsd_ = true;
      directory_listing_.reset();
      return;
    } catch (const EIdProtocolReplyError& e) {
      // Not implemented after all: LIST from now on. Any other refusal
      // (a missing folder, say) is LIST's to report this time.
      if (e.ErrorCode() >= 500 && e.ErrorCode() <= 504) mlst_ = 0;
    }
  }
  ListDirectory(nullptr, path, true, hidden);
}
TIdFTPListItems& TIdFTP::DirectoryListing() {
  if (!directory_listing_) {
    directory_listing_ = std::make_unique<TIdFTPListItems>();
    directory_listing_->OnCheckListFormat = OnCheckListFormat;
    directory_listing_->OnParseCustomListFormat = OnParseCustomListFormat;
    if (listing_mlsd_) {
      directory_listing_->LoadMlsd(listing_);
    } else {
      directory_listing_->LoadList(listing_, listing_details_);
    }
  }
  return *directory_listing_;
}

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
      throw EIdFTPLocalFileError("Cannot open file \"" + local_path + "\". " + ErrnoText());
    RunTransfer("RETR " + remote_name, kTransferInCodes, rest, [&](int data_fd) {
      ReceiveAll(data_fd,
                 [&](const char* p, size_t n) { WriteAllToFile(out.get(), p, n, local_path); });
    });
    if (OnAfterGet) OnAfterGet(*this, local_path);
    return;
  }

  const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
  PendingDownload pending(local_path, keep_existing, mode);
  RunTransfer("RETR " + remote_name, kTransferInCodes, rest, [&](int data_fd) {
    ReceiveAll(data_fd,
               [&](const char* p, size_t n) { WriteAllToFile(pending.fd(), p, n, local_path); });
  });
  pending.Commit();
  if (OnAfterGet) OnAfterGet(*this, local_path);
}

void TIdFTP::Upload(const std::string& local_path, const std::string& remote_name, bool append) {
  if (HasLineBreak(remote_name)) throw EIdIllegalCommandText();
  FileDescriptor in(::open(local_path.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0)
    throw EIdFTPLocalFileError("Cannot open file \"" + local_path + "\". " + ErrnoText());
  // Make sure the file can be read at all before the server is told to
  // expect it (a folder opens, but reading it fails).
  char probe;
  if (::pread(in.get(), &probe, 1, 0) < 0)
    throw EIdFTPLocalFileError("Cannot read file \"" + local_path + "\". " + ErrnoText());
  std::string command = append                ? "APPE " + remote_name
                        : remote_name.empty() ? "STOU"
                                              : "STOR " + remote_name;
  RunTransfer(command, kTransferOutCodes, 0, [&](int data_fd) { SendFile(in.get(), data_fd); });
}

}  // namespace hemlo::ftp
