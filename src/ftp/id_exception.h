#pragma once
// Exceptions of the FTP client. Every failure reaches the caller as one of
// these; the transfer tool shows what() to the user, so the messages are
// fixed texts: the protocol's classic ones in English, the client's own
// in Japanese (UTF-8).
#include <cstdint>
#include <exception>
#include <string>

#include "base/socket_errors.h"

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
  explicit EIdConnectionLost(std::string message = "サーバとの接続が切れました",
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
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdReplyTimeout, EIdException,
                               "サーバから時間内に応答がありませんでした")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdDataConnectTimeout, EIdException,
                               "サーバが時間内にデータ接続を開きませんでした")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdAbortReplyTimeout, EIdException,
                               "中断した転送のあと、サーバから最後の応答がありませんでした")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdDataTimeout, EIdException, "データの転送が途中で止まりました")
// A name, path or other argument holding CR or LF would smuggle a second
// command onto the control connection; such text is never sent.
HEMLO_FTP_FIXED_TEXT_EXCEPTION(
    EIdIllegalCommandText, EIdException,
    "名前かパスに改行（CR または LF）が含まれているため、送信しませんでした")
// The server answered a file transfer with 426/450: the data is incomplete.
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdFTPTransferAborted, EIdException, "サーバが転送を中断しました")
// AbortTransfer closed the data channel while the transfer ran (called
// from a progress handler): the data is incomplete. The server's replies
// to the transfer and to ABOR have been read, as after any other failure.
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdFTPTransferAbortedHere, EIdException, "転送を中止しました")

// The wait hook asked to stop (the user cancelled). Connected() then says
// whether the control connection was kept in step or closed.
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdOperationAborted, EIdException, "操作を中止しました")
// An FTP call made from inside the wait hook while another call runs.
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdClientBusy, EIdException,
                               "ほかの FTP の操作がまだ終わっていません")
// Caps on what a server can make the client hold in memory.
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdReplyTooManyLines, EIdException, "サーバの応答の行数が多すぎます")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdReplyTooLarge, EIdException, "サーバの応答が大きすぎます")
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdListingTooLarge, EIdException, "フォルダの一覧が大きすぎます")

// The server answered AUTH TLS with anything but 234. The connection is
// closed; the user name and password were never sent.
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdTLSRefused, EIdException,
                               "サーバが暗号化した接続（AUTH TLS）を受け付けませんでした")
// The certificate was not accepted (no OnVerifyCertificate, or it said no).
HEMLO_FTP_FIXED_TEXT_EXCEPTION(EIdCertificateRejected, EIdException,
                               "サーバの証明書を受け入れなかったため、接続を中止しました")

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

using hemlo::SocketErrorText;
using hemlo::WinsockErrorFromErrno;
using hemlo::WinsockErrorFromResolver;

}  // namespace hemlo::ftp
