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
  try {
    return ParsePasvReply(LastReply.Text.empty() ? std::string() : LastReply.Text.front()).port;
  } catch (const EIdException&) {
    // A reply that names no port is no better than a refusal.
    return std::nullopt;
  }
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
  if (Encrypted()) StartDataTLS();
}

void TIdFTP::StartDataTLS() {
  // Servers may take each session ticket once: offer the newest, which
  // the last data connection brought, else the control connection's.
  if (!data_session_) data_session_ = ControlTLS()->Session();
  auto stream =
      std::make_unique<TIdTLSStream>(*tls_context_, data_->connection.fd(),
                                     TLSHostName.empty() ? Host : TLSHostName, data_session_.get());
  const int limit = DataConnectTimeout > 0 ? DataConnectTimeout : kDefaultDataConnectTimeoutMs;
  RunHandshake(*stream, data_->connection.fd(), NowMs() + limit);
  // The data must come from the server the user accepted, not from
  // whoever reached the data port first.
  if (!stream->Resumed() && peer_certificate_ &&
      stream->Certificate().Sha256 != peer_certificate_->Sha256)
    throw EIdTLSHandshakeFailed("データ接続で、制御接続とは別の証明書が示されました");
  data_->tls = std::move(stream);
}

void TIdFTP::CloseDataConnection() {
  if (TIdTLSStream* tls = data_->tls.get()) {
    // Our close_notify ends the data; then read until the server's end:
    // closing while it still sends (its close_notify, a session ticket
    // that comes late on an upload) would reset the connection, and a
    // reset can cost the server the end of an upload. The ticket read on
    // the way is the session the next data connection offers.
    const int fd = data_->connection.fd();
    data_->connection.SetNonBlocking(true);
    tls->Shutdown();
    const int64_t deadline = NowMs() + (DataTimeout > 0 ? DataTimeout : kDefaultDataTimeoutMs);
    char scrap[4096];
    for (bool open = true; open;) {
      size_t got = 0;
      switch (tls->Read(scrap, sizeof scrap, got)) {
        case TIdTLSResult::kDone:
          break;
        case TIdTLSResult::kWantRead:
        case TIdTLSResult::kWantWrite: {
          pollfd p{fd, POLLIN, 0};
          open = WaitForEvents(&p, 1, deadline);
          break;
        }
        case TIdTLSResult::kClosed:
        case TIdTLSResult::kFailed:
          open = false;
          break;
      }
    }
    data_session_ = tls->Session();
    data_->tls.reset();
  }
  data_->connection.Close();
}

ssize_t TIdFTP::DataReceive(char* buf, size_t size) {
  if (!data_->tls) return ::recv(data_->connection.fd(), buf, size, 0);
  size_t got = 0;
  switch (data_->tls->Read(buf, size, got)) {
    case TIdTLSResult::kDone:
      return static_cast<ssize_t>(got);
    case TIdTLSResult::kClosed:
      return 0;
    case TIdTLSResult::kWantRead:
    case TIdTLSResult::kWantWrite:
      errno = EAGAIN;
      return -1;
    case TIdTLSResult::kFailed:
      break;
  }
  errno = ECONNRESET;
  return -1;
}

ssize_t TIdFTP::DataSend(const char* buf, size_t size) {
  if (!data_->tls) return ::send(data_->connection.fd(), buf, size, MSG_NOSIGNAL);
  size_t put = 0;
  switch (data_->tls->Write(buf, size, put)) {
    case TIdTLSResult::kDone:
      return static_cast<ssize_t>(put);
    case TIdTLSResult::kWantRead:
    case TIdTLSResult::kWantWrite:
      errno = EAGAIN;
      return -1;
    case TIdTLSResult::kClosed:
    case TIdTLSResult::kFailed:
      break;
  }
  errno = ECONNRESET;
  return -1;
}

void TIdFTP::WaitForServerConnection() {
  // Watch the control connection as well: a server that cannot connect
  // says so there (425 and the like) instead of ever connecting. A pending
  // connection always wins, so a fast server's end reply is not mistaken
  // for a refusal.
  const int64_t deadline = DataConnectTimeout > 0 ? NowMs() + DataConnectTimeout : 0;
  const std::string peer = PeerBinding().ip;
  for (;;) {
    const bool buffered = InputBuffered();
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
                         int64_t rest_offset, const std::function<void()>& body) {
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
  bool abor_sent = false;
  {
    TransferScope scope(*this);
    try {
      OpenDataChannel(command, codes, rest_offset);
      body();
      // Closing our side tells an upload's server the file is complete.
      CloseDataConnection();
      ReadEndReply();
      return;
    } catch (const EIdOperationAborted&) {
      cancelled = true;
      failure = std::current_exception();
    } catch (const EIdFTPTransferAborted&) {
      throw;  // the end reply has been read and the replies are in step
    } catch (const EIdFTPTransferAbortedHere&) {
      abor_sent = Connected();  // AbortTransfer wrote it
      failure = std::current_exception();
    } catch (...) {
      failure = std::current_exception();
    }
    // Break the data connection off so the server never takes a cut-off
    // file for a whole one.
    data_->Reset();
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
      Resynchronise(!abor_sent,
                    AbortReplyTimeout > 0 ? AbortReplyTimeout : kDefaultAbortReplyTimeoutMs);
    }
  } else if (cancelled) {
    // Cancelled before the transfer command went out: replies are in step.
  }
  data_phase_ = false;
  std::rethrow_exception(failure);
}

void TIdFTP::ReceiveAll(const std::function<void(const char*, size_t)>& sink) {
  std::vector<char> buf(static_cast<size_t>(std::max(RecvBufferSize, 1)));
  int64_t total = 0;
  int64_t last_data = NowMs();
  if (OnWorkBegin) OnWorkBegin(*this, TWorkMode::wmRead, 0);
  for (;;) {
    // AbortTransfer called from a progress handler closes the channel.
    if (!data_ || !data_->connection.IsOpen()) throw EIdFTPTransferAbortedHere();
    ssize_t n = DataReceive(buf.data(), buf.size());
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

void TIdFTP::SendFile(int file_fd) {
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
      throw EIdFTPLocalFileError(std::string("ローカルのファイルを読み込めませんでした。") +
                                 ErrnoText());
    }
    if (r == 0) {
      if (sized) throw EIdNoDataToRead();  // the file shrank while being sent
      break;
    }
    const char* p = buf.data();
    size_t left = static_cast<size_t>(r);
    while (left > 0) {
      if (!data_ || !data_->connection.IsOpen()) throw EIdFTPTransferAbortedHere();
      ssize_t w = DataSend(p, left);
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

}  // namespace hemlo::ftp
