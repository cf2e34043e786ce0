#include "ftp/id_tcp_connection.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <system_error>
#include <vector>

#include "base/ascii_case.h"

namespace hemlo::ftp {

int64_t TIdTCPConnection::NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool HasLineBreak(std::string_view text) {
  return text.find('\r') != std::string_view::npos || text.find('\n') != std::string_view::npos;
}

void TIdTCPConnection::DoStatus(TIdStatus status, const std::string& text) {
  if (OnStatus) OnStatus(*this, status, text);
}

void TIdTCPConnection::AttachSocket(Socket socket) {
  tls_.reset();
  socket_ = std::move(socket);
  buffer_.Clear();
  closed_gracefully_ = false;
  lost_error_ = -1;
}

void TIdTCPConnection::DisconnectSocket() {
  tls_.reset();
  socket_.Close();
  buffer_.Clear();
  if (OnDisconnected) OnDisconnected(*this);
}

void TIdTCPConnection::DropConnection() {
  if (socket_.IsOpen()) DisconnectSocket();
}

TIdTCPConnection::TIdTCPConnection() : cancel_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TIdTCPConnection::~TIdTCPConnection() {
  if (cancel_fd_ >= 0) ::close(cancel_fd_);
}

void TIdTCPConnection::Cancel() {
  abort_requested_ = true;
  if (cancel_fd_ < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t w = ::write(cancel_fd_, &one, sizeof one);
}

void TIdTCPConnection::ClearCancel() {
  abort_requested_ = false;
  cancel_fired_ = false;
  if (cancel_fd_ < 0) return;
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t r = ::read(cancel_fd_, &count, sizeof count);
}

void TIdTCPConnection::ThrowIfCancelled() {
  if (ignore_cancel_ || !abort_requested_.exchange(false)) return;
  cancel_fired_ = true;
  if (cancel_fd_ >= 0) {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t r = ::read(cancel_fd_, &count, sizeof count);
  }
  throw EIdOperationAborted();
}

void TIdTCPConnection::CheckNotReentered() const {
  if (in_hook_) throw EIdClientBusy();
}

void TIdTCPConnection::CallHook() {
  next_hook_ms_ = NowMs() + kWaitSliceMs;
  if (wait_hook_ && !in_hook_) {
    struct InHook {
      bool& flag;
      explicit InHook(bool& f) : flag(f) { flag = true; }
      ~InHook() { flag = false; }
    } in_hook{in_hook_};
    if (!wait_hook_()) abort_requested_ = true;
  }
  ThrowIfCancelled();
}

bool TIdTCPConnection::WaitForEvents(pollfd* fds, int count, int64_t deadline_ms) {
  CheckNotReentered();
  constexpr int kMaxFds = 4;
  if (count < 1 || count >= kMaxFds) throw EIdSocketError(10022);
  pollfd set[kMaxFds];
  for (;;) {
    ThrowIfCancelled();
    // Slices only for a hook; otherwise one poll up to the deadline, which
    // the cancel eventfd interrupts.
    int wait = wait_hook_ ? kWaitSliceMs : -1;
    if (deadline_ms > 0) {
      const int64_t left = std::max<int64_t>(0, deadline_ms - NowMs());
      if (wait < 0 || left < wait) wait = static_cast<int>(left);
    }
    const bool watch_cancel = !ignore_cancel_ && cancel_fd_ >= 0;
    std::copy(fds, fds + count, set);
    if (watch_cancel) set[count] = {cancel_fd_, POLLIN, 0};
    const int n = ::poll(set, static_cast<nfds_t>(count + (watch_cancel ? 1 : 0)), wait);
    if (n < 0 && errno != EINTR) RaiseLastSocketError();
    if (n > 0) {
      bool ready = false;
      for (int i = 0; i < count; ++i) {
        fds[i].revents = set[i].revents;
        ready = ready || set[i].revents != 0;
      }
      if (ready) return true;
      if (watch_cancel && (set[count].revents & POLLIN) && !abort_requested_) {
        // A cancel someone has since cleared: drop its signal.
        uint64_t stale = 0;
        [[maybe_unused]] const ssize_t r = ::read(cancel_fd_, &stale, sizeof stale);
      }
    }
    if (deadline_ms > 0 && NowMs() >= deadline_ms) return false;
    if (wait_hook_) YieldToHook();
  }
}

void TIdTCPConnection::ConnectSocket(Socket& socket, const SocketAddress& to, int timeout_ms) {
  if (socket.StartConnect(to)) return;
  const int64_t deadline = timeout_ms >= 0 ? NowMs() + std::max(timeout_ms, 1) : 0;
  pollfd p{socket.fd(), POLLOUT, 0};
  bool ready;
  try {
    ready = WaitForEvents(&p, 1, deadline);
  } catch (...) {
    socket.Close();
    throw;
  }
  if (!ready) {
    socket.Close();
    throw EIdConnectTimeout();
  }
  if (int err = socket.FinishConnect(); err != 0) throw EIdSocketError(WinsockErrorFromErrno(err));
}

void TIdTCPConnection::WaitForControl(short events) {
  // The wait is bounded by ReadTimeout (per receive) and by the deadline of
  // the reply being read, whichever comes first.
  int64_t deadline = ReadTimeout > 0 ? NowMs() + ReadTimeout : 0;
  bool deadline_is_reply = false;
  if (reply_deadline_ms_ > 0 && (deadline == 0 || reply_deadline_ms_ < deadline)) {
    deadline = reply_deadline_ms_;
    deadline_is_reply = true;
  }
  pollfd p{socket_.fd(), events, 0};
  if (!WaitForEvents(&p, 1, deadline)) {
    if (deadline_is_reply && on_reply_deadline_) on_reply_deadline_();
    if (deadline_is_reply) throw EIdReplyTimeout();
    throw EIdReadTimeout();
  }
}

void TIdTCPConnection::ConnectionEnded(int winsock_error) {
  // Lines still buffered may be consumed before the loss is reported.
  if (winsock_error == 0) {
    closed_gracefully_ = true;
  } else {
    lost_error_ = winsock_error;
    if (buffer_.Unread() > 0) closed_gracefully_ = true;
  }
  tls_.reset();
  socket_.Close();
  if (OnDisconnected) OnDisconnected(*this);
}

void TIdTCPConnection::ReadFromStack() {
  std::vector<char> chunk(static_cast<size_t>(std::max(RecvBufferSize, 1)));
  if (tls_) {
    if (!tls_->Pending()) WaitForControl(POLLIN);
    size_t got = 0;
    switch (tls_->Read(chunk.data(), chunk.size(), got)) {
      case TIdTLSResult::kDone:
        buffer_.Append(chunk.data(), got);
        return;
      case TIdTLSResult::kWantRead:
        return;
      case TIdTLSResult::kWantWrite:
        WaitForControl(POLLOUT);
        return;
      case TIdTLSResult::kClosed:
        ConnectionEnded(0);
        return;
      case TIdTLSResult::kFailed:
        ConnectionEnded(WinsockErrorFromErrno(ECONNRESET));
        return;
    }
  }
  WaitForControl(POLLIN);
  ssize_t n;
  do n = ::recv(socket_.fd(), chunk.data(), chunk.size(), 0);
  while (n < 0 && errno == EINTR);
  if (n > 0) {
    buffer_.Append(chunk.data(), static_cast<size_t>(n));
    return;
  }
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
  // The server closed its side or the connection broke: close ours at once.
  ConnectionEnded(n == 0 ? 0 : WinsockErrorFromErrno(errno));
}

void TIdTCPConnection::RunHandshake(TIdTLSStream& stream, int fd, int64_t deadline_ms) {
  for (;;) {
    short events = POLLIN;
    switch (stream.Handshake()) {
      case TIdTLSResult::kDone:
        return;
      case TIdTLSResult::kWantRead:
        break;
      case TIdTLSResult::kWantWrite:
        events = POLLOUT;
        break;
      case TIdTLSResult::kClosed:
        throw EIdTLSHandshakeFailed("TLS のハンドシェイクの途中でサーバが接続を閉じました");
      case TIdTLSResult::kFailed:
        throw EIdTLSHandshakeFailed(stream.Error());
    }
    pollfd p{fd, events, 0};
    if (!WaitForEvents(&p, 1, deadline_ms))
      throw EIdTLSHandshakeFailed("サーバが時間内に TLS のハンドシェイクを終えませんでした");
  }
}

void TIdTCPConnection::StartControlTLS(const TIdTLSContext& context, const std::string& host,
                                       int timeout_ms) {
  CheckNotReentered();
  if (!socket_.IsOpen()) throw EIdNotConnected();
  // Nothing may follow the reply to AUTH before our hello: text here means
  // the server is not speaking TLS.
  if (buffer_.Unread() > 0)
    throw EIdTLSHandshakeFailed("TLS で応答するはずのサーバが平文で応答しました");
  socket_.SetNonBlocking(true);
  auto stream = std::make_unique<TIdTLSStream>(context, socket_.fd(), host);
  RunHandshake(*stream, socket_.fd(), timeout_ms > 0 ? NowMs() + timeout_ms : 0);
  tls_ = std::move(stream);
}

std::string TIdTCPConnection::ReadLn() {
  std::string line;
  const size_t max = MaxLineLength > 0 ? static_cast<size_t>(MaxLineLength) : 0;
  for (;;) {
    if (buffer_.TakeLine(line, max, MaxLineAction)) return line;
    if (!socket_.IsOpen()) {
      // A partial line can never be completed once the peer has gone.
      if (lost_error_ > 0 && !closed_gracefully_)
        throw EIdConnectionLost(EIdSocketError(lost_error_).Message(), lost_error_);
      if (closed_gracefully_ || lost_error_ > 0) throw EIdConnClosedGracefully();
      throw EIdNotConnected();
    }
    ReadFromStack();
  }
}

void TIdTCPConnection::Write(std::string_view bytes) {
  CheckNotReentered();
  if (!socket_.IsOpen()) {
    if (closed_gracefully_) throw EIdConnClosedGracefully();
    if (lost_error_ > 0)
      throw EIdConnectionLost(EIdSocketError(lost_error_).Message(), lost_error_);
    throw EIdNotConnected();
  }
  // A control connection that cannot take a command line is gone.
  auto lost = [this](int error) {
    lost_error_ = error;
    tls_.reset();
    socket_.Close();
    buffer_.Clear();
    if (OnDisconnected) OnDisconnected(*this);
    throw EIdConnectionLost(EIdSocketError(lost_error_).Message(), lost_error_);
  };
  const int64_t deadline = ReplyTimeout > 0 ? NowMs() + ReplyTimeout : 0;
  while (!bytes.empty()) {
    if (tls_) {
      size_t put = 0;
      short events = POLLOUT;
      switch (tls_->Write(bytes.data(), bytes.size(), put)) {
        case TIdTLSResult::kDone:
          bytes.remove_prefix(put);
          continue;
        case TIdTLSResult::kWantRead:
          events = POLLIN;
          break;
        case TIdTLSResult::kWantWrite:
          break;
        case TIdTLSResult::kClosed:
        case TIdTLSResult::kFailed:
          lost(WinsockErrorFromErrno(ECONNRESET));
      }
      pollfd p{socket_.fd(), events, 0};
      if (!WaitForEvents(&p, 1, deadline)) lost(WinsockErrorFromErrno(ETIMEDOUT));
      continue;
    }
    ssize_t n = ::send(socket_.fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      lost(WinsockErrorFromErrno(errno));
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void TIdTCPConnection::WriteLn(std::string_view line) {
  std::string out;
  out.reserve(line.size() + 2);
  out.append(line);
  out += "\r\n";
  Write(out);
}

void TIdTCPConnection::CheckResponse(const std::vector<int16_t>& codes) {
  if (codes.empty()) return;
  if (std::find(codes.begin(), codes.end(), LastReply.NumericCode) != codes.end()) return;
  throw EIdProtocolReplyError(LastReply.NumericCode, LastReply.TextWithLineBreaks());
}

int16_t TIdTCPConnection::GetResponseWithin(const std::vector<int16_t>& codes, int timeout_ms,
                                            const std::function<void()>& on_timeout,
                                            bool close_on_cancel) {
  CheckNotReentered();
  struct DeadlineGuard {
    TIdTCPConnection& c;
    ~DeadlineGuard() {
      c.reply_deadline_ms_ = 0;
      c.on_reply_deadline_ = nullptr;
    }
  } guard{*this};
  reply_deadline_ms_ = timeout_ms > 0 ? NowMs() + timeout_ms : 0;
  on_reply_deadline_ = on_timeout;
  std::vector<std::string> lines;
  try {
    lines = ReadReplyLines([this] { return ReadLn(); },
                           MaxReplyLines > 0 ? static_cast<size_t>(MaxReplyLines) : 0,
                           MaxReplyBytes > 0 ? static_cast<size_t>(MaxReplyBytes) : 0);
  } catch (const EIdOperationAborted&) {
    if (close_on_cancel) DropConnection();
    throw;
  } catch (const EIdConnectionLost&) {
    throw;
  } catch (...) {
    // Whatever is left of this reply would be read as the next one's.
    DropConnection();
    throw;
  }
  LastReply.Parse(lines);
  CheckResponse(codes);
  return LastReply.NumericCode;
}

int16_t TIdTCPConnection::GetResponse(const std::vector<int16_t>& codes) {
  // A positive ReadTimeout is the caller's own bound; otherwise the reply
  // limit keeps a silent server from blocking forever.
  return GetResponseWithin(codes, ReadTimeout > 0 ? 0 : ReplyTimeout,
                           [] { throw EIdReplyTimeout(); });
}

int16_t TIdTCPConnection::SendCmd(std::string_view command, const std::vector<int16_t>& codes) {
  if (HasLineBreak(command)) throw EIdIllegalCommandText();
  WriteLn(command);
  return GetResponse(codes);
}

std::vector<TIdRFCReply> TIdTCPConnection::SendCmds(const std::vector<std::string>& commands) {
  std::string out;
  for (const auto& c : commands) {
    if (HasLineBreak(c)) throw EIdIllegalCommandText();
    out += c;
    out += "\r\n";
  }
  Write(out);
  std::vector<TIdRFCReply> replies;
  replies.reserve(commands.size());
  for (size_t i = 0; i < commands.size(); ++i) {
    GetResponse({});
    replies.push_back(LastReply);
  }
  return replies;
}

void TIdTCPClient::Connect(int timeout_ms) {
  CheckNotReentered();
  Socket s = Socket::CreateTcp();
  if (!BoundIP.empty() || BoundPort != 0) s.Bind(BoundIP, static_cast<uint16_t>(BoundPort));
  std::string ip;
  if (!IsDottedIPv4(Host)) {
    if (AsciiEqualNoCase(Host, "localhost")) {
      ip = "127.0.0.1";
    } else {
      DoStatus(TIdStatus::hsResolving, "Resolving hostname " + Host + ".");
      std::unique_ptr<HostLookup> lookup;
      try {
        lookup = std::make_unique<HostLookup>(Host);
      } catch (const std::system_error& e) {
        throw EIdSocketError(WinsockErrorFromErrno(e.code().value()));
      }
      pollfd p{lookup->fd(), POLLIN, 0};
      const int64_t deadline = timeout_ms >= 0 ? NowMs() + std::max(timeout_ms, 1) : 0;
      if (!WaitForEvents(&p, 1, deadline)) throw EIdConnectTimeout();
      const HostAddress address = lookup->Result();
      if (address.error != 0) throw EIdSocketError(address.error);
      ip = address.ip;
    }
  } else {
    ip = Host;
  }
  DoStatus(TIdStatus::hsConnecting, "Connecting to " + ip + ".");
  try {
    ConnectSocket(s, {ip, static_cast<uint16_t>(Port)}, timeout_ms);
  } catch (const EIdSocketError& e) {
    // With a time limit the platform's failure comes wrapped, as from the
    // connect thread of old.
    if (timeout_ms >= 0) throw EIdConnectException(e.Message());
    throw;
  }
  local_ = s.LocalAddress();
  peer_ = s.PeerAddress();
  AttachSocket(std::move(s));
  DoStatus(TIdStatus::hsConnected, "Connected.");
  if (OnConnected) OnConnected(*this);
}

}  // namespace hemlo::ftp
