#include "ftp/id_tcp_connection.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <sys/socket.h>
#include <vector>

namespace hemlo::ftp {

namespace {
int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

bool HasLineBreak(std::string_view text) {
  return text.find('\r') != std::string_view::npos || text.find('\n') != std::string_view::npos;
}

void TIdTCPConnection::DoStatus(TIdStatus status, const std::string& text) {
  if (OnStatus) OnStatus(*this, status, text);
}

void TIdTCPConnection::AttachSocket(Socket socket) {
  socket_ = std::move(socket);
  buffer_.Clear();
  closed_gracefully_ = false;
}

void TIdTCPConnection::DisconnectSocket() {
  socket_.Close();
  buffer_.Clear();
  if (OnDisconnected) OnDisconnected(*this);
}

void TIdTCPConnection::ReadFromStack() {
  // The wait is bounded by ReadTimeout (per receive) and by the deadline of
  // the reply being read, whichever comes first.
  int wait = ReadTimeout > 0 ? ReadTimeout : -1;
  bool deadline_first = false;
  if (reply_deadline_ms_ > 0) {
    int64_t left = std::max<int64_t>(0, reply_deadline_ms_ - NowMs());
    if (wait < 0 || left < wait) {
      wait = static_cast<int>(left);
      deadline_first = true;
    }
  }
  if (!WaitReadable(socket_.fd(), wait)) {
    if (deadline_first && on_reply_deadline_) on_reply_deadline_();
    if (deadline_first) throw EIdReplyTimeout();
    throw EIdReadTimeout();
  }
  std::vector<char> chunk(static_cast<size_t>(std::max(RecvBufferSize, 1)));
  ssize_t n;
  do n = ::recv(socket_.fd(), chunk.data(), chunk.size(), 0);
  while (n < 0 && errno == EINTR);
  if (n > 0) {
    buffer_.Append(chunk.data(), static_cast<size_t>(n));
    return;
  }
  if (n == 0) {
    // The server closed its side: close ours at once; lines still buffered
    // may be consumed before the close is reported.
    closed_gracefully_ = true;
    socket_.Close();
    if (OnDisconnected) OnDisconnected(*this);
    return;
  }
  int err = WinsockErrorFromErrno(errno);
  if (buffer_.Unread() > 0 || err == 10053 || err == 10058) {
    if (buffer_.Unread() > 0) closed_gracefully_ = true;
    socket_.Close();
    if (OnDisconnected) OnDisconnected(*this);
    if (closed_gracefully_) return;
  }
  throw EIdSocketError(err);
}

std::string TIdTCPConnection::ReadLn() {
  std::string line;
  const size_t max = MaxLineLength > 0 ? static_cast<size_t>(MaxLineLength) : 0;
  for (;;) {
    if (buffer_.TakeLine(line, max, MaxLineAction)) return line;
    if (!socket_.IsOpen()) {
      // A partial line can never be completed once the peer has gone.
      if (closed_gracefully_) throw EIdConnClosedGracefully();
      throw EIdNotConnected();
    }
    ReadFromStack();
  }
}

void TIdTCPConnection::Write(std::string_view bytes) {
  if (!socket_.IsOpen()) {
    if (closed_gracefully_) throw EIdConnClosedGracefully();
    throw EIdNotConnected();
  }
  while (!bytes.empty()) {
    ssize_t n = ::send(socket_.fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = WinsockErrorFromErrno(errno);
      if (err == 10053 || err == 10054 || err == 10058) {
        socket_.Close();
        if (OnDisconnected) OnDisconnected(*this);
      }
      throw EIdSocketError(err);
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
                                            const std::function<void()>& on_timeout) {
  struct DeadlineGuard {
    TIdTCPConnection& c;
    ~DeadlineGuard() {
      c.reply_deadline_ms_ = 0;
      c.on_reply_deadline_ = nullptr;
    }
  } guard{*this};
  reply_deadline_ms_ = timeout_ms > 0 ? NowMs() + timeout_ms : 0;
  on_reply_deadline_ = on_timeout;
  std::vector<std::string> lines = ReadReplyLines([this] { return ReadLn(); });
  LastReply.Parse(lines);
  CheckResponse(codes);
  return LastReply.NumericCode;
}

int16_t TIdTCPConnection::GetResponse(const std::vector<int16_t>& codes) {
  // A positive ReadTimeout is the caller's own bound; otherwise the reply
  // limit keeps a silent server from blocking forever.
  return GetResponseWithin(codes, ReadTimeout > 0 ? 0 : ReplyTimeout, [] { throw EIdReplyTimeout(); });
}

int16_t TIdTCPConnection::SendCmd(std::string_view command, const std::vector<int16_t>& codes) {
  if (HasLineBreak(command)) throw EIdIllegalCommandText();
  WriteLn(command);
  return GetResponse(codes);
}

void TIdTCPClient::Connect(int timeout_ms) {
  Socket s = Socket::CreateTcp();
  if (!BoundIP.empty() || BoundPort != 0) s.Bind(BoundIP, static_cast<uint16_t>(BoundPort));
  if (!IsDottedIPv4(Host)) DoStatus(TIdStatus::hsResolving, "Resolving hostname " + Host + ".");
  std::string ip = ResolveHost(Host);
  DoStatus(TIdStatus::hsConnecting, "Connecting to " + ip + ".");
  s.Connect({ip, static_cast<uint16_t>(Port)}, timeout_ms);
  local_ = s.LocalAddress();
  peer_ = s.PeerAddress();
  AttachSocket(std::move(s));
  DoStatus(TIdStatus::hsConnected, "Connected.");
  if (OnConnected) OnConnected(*this);
}

}  // namespace hemlo::ftp
