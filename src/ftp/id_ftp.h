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
#include <vector>

#include "ftp/id_ftp_list.h"
#include "ftp/id_tcp_connection.h"

namespace hemlo::ftp {

// Bounds on waits the protocol leaves open: the server's connection to our
// data port, the final reply after 426/450, and a stalled data transfer.
inline constexpr int kDefaultDataConnectTimeoutMs = 60'000;
inline constexpr int kDefaultAbortReplyTimeoutMs = 60'000;
inline constexpr int kDefaultDataTimeoutMs = 120'000;

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
  bool Passive = false;
  TIdFtpProxySettings ProxySettings;
  int DataConnectTimeout = kDefaultDataConnectTimeoutMs;  // ms; 0 = none
  int AbortReplyTimeout = kDefaultAbortReplyTimeoutMs;    // ms; 0 = none
  int DataTimeout = kDefaultDataTimeoutMs;                // ms per send/receive; 0 = none

  // Events.
  TIdNotifyEvent OnAfterClientLogin;
  // After a successful download, with the local path that now holds it.
  std::function<void(TIdFTP& sender, const std::string& local_path)> OnAfterGet;
  std::function<void(TIdFTPListItems& sender, TIdFTPListFormat& format)> OnCheckListFormat;
  std::function<void(TIdFTPListItem& item)> OnParseCustomListFormat;

  // State.
  TIdRFCReply GreetingReply;
  TIdRFCReply LoginReply;
  std::string SystemDescription;

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
  // Sends ABOR (reply left unread) and closes the data channel, if any.
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
  void ListDirectory(std::vector<std::string>* dest = nullptr, const std::string& path = {},
                     bool details = true);
  const std::vector<std::string>& ListingText() const { return listing_; }
  // Items parsed from the last listing, built on first use.
  TIdFTPListItems& DirectoryListing();

  // RETR into a temporary file beside `local_path`, which replaces the
  // local file only when the transfer succeeded. A 426/450 end reply raises
  // EIdFTPTransferAborted and leaves the local file as it was.
  void Download(const std::string& remote_name, const std::string& local_path, bool overwrite = false,
                bool resume = false);
  // STOR (APPE with append, STOU with an empty remote name). A 426/450 end
  // reply raises EIdFTPTransferAborted.
  void Upload(const std::string& local_path, const std::string& remote_name, bool append = false);

  // Whether the server accepts REST (probed once per client object).
  bool ResumeSupported();
  bool DataChannelOpen() const { return data_ != nullptr; }

 private:
  struct DataChannel;
  class TransferScope;

  void SendTransferType();
  void CloseWithoutQuit();
  // Runs one data transfer; returns true when the server ended it with
  // 426/450 (then followed by its final reply).
  bool RunTransfer(const std::string& command, const std::vector<int16_t>& codes, int64_t rest_offset,
                   const std::function<void(int data_fd)>& body);
  void OpenDataChannel(const std::string& command, const std::vector<int16_t>& codes, int64_t rest_offset);
  void WaitForServerConnection();
  bool ReadEndReply();
  void ReceiveAll(int data_fd, const std::function<void(const char*, size_t)>& sink);
  void SendFile(int file_fd, int data_fd);

  TIdFTPTransferType transfer_type_ = TIdFTPTransferType::ftBinary;
  std::unique_ptr<DataChannel> data_;
  std::vector<std::string> listing_;
  bool listing_details_ = true;
  std::unique_ptr<TIdFTPListItems> directory_listing_;
  int resume_probe_ = -1;  // -1 not probed, 0 no, 1 yes
  std::optional<TIdRFCReply> early_end_reply_;
};

// Splits listing bytes into lines at CR LF, CR or LF, byte for byte.
std::vector<std::string> SplitListingLines(const std::string& bytes);
// "a,b,c,d,p1,p2" argument of PORT.
std::string PortArgument(const std::string& ip, uint16_t port);
// Address and port from a PASV reply's first text line. Throws
// EIdProtocolReplyError-free EIdException on non-numeric fields.
SocketAddress ParsePasvReply(const std::string& text);

}  // namespace hemlo::ftp
