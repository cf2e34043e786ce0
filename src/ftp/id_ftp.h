#pragma once
// The FTP client used by the transfer tool: login, directory and file
// commands, and the data channel for listings, downloads and uploads.
// Blocking calls on the caller's thread; failures raise EIdException
// subclasses. Names and paths are the server's bytes (Shift-JIS), sent and
// kept unchanged.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

#include "ftp/id_ftp_list.h"
#include "ftp/id_tcp_connection.h"
#include "ftp/id_tls.h"

namespace hemlo::ftp {

// Bounds on waits the protocol leaves open: the server's connection to our
// data port, the final reply after 426/450, and a stalled data transfer.
inline constexpr int kDefaultDataConnectTimeoutMs = 60'000;
inline constexpr int kDefaultAbortReplyTimeoutMs = 60'000;
inline constexpr int kDefaultDataTimeoutMs = 120'000;
// In automatic mode, how long a passive data connection may take before the
// client falls back to active mode.
inline constexpr int kPassiveProbeConnectTimeoutMs = 10'000;
// Caps on one listing, in bytes and in lines (a million entries pass both):
// a server that never ends a listing cannot exhaust memory.
inline constexpr int64_t kMaxListingBytes = int64_t{512} << 20;
inline constexpr int64_t kMaxListingLines = 2'000'000;

// Shown when the server cannot tell its system type (SYST answered 500).
inline constexpr const char* kUnknownSystem = "\x95\x73\x96\xBE";  // "不明" in Shift-JIS

enum class TIdFTPTransferType { ftASCII, ftBinary };

enum class TIdFtpProxyType {
  fpcmNone,
  fpcmUserSite,
  fpcmSite,
  fpcmOpen,
  fpcmUserPass,
  fpcmTransparent,
  fpcmHttpProxyWithFtp,
};

// How data connections are made.
// dmAuto: EPSV, then PASV; active (PORT) only when no passive data
// connection can be made. What worked is kept for the rest of the
// connection. dmPassive: EPSV, then PASV, never PORT. dmActive: PORT only.
// Passive replies' addresses are ignored: the data connection goes to the
// control connection's peer. In active mode only a connection from that
// peer's address is accepted.
enum class TIdDataMode { dmAuto, dmPassive, dmActive };

// Only fpcmNone is supported; the other fields are kept for completeness.
struct TIdFtpProxySettings {
  TIdFtpProxyType ProxyType = TIdFtpProxyType::fpcmNone;
  std::string Host;
  int Port = 0;
  std::string UserName;
  std::string Password;
};

class TIdFTP : public TIdTCPClient {
 public:
  TIdFTP();
  ~TIdFTP() override;

  // Properties.
  std::string Username;
  std::string Password;
  bool Passive = false;  // true forces dmPassive whatever DataMode says
  TIdDataMode DataMode = TIdDataMode::dmAuto;
  int64_t MaxListingBytes = kMaxListingBytes;  // EIdListingTooLarge beyond
  int64_t MaxListingLines = kMaxListingLines;  // EIdListingTooLarge beyond
  TIdFtpProxySettings ProxySettings;
  int DataConnectTimeout = kDefaultDataConnectTimeoutMs;  // ms; 0 = none
  int AbortReplyTimeout = kDefaultAbortReplyTimeoutMs;    // ms; 0 = none
  int DataTimeout = kDefaultDataTimeoutMs;                // ms per send/receive; 0 = none
  // Explicit TLS: AUTH TLS right after the greeting, PBSZ 0 and PROT P
  // after login, every data connection over TLS reusing the session.
  // The handshakes are bounded by ReplyTimeout (or ReadTimeout when set)
  // and DataConnectTimeout.
  bool UseTLS = false;
  // With UseTLS: implicit TLS (ftps://, port 990), the handshake before
  // the greeting and no AUTH TLS; the rest as above.
  bool ImplicitTLS = false;
  std::string TLSHostName;  // name checked against the certificate; empty = Host

  // Events.
  TIdNotifyEvent OnAfterClientLogin;
  // After a successful download, with the local path that now holds it.
  std::function<void(TIdFTP& sender, const std::string& local_path)> OnAfterGet;
  std::function<void(TIdFTPListItems& sender, TIdFTPListFormat& format)> OnCheckListFormat;
  std::function<void(TIdFTPListItem& item)> OnParseCustomListFormat;
  // Called during Connect, on the caller's thread, only when the control
  // connection's certificate has a Problem. true = go on; false or no
  // handler = the connection is closed and EIdCertificateRejected raised.
  std::function<bool(const TIdCertificateInfo&)> OnVerifyCertificate;

