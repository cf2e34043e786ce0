#pragma once
// Failures of a remote connection, whatever protocol carries it. The SFTP
// client raises these; the FTP forms of the remote seam turn their client's
// own failures into them; the operations and the site sync sort by them.
// what() is the text the user's message is made of (a server's reply in the
// connection's name encoding, every other text UTF-8).
//
// Core code (no Qt). Here rather than beside the seam in src/remote because
// the SFTP client below it raises them too.
#include <exception>
#include <string>

namespace hemlo::remote {

class RemoteError : public std::exception {
 public:
  explicit RemoteError(std::string text) : text_(std::move(text)) {}
  const char* what() const noexcept override { return text_.c_str(); }
  // Raises a copy of this error as its own type.
  [[noreturn]] virtual void Raise() const { throw *this; }

 private:
  std::string text_;
};

#define HEMLO_REMOTE_ERROR_RAISES \
  [[noreturn]] void Raise() const override { throw *this; }

inline constexpr char kConnectionLostText[] = "サーバとの接続が切れました";

// The connection cannot carry another command. Quiet: the peer simply went
// away (closed, reset, stopped answering), nothing to tell but the loss;
// otherwise the text says what broke (no connection, a socket error).
class ConnectionLost : public RemoteError {
 public:
  explicit ConnectionLost(std::string text = kConnectionLostText, bool quiet = true)
      : RemoteError(std::move(text)), quiet_(quiet) {}
  bool Quiet() const noexcept { return quiet_; }
  HEMLO_REMOTE_ERROR_RAISES

 private:
  bool quiet_;
};

// A wait ran out. When it was the wait for a command's reply the connection
// is out of step and counts as lost.
class TimedOut : public RemoteError {
 public:
  explicit TimedOut(std::string text, bool connection_lost = false)
      : RemoteError(std::move(text)), lost_(connection_lost) {}
  bool LeftConnectionLost() const noexcept { return lost_; }
  HEMLO_REMOTE_ERROR_RAISES

 private:
  bool lost_;
};

// One step was refused, by the server or by the client before anything was
// sent; the connection can carry the next. FromServer: what() is the
// server's reply as it came (name encoding, CR LF after each line).
class Refused : public RemoteError {
 public:
  explicit Refused(std::string text, bool from_server = false, int reply_code = 0)
      : RemoteError(std::move(text)), from_server_(from_server), code_(reply_code) {}
  bool FromServer() const noexcept { return from_server_; }
  int ReplyCode() const noexcept { return code_; }
  HEMLO_REMOTE_ERROR_RAISES

 private:
  bool from_server_;
  int code_;
};

// The encrypted channel could not be set up: the server would not encrypt
// (nothing secret was sent), or the handshake failed (what() says why).
class SecureChannelFailed : public Refused {
 public:
  SecureChannelFailed(std::string text, bool server_declined)
      : Refused(std::move(text)), declined_(server_declined) {}
  bool ServerDeclined() const noexcept { return declined_; }
  HEMLO_REMOTE_ERROR_RAISES

 private:
  bool declined_;
};

// The user (or a stop request) ended the wait.
class Cancelled : public RemoteError {
 public:
  explicit Cancelled(std::string text = "操作を中止しました") : RemoteError(std::move(text)) {}
  HEMLO_REMOTE_ERROR_RAISES
};

// A local file could not be opened, read, written or put in place.
class LocalFileError : public RemoteError {
 public:
  using RemoteError::RemoteError;
  HEMLO_REMOTE_ERROR_RAISES
};

// The server's certificate or host key was not accepted: the connection
// was given up.
class TrustDeclined : public RemoteError {
 public:
  enum class Of { kCertificate, kHostKey };
  TrustDeclined(std::string text, Of of) : RemoteError(std::move(text)), of_(of) {}
  Of What() const noexcept { return of_; }
  HEMLO_REMOTE_ERROR_RAISES

 private:
  Of of_;
};

#undef HEMLO_REMOTE_ERROR_RAISES

// The connection cannot carry another command (lost, or a reply that
// never came).
bool IsLost(const std::exception& error);
// The peer went away: nothing to show but that the connection is lost.
bool IsQuietLoss(const std::exception& error);
// One step refused with the connection still usable: any failure of the
// connection but a loss or a cancel.
bool IsRefusal(const std::exception_ptr& error);

}  // namespace hemlo::remote
