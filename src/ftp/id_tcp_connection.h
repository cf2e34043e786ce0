#pragma once
// The control connection: a connected socket with its input buffer, line
// and reply reading, command writing (TIdTCPConnection), and establishing
// the connection (TIdTCPClient). Every call blocks the caller, who runs it
// on a thread of its own; Cancel from any other thread ends the running
// wait at once (an eventfd in every poll set).
#include <atomic>
#include <cstdint>
#include <functional>
#include <poll.h>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/id_exception.h"
#include "ftp/id_reply.h"
#include "ftp/id_socket.h"
#include "ftp/id_tls.h"

namespace hemlo::ftp {

// How long a reply may take when ReadTimeout is 0: generous, so slow servers
// still work, but a server that never answers cannot freeze the tool.
inline constexpr int kDefaultReplyTimeoutMs = 120'000;

// Longest stretch between two calls of the wait hook while the client waits
// or moves data.
inline constexpr int kWaitSliceMs = 20;
// After a cancel, how long the client tries to bring the control connection
// back in step before it closes it instead.
inline constexpr int kCancelCleanupMs = 750;
// Caps on one reply: a server that never ends a reply cannot exhaust memory.
inline constexpr int kMaxReplyLines = 100'000;
inline constexpr int64_t kMaxReplyBytes = 4 << 20;

// Runs between wait slices (and now and then while data flows). Returns
// false to cancel: the wait ends at once with EIdOperationAborted.
using TIdWaitHook = std::function<bool()>;

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
using TIdStatusEvent =
    std::function<void(TIdTCPConnection& sender, TIdStatus status, const std::string& text)>;
using TWorkEvent = std::function<void(TIdTCPConnection& sender, TWorkMode mode, int64_t count)>;
using TWorkEndEvent = std::function<void(TIdTCPConnection& sender, TWorkMode mode)>;

class TIdTCPConnection {
 public:
  TIdTCPConnection();
  TIdTCPConnection(const TIdTCPConnection&) = delete;
  TIdTCPConnection& operator=(const TIdTCPConnection&) = delete;
  virtual ~TIdTCPConnection();

  // Properties.
  int ReadTimeout = 0;                        // ms per receive; 0 = no limit of its own
  int ReplyTimeout = kDefaultReplyTimeoutMs;  // ms for a whole reply; 0 = none
  int MaxLineLength = 16384;                  // 0 = no limit
  TIdMaxLineAction MaxLineAction = TIdMaxLineAction::maException;
  int RecvBufferSize = 32768;
  int SendBufferSize = 32768;
  int MaxReplyLines = kMaxReplyLines;      // EIdReplyTooManyLines beyond
  int64_t MaxReplyBytes = kMaxReplyBytes;  // EIdReplyTooLarge beyond

  // The hook runs on the caller's thread, between poll slices of every wait
  // (name lookup, connect, replies, data connections, transfers). While it
  // runs, every call on this client except Disconnect/AbortTransfer/
  // RequestAbort raises EIdClientBusy, so events it lets run cannot start a
  // second command.
  void SetWaitHook(TIdWaitHook hook) { wait_hook_ = std::move(hook); }
  // Cancels the running call at its next slice, as a hook returning false
  // would. Safe from inside the hook or an event handler.
  // Outside a call it does nothing.
  void RequestAbort() {
    if (in_hook_) abort_requested_ = true;
  }
  // True while the wait hook is running.
  bool InWaitHook() const { return in_hook_; }

  // Safe from any thread: the running call's wait (name lookup, connect,
  // handshake, reply, data) ends with EIdOperationAborted within one
  // slice; with no call running, the next wait does. ClearCancel forgets
  // a request nothing has met yet.
  void Cancel();
  void ClearCancel();
  // A wait was ended by a cancel since the last ClearCancel.
  bool CancelFired() const { return cancel_fired_; }
  // Raises EIdOperationAborted for a pending cancel, as a wait would: for
  // long work between waits (reading a large listing).
  void ThrowIfCancelled();

  // Events (unassigned ones are not called).
  TIdNotifyEvent OnDisconnected;
  TIdStatusEvent OnStatus;
  TWorkEvent OnWorkBegin;  // count = expected total, 0 when unknown
  TWorkEvent OnWork;       // count = bytes so far
  TWorkEndEvent OnWorkEnd;