  // State.
  TIdRFCReply GreetingReply;
  TIdRFCReply LoginReply;
  std::string SystemDescription;
  // The control connection's certificate after a TLS connect.
  std::optional<TIdCertificateInfo> PeerCertificate() const { return peer_certificate_; }

  TIdFTPTransferType TransferType() const { return transfer_type_; }
  // Sends TYPE only when the value changes and the client is connected;
  // ignored while a data channel is open.
  void SetTransferType(TIdFTPTransferType type);

  // Connects, reads the 220 greeting and (auto_login) logs in, announces
  // the transfer type and asks SYST. On any failure the client closes
  // (OnDisconnected fires) and the exception propagates.
  void Connect(bool auto_login = true, int timeout_ms = -1);
  void Login();
  // Sends QUIT without waiting for a reply, then closes. OnDisconnected
  // fires even when the client was not connected.
  void Disconnect();
  // Outside a call: sends ABOR (reply left unread) and closes the data
  // channel, if any. From a progress handler of a running transfer: the
  // same, and the transfer then raises EIdFTPTransferAbortedHere once it
  // has read the replies. From inside the wait hook: cancels the running
  // call as RequestAbort does. Disconnect from inside the hook cancels the
  // running call and closes the connection once it has stopped.
  void AbortTransfer();

  void ChangeDirectory(const std::string& path);
  void ParentDirectory();
  std::string CurrentDirectory();
  void CreateDirectory(const std::string& name);
  void RemoveDirectory(const std::string& name);
  void DeleteFile(const std::string& name);
  void RenameFile(const std::string& old_name, const std::string& new_name);
  void SiteCommand(const std::string& text);

  // LIST (details) or NLST; the lines land in ListingText() and in `dest`.
  // With `hidden`, sends "LIST -a" so dot files show; a server that refuses
  // it or takes "-a" for a name gets plain LIST for the rest of the
  // connection. A path starting with "-" goes out as "./path" so it cannot
  // be read as options. A listing the server ends with 426/450 raises
  // EIdFTPTransferAborted (it is incomplete).
  void ListDirectory(std::vector<std::string>* dest = nullptr, const std::string& path = {},
                     bool details = true, bool hidden = false);
  // Lists `path` for its entries: MLSD when the server offers MLST, else
  // LIST (with "-a" when `hidden`, as ListDirectory). With `probe`, FEAT is
  // asked once per connection to find out; without it only a server already
  // known to offer MLST gets MLSD, so no command is added on other servers.
  // A server that refuses MLSD gets LIST for the rest of the connection.
  void ListEntries(const std::string& path = {}, bool hidden = true, bool probe = true);
  // Whether FEAT lists MLST; asks FEAT at most once per connection.
  bool MlstSupported();
  // Whether FEAT announced a feature, by the first word of its line
  // ("UTF8", "MLST"), case-insensitive. Shares MlstSupported's one FEAT.
  bool FeatureAnnounced(std::string_view name);
  // "OPTS UTF8 ON": false when the server refused it (many servers use
  // UTF-8 without being asked, so a refusal is not an error).
  bool EnableUtf8Names();
  // Whether the last listing came from MLSD.
  bool ListingIsMlsd() const { return listing_mlsd_; }
  const std::vector<std::string>& ListingText() const { return listing_; }
  // Hands the last listing's lines over, leaving none (so a reader may free
  // them as it goes).
  std::vector<std::string> TakeListing() {
    directory_listing_.reset();
    return std::exchange(listing_, {});
  }
  // Frees the last listing's lines and items (a long one holds much memory).
  void ReleaseListing() {
    std::vector<std::string>().swap(listing_);
    directory_listing_.reset();
  }
  // Items parsed from the last listing, built on first use.
  TIdFTPListItems& DirectoryListing();

  // RETR into a temporary file beside `local_path`, which replaces the
  // local file only when the transfer succeeded. A 426/450 end reply raises
  // EIdFTPTransferAborted and leaves the local file as it was.
  void Download(const std::string& remote_name, const std::string& local_path,
                bool overwrite = false, bool resume = false);
  // STOR (APPE with append, STOU with an empty remote name). The local file
  // is opened and checked before anything is sent; a local read failure
  // later resets the data connection so the server does not keep a cut-off
  // file as if complete. A 426/450 end reply raises EIdFTPTransferAborted.
  void Upload(const std::string& local_path, const std::string& remote_name, bool append = false);

