#pragma once
// The control connection: a connected socket with its input buffer, line
// and reply reading, command writing (TIdTCPConnection), and establishing
// the connection (TIdTCPClient). Every call blocks the caller.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/id_exception.h"
#include "ftp/id_reply.h"
#include "ftp/id_socket.h"

namespace hemlo::ftp {

// How long a reply may take when ReadTimeout is 0: generous, so slow servers
// still work, but a server that never answers cannot freeze the tool.
inline constexpr int kDefaultReplyTimeoutMs = 120'000;

enum class TWorkMode { wmRead, wmWrite };

enum class TIdStatus {
  hsResolving,
  hsConnecting,
  hsConnected,
  hsDisconnecting,
  hsDisconnected,
  hsStatusText,
  ftpTransfer,
  ftpReady,
  ftpAborted,
};

class TIdTCPConnection;
using TIdNotifyEvent = std::function<void(TIdTCPConnection& sender)>;
using TIdStatusEvent = std::function<void(TIdTCPConnection& sender, TIdStatus status, const std::string& text)>;
using TWorkEvent = std::function<void(TIdTCPConnection& sender, TWorkMode mode, int64_t count)>;
using TWorkEndEvent = std::function<void(TIdTCPConnection& sender, TWorkMode mode)>;

class TIdTCPConnection {
 public:
  TIdTCPConnection() = default;
  TIdTCPConnection(const TIdTCPConnection&) = delete;
  TIdTCPConnection& operator=(const TIdTCPConnection&) = delete;
  virtual ~TIdTCPConnection() = default;

  // Properties.
  int ReadTimeout = 0;        // ms per receive; 0 = no limit of its own
  int ReplyTimeout = kDefaultReplyTimeoutMs;  // ms for a whole reply; 0 = none
  int MaxLineLength = 16384;  // 0 = no limit
  TIdMaxLineAction MaxLineAction = TIdMaxLineAction::maException;
  int RecvBufferSize = 32768;
  int SendBufferSize = 32768;

  // Events (unassigned ones are not called).
  TIdNotifyEvent OnDisconnected;
  TIdStatusEvent OnStatus;
  TWorkEvent OnWorkBegin;  // count = expected total, 0 when unknown
  TWorkEvent OnWork;       // count = bytes so far
  TWorkEndEvent OnWorkEnd;

  TIdRFCReply LastReply;

  bool Connected() const { return socket_.IsOpen(); }

  // One line from the input buffer (LF ends it, a CR before it is dropped).
  std::string ReadLn();
  // Writes every byte; each command is one write.
  void Write(std::string_view bytes);
  void WriteLn(std::string_view line);

  // Reads one reply into LastReply and checks its code against `codes`
  // (empty = any code). Returns the code.
  int16_t GetResponse(const std::vector<int16_t>& codes);
  // Sends `command` + CR LF, then GetResponse. A command holding CR or LF is
  // refused with EIdIllegalCommandText before anything is written.
  int16_t SendCmd(std::string_view command, const std::vector<int16_t>& codes);

  // Closes the socket, discards unread input and fires OnDisconnected.
  void DisconnectSocket();

 protected:
  void DoStatus(TIdStatus status, const std::string& text);
  // Reads a reply whose whole arrival is bounded by `timeout_ms` (0 = none);
  // when the bound passes, `on_timeout` raises.
  int16_t GetResponseWithin(const std::vector<int16_t>& codes, int timeout_ms,
                            const std::function<void()>& on_timeout);
  void CheckResponse(const std::vector<int16_t>& codes);
  int ControlFd() const { return socket_.fd(); }
  size_t UnreadBytes() const { return buffer_.Unread(); }
  void AttachSocket(Socket socket);

 private:
  void ReadFromStack();

  Socket socket_;
  LineBuffer buffer_;
  bool closed_gracefully_ = false;
  // Deadline of the reply being read (steady clock ms; 0 = none).
  int64_t reply_deadline_ms_ = 0;
  std::function<void()> on_reply_deadline_;
};

class TIdTCPClient : public TIdTCPConnection {
 public:
  std::string Host;
  int Port = 21;
  std::string BoundIP;
  int BoundPort = 0;

  TIdNotifyEvent OnConnected;

  // Opens the TCP connection. timeout_ms < 0: no limit.
  void Connect(int timeout_ms = -1);

  const SocketAddress& LocalBinding() const { return local_; }
  const SocketAddress& PeerBinding() const { return peer_; }

 private:
  SocketAddress local_;
  SocketAddress peer_;
};

// True when `text` holds CR or LF (it would end the command line early).
bool HasLineBreak(std::string_view text);

}  // namespace hemlo::ftp