  TIdRFCReply LastReply;

  bool Connected() const { return socket_.IsOpen(); }
  // Whether the control connection runs over TLS.
  bool Encrypted() const { return tls_ != nullptr; }

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
  // Sends `commands` together in one write, then reads one reply per
  // command, in order, each within GetResponse's bounds, codes unchecked:
  // the replies of a round trip's worth of commands arrive together. A
  // command holding CR or LF is refused before anything is written; a reply
  // that cannot be read closes the connection as GetResponse does (the
  // replies still owed would be taken for later commands'). LastReply is
  // the last reply.
  std::vector<TIdRFCReply> SendCmds(const std::vector<std::string>& commands);

  // Closes the socket, discards unread input and fires OnDisconnected.
  void DisconnectSocket();

 protected:
  static int64_t NowMs();
  // Waits until one of `fds` reports an event, polling in slices with the
  // hook between them. Returns false once `deadline_ms` (steady clock ms;
  // 0 = none) has passed. Raises EIdOperationAborted on a cancel.
  bool WaitForEvents(::pollfd* fds, int count, int64_t deadline_ms);
  // For loops that move data without waiting: calls the hook once a slice
  // of time has passed since the last call. Cheap when it has not.
  void YieldToHook() {
    if (NowMs() >= next_hook_ms_) CallHook();
  }
  void CallHook();
  // Refuses a call made from inside the hook.
  void CheckNotReentered() const;
  // Connects `socket` to `to`, waiting in slices. timeout_ms < 0: no limit
  // of our own; on expiry EIdConnectTimeout. A refusal raises
  // EIdSocketError.
  void ConnectSocket(Socket& socket, const SocketAddress& to, int timeout_ms);
  // Closes the control connection because it can no longer be trusted to be
  // in step (a reply timed out, was cut off or cancelled).
  void DropConnection();

  // When set, the hook's answer is ignored (cleanup after a cancel must
  // run to its bound; events still run).
  bool ignore_cancel_ = false;
  std::atomic<bool> abort_requested_{false};
  std::atomic<bool> cancel_fired_{false};

  void DoStatus(TIdStatus status, const std::string& text);
  // Reads a reply whose whole arrival is bounded by `timeout_ms` (0 = none);
  // when the bound passes, `on_timeout` raises. Any failure to read a whole
  // reply closes the connection (its reply would arrive later and be taken
  // for the next command's), except a cancel with `close_on_cancel` false,
  // where the caller brings the replies back in step itself.
  int16_t GetResponseWithin(const std::vector<int16_t>& codes, int timeout_ms,
                            const std::function<void()>& on_timeout, bool close_on_cancel = true);
  void CheckResponse(const std::vector<int16_t>& codes);
  int ControlFd() const { return socket_.fd(); }
  // Input that can be read without waiting for the socket.
  bool InputBuffered() const { return buffer_.Unread() > 0 || (tls_ && tls_->Pending()); }
  void AttachSocket(Socket socket);
  // Runs the TLS handshake on the control connection, which carries TLS
  // from then on. Bounded by `timeout_ms` (> 0) and cancellable; failures
  // raise EIdTLSHandshakeFailed.
  void StartControlTLS(const TIdTLSContext& context, const std::string& host, int timeout_ms);
  const TIdTLSStream* ControlTLS() const { return tls_.get(); }
  // Drives `stream`'s handshake on `fd`, waiting in slices until
  // `deadline_ms` (steady clock ms).
  void RunHandshake(TIdTLSStream& stream, int fd, int64_t deadline_ms);

 private:
  void ReadFromStack();
  // Waits for `events` on the control socket within the reply's bounds.
  void WaitForControl(short events);
  // The connection broke (`winsock_error`) or ended (0): close our side.
  void ConnectionEnded(int winsock_error);

  Socket socket_;
  std::unique_ptr<TIdTLSStream> tls_;
  LineBuffer buffer_;
  bool closed_gracefully_ = false;
  // Set when the connection broke (reset, failed send): later writes say
  // the connection was lost rather than "Not Connected".
  int lost_error_ = -1;
  TIdWaitHook wait_hook_;
  bool in_hook_ = false;
  int cancel_fd_ = -1;  // eventfd: readable once Cancel has been called
  int64_t next_hook_ms_ = 0;
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
