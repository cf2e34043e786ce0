#pragma once
// The connection side of the transfer tool over the FTP client, without
// widgets: connecting with a profile (home folder, last folder with its
// fallback), listing the current folder into row texts, walking folders.
// Remote names and folders are the server's bytes, in the encoding the
// connection chose (Names).
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/id_ftp.h"
#include "text/remote_names.h"
#include "remote/profile.h"

namespace hemlo::transfer {

// A connect attempt to an unreachable host gives up after this long.
inline constexpr int kConnectTimeoutMs = 30'000;

inline constexpr int kImplicitFtpsPort = 990;

struct HostPort {
  std::string host;
  int port = 21;
  bool tls = false;  // the field asked for FTP over TLS
  bool implicit_tls = false;  // ... from the first byte (ftps://)
};
// "name:port" names a port; anything else (no colon, or no valid port after
// the last one) is a host name for `default_port`.
HostPort SplitHostPort(const std::string& host_field, int default_port);

// The profile's host field: "ftpes://" in front (any case, a trailing "/"
// tolerated) asks for explicit TLS on the plain FTP port; the rest is split
// as above. "ftps://" asks for implicit TLS, the server speaking TLS from
// the first byte, on port 990 unless another is given. Without a prefix
// the field means what it always did, so profile files stay readable by
// older versions.
HostPort ParseHostField(const std::string& host_field, int default_port);
// "sftp://host[:port]" (any case, a trailing "/" tolerated; port 22 when
// none is given); nullopt for any other field.
std::optional<HostPort> ParseSftpHost(const std::string& host_field);

struct RemoteEntry {
  std::string FileName;  // the server's bytes, as sent
  bool Folder = false;   // directory (image 0); files and links are not
  std::string DateText;
  std::string SizeText;
  std::string PermissionText;
};

std::vector<RemoteEntry> RowsOfListing(const ftp::TIdFTPListItems& items);

// One row of the remote list as kept for a listing of any length: the
// server's bytes and the facts, in well under 100 bytes (more only for a
// name of over 15 bytes); the cell texts are made when a row is shown.
struct RemoteListEntry {
  std::string FileName;     // the server's bytes, as sent
  int64_t Size = -1;        // negative: not given or unreadable
  double ModifiedDate = 0;  // days since 1899-12-30; 0: not given
  std::array<char, 10> Permissions{};
  uint8_t PermissionLength = 0;
  bool Folder = false;
  // Where the name shown and entered ends within FileName, when the server
  // names the entry itself longer (a VMS folder WWW is WWW.DIR;1); 0: the
  // whole name.
  uint16_t ShownLength = 0;

  std::string_view ShownName() const {
    return std::string_view(FileName).substr(0, ShownLength ? ShownLength : FileName.size());
  }
  std::string DateText() const;  // blank when not given
  std::string SizeText() const;  // blank when not given
  std::string PermissionText() const { return {Permissions.data(), PermissionLength}; }
};
RemoteListEntry EntryOf(const ftp::TIdFTPListItem& item);
RemoteEntry RowOf(const RemoteListEntry& entry);

// Takes the client's last listing and reads it into entries, `batch_lines`
// lines at a time, freeing the lines as it goes: each batch is parsed and handed to `sink` before
// the next one, so a listing of any length never exists as parsed items all at once, and a pending
// cancel of the client ends the reading between batches. A batch never ends between the two lines
// of one VMS entry. Returns the number of lines that could not be read.
size_t ReadListingInBatches(ftp::TIdFTP& ftp, size_t batch_lines,
                            const std::function<void(std::vector<RemoteListEntry>&&)>& sink);

// The encoding to show a profile's stored folder in before connecting: the
// profile's own, or for automatic the one its bytes read as (Japanese
// Shift-JIS is hardly ever valid UTF-8). Only for showing: the bytes go
// back to the server unchanged.
text::RemoteNames NamesOfStoredFolder(NameEncodingMode mode, std::string_view folder);

// Whether listed names are UTF-8 rather than Shift-JIS: some name is not
// ASCII, every such name is valid UTF-8, and not all of them are valid
// Shift-JIS (short UTF-8 names can pass for Shift-JIS by chance).
bool NamesLookUtf8(const ftp::TIdFTPListItems& items);
// The same, one name at a time (for a listing read in batches).
class Utf8NameVote {
 public:
  void Add(std::string_view name);
  bool LooksUtf8() const { return !refused_ && any_ && not_sjis_; }

 private:
  bool any_ = false, not_sjis_ = false, refused_ = false;
};

// "n 行を読めませんでした" (UTF-8): listing lines the parser skipped.
inline std::string UnreadLinesText(size_t n) { return std::to_string(n) + " 行を読めませんでした"; }

class RemoteSession {
 public:
  explicit RemoteSession(ftp::TIdFTP& ftp) : ftp_(ftp) {}

  // The folder the server reported right after login; "up" stops there.
  std::string HomeFolder;
  // The folder the connection started in: the stored last folder when the
  // server took it, else HomeFolder. The site sync publishes below it.
  std::string StartFolder;
  // How long the TCP connect may take before the attempt fails.
  int ConnectTimeoutMs = kConnectTimeoutMs;

  // How names travel on the current connection.
  text::RemoteNames Names;

  // Sets host, port, TLS (the host field's ftpes://) and login, connects
  // and logs in, settles the name encoding (FEAT; "OPTS UTF8 ON" for
  // UTF-8), records HomeFolder and, when `last_folder` is not empty,
  // changes into it, falling back to HomeFolder when the server refuses.
  // Client errors propagate.
  void Connect(const std::string& host_field, const std::string& user, const std::string& password,
               const std::string& last_folder,
               NameEncodingMode encoding = NameEncodingMode::kAutomatic);

  // Lists the current folder (MLSD where known, else "LIST -a") and, in
  // automatic mode on a Shift-JIS connection, switches Names to UTF-8 when
  // the listing's names say the server uses it unannounced.
  ftp::TIdFTPListItems& ListEntries();
  // The same switch for a listing whose names were counted in `vote`.
  void NoteListedNames(const Utf8NameVote& vote);

  // Into a folder row (relative to the current folder).
  void Enter(const std::string& folder_name);
  // One level up, unless `shown_folder` is HomeFolder (then false).
  bool Up(const std::string& shown_folder);

  ftp::TIdFTP& Client() { return ftp_; }

 private:
  ftp::TIdFTP& ftp_;
  NameEncodingMode mode_ = NameEncodingMode::kAutomatic;
};

}  // namespace hemlo::transfer
