#pragma once
// Exceptions of the FTP client. Every failure reaches the caller as one of
// these; the transfer tool shows what() to the user, so the messages are
// fixed texts.
#include <cstdint>
#include <exception>
#include <string>

namespace hemlo::ftp {

class EIdException : public std::exception {
 public:
  explicit EIdException(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string message_;
};

// Failures the tool need not show (the peer simply went away).
class EIdSilentException : public EIdException {
 public:
  using EIdException::EIdException;
};

// The control connection is gone: the server closed it, reset it, or it
// broke while a command was under way. The client is closed when this is
// raised (Connected() is false); callers tell the user the connection was
// lost, never that the server refused or that the step succeeded.
class EIdConnectionLost : public EIdSilentException {
 public:
  explicit EIdConnectionLost(std::string message = "The connection to the server was lost.",
                             int winsock_error = 0)
      : EIdSilentException(std::move(message)), error_(winsock_error) {}
  // The socket error behind the loss (Winsock numbering), 0 for a close.
  int LastError() const noexcept { return error_; }

 private:
  int error_;
};

class EIdConnClosedGracefully : public EIdConnectionLost {
 public:
  EIdConnClosedGracefully() : EIdConnectionLost("Connection Closed Gracefully.") {}
};

// A reply code outside the set a command accepts. The message is the reply's
// text lines, each followed by CR LF.
class EIdProtocolReplyError : public EIdException {
 public:
  EIdProtocolReplyError(int code, std::string message)
      : EIdException(std::move(message)), code_(code) {}
  int ErrorCode() const noexcept { return code_; }

 private:
  int code_;
};

// "Socket Error # %d\r\n%s" with Winsock numbering.
class EIdSocketError : public EIdException {
 public:
  explicit EIdSocketError(int winsock_error);
  int LastError() const noexcept { return error_; }

 private:
  int error_;
};

#define HEMLO_FTP_FIXED_TEXT_EXCEPTION(Name, Base, Text) \
  class Name : public Base {                             \
   public:                                               \
    Name() : Base(Text) {}                               \
  };

HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdNotConnected, EIdException, "Not Connected")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdAlreadyConnected, EIdException, "Already connected.")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdReadLnMaxLineLengthExceeded, EIdException,
                               "Max line length exceeded.")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdReadTimeout, EIdException, "Read Timeout")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdConnectTimeout, EIdException, "Connect timed out.")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdInvalidSocket, EIdException, "Cannot allocate socket.")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdCouldNotBindSocket, EIdException,
                               "Could not bind socket. Address and port are already in use.")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdFTPFileAlreadyExists, EIdException,
                               "Destination file already exists.")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdNoDataToRead, EIdException, "No data to read.")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdInvalidFTPListingFormat, EIdException,
                               "Unknown FTP listing format")

// Bounds on waits that would otherwise have no end (a silent server must not
// freeze the tool). Each has its own class so callers can tell them apart.
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdReplyTimeout, EIdException, "The server did not reply in time.")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdDataConnectTimeout, EIdException,
                               "The server did not open the data connection in time.")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdAbortReplyTimeout, EIdException,
                               "The server sent no final reply after the aborted transfer.")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdDataTimeout, EIdException, "The data transfer stalled.")
// A name, path or other argument holding CR or LF would smuggle a second
// command onto the control connection; such text is never sent.
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdIllegalCommandText, EIdException,
                               "A name or path contains a line break (CR or LF); nothing was sent.")
// The server answered a file transfer with 426/450: the data is incomplete.
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdFTPTransferAborted, EIdException, "Transfer aborted")

// The wait hook asked to stop (the user cancelled). Connected() then says
// whether the control connection was kept in step or closed.
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdOperationAborted, EIdException, "The operation was cancelled.")
// An FTP call made from inside the wait hook while another call runs.
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdClientBusy, EIdException,
                               "Another FTP operation is still running.")
// Caps on what a server can make the client hold in memory.
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdReplyTooManyLines, EIdException,
                               "The server's reply has too many lines.")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdReplyTooLarge, EIdException, "The server's reply is too large.")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdListingTooLarge, EIdException,
                               "The directory listing is too large.")

// The server answered AUTH TLS with anything but 234. The connection is
// closed; the user name and password were never sent.
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdTLSRefused, EIdException,
                               "The server does not accept a TLS connection (AUTH TLS).")
// The certificate was not accepted (no OnVerifyCertificate, or it said no).
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdCertificateRejected, EIdException,
                               "The server's certificate was rejected.")

#undef HEMLO_FTP_FIXED_TEXT_EXCEPTION

// The TLS handshake failed or the peer closed during it; the text carries
// the TLS library's reason.
class EIdTLSHandshakeFailed : public EIdException {
 public:
  using EIdException::EIdException;
};

// The failure of a connect that ran with a time limit.
class EIdConnectException : public EIdException {
 public:
  using EIdException::EIdException;
};

// A local file could not be opened, read, written or put in place.
class EIdFTPLocalFileError : public EIdException {
 public:
  using EIdException::EIdException;
};

// Text of a Winsock error number; empty for numbers outside the table.
std::string SocketErrorText(int winsock_error);
// Maps a POSIX errno onto Winsock numbering (unknown values map to themselves).
int WinsockErrorFromErrno(int err);
// Maps a getaddrinfo() error onto Winsock numbering.
int WinsockErrorFromResolver(int gai_error);

}  // namespace hemlo::ftp