  // Whether the server accepts REST (probed once per client object).
  bool ResumeSupported();
  bool DataChannelOpen() const { return data_ != nullptr; }
  // The mode the current connection settled on; dmAuto until a transfer
  // in automatic mode has found out.
  TIdDataMode DataModeInUse() const { return mode_in_use_; }
  // Whether "LIST -a" is still tried on this connection.
  bool HiddenListingSupported() const { return list_hidden_ok_; }

 private:
  struct DataChannel;

  // AUTH TLS and the control connection's handshake.
  void StartTLS();
  // The control connection's handshake and the certificate's check.
  void SecureControl();
  // PBSZ 0 and PROT P: data connections go over TLS too.
  void ProtectData();
  // The data connection's handshake, offering the control connection's
  // session.
  void StartDataTLS();
  // Ends the data connection cleanly (close_notify first over TLS).
  void CloseDataConnection();
  // One receive or send on the data connection: > 0 bytes moved, 0 the
  // end (receive), -1 with errno set (EAGAIN: nothing this slice).
  ssize_t DataReceive(char* buf, size_t size);
  ssize_t DataSend(const char* buf, size_t size);
  std::optional<TIdCertificateInfo> peer_certificate_;
  std::unique_ptr<TIdTLSContext> tls_context_;
  TIdTLSSession data_session_;  // offered to the next data connection
  class TransferScope;

  void SendTransferType();
  void CloseWithoutQuit();
  // Runs one data transfer. A failure once the transfer command has been
  // accepted (reset, stall, local error, cancel, late reply) resets the data
  // connection and brings the control connection back in step, or closes
  // it; the failure is then raised (a lost control connection as
  // EIdConnectionLost). A 426/450 end reply raises EIdFTPTransferAborted.
  void RunTransfer(const std::string& command, const std::vector<int16_t>& codes,
                   int64_t rest_offset, const std::function<void()>& body);
  void OpenDataChannel(const std::string& command, const std::vector<int16_t>& codes,
                       int64_t rest_offset);
  // EPSV, then PASV: the port the server listens on, or nullopt when both
  // were refused or named no usable port.
  std::optional<uint16_t> RequestPassivePort();
  void OpenActiveListener();
  void WaitForServerConnection();
  void ReadEndReply();
  // Sends ABOR (when `abort`) and NOOP, then reads replies until NOOP's 200
  // within `timeout_ms`; closes the control connection when that fails.
  void Resynchronise(bool abort, int timeout_ms);
  void ReceiveAll(const std::function<void(const char*, size_t)>& sink);
  void SendFile(int file_fd);
  void ListInto(std::vector<std::string>& lines, const std::string& command);

  TIdFTPTransferType transfer_type_ = TIdFTPTransferType::ftBinary;
  std::unique_ptr<DataChannel> data_;
  std::vector<std::string> listing_;
  bool listing_details_ = true;
  std::unique_ptr<TIdFTPListItems> directory_listing_;
  int resume_probe_ = -1;  // -1 not probed, 0 no, 1 yes
  TIdDataMode mode_in_use_ = TIdDataMode::dmAuto;
  bool epsv_refused_ = false;
  bool list_hidden_ok_ = true;
  int mlst_ = -1;  // -1 FEAT not asked, 0 no MLST (or MLSD refused), 1 MLST offered
  // The feature lines of this connection's FEAT reply; nullopt until asked.
  std::optional<std::vector<std::string>> features_;
  const std::vector<std::string>& Features();
  bool listing_mlsd_ = false;
  bool disconnect_requested_ = false;
  bool data_phase_ = false;  // the transfer command has been accepted
  std::optional<TIdRFCReply> early_end_reply_;
};

// Cuts listing bytes into lines at CR LF, CR or LF, byte for byte, as the
// bytes arrive in pieces of any size (a CR LF may be split between two).
class ListingLineSplitter {
 public:
  explicit ListingLineSplitter(std::vector<std::string>& lines) : lines_(lines) {}
  void Add(const char* p, size_t n);
  // The last line, when the bytes end without a line break.
  void Finish();

 private:
  std::vector<std::string>& lines_;
  std::string partial_;
  bool after_cr_ = false;
};

// Splits listing bytes into lines at CR LF, CR or LF, byte for byte.
std::vector<std::string> SplitListingLines(const std::string& bytes);
// "a,b,c,d,p1,p2" argument of PORT.
std::string PortArgument(const std::string& ip, uint16_t port);
// Address and port from a PASV reply's first text line. Throws
// EIdProtocolReplyError-free EIdException on non-numeric fields.
SocketAddress ParsePasvReply(const std::string& text);

}  // namespace hemlo::ftp
