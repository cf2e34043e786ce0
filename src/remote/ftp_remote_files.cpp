#include "remote/ftp_remote_files.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/stat.h>

#include "ftp/id_ftp_list.h"
#include "remote/ftp_errors.h"

namespace hemlo::transfer {

namespace {

constexpr double kUnixEpochDays = 25569.0;  // 1970-01-01 in days since 1899-12-30

// Days since 1899-12-30 (wall clock as listed) as seconds since 1970.
std::optional<int64_t> SecondsOfDays(double days) {
  if (days <= 0) return std::nullopt;
  const double s = (days - kUnixEpochDays) * 86400.0;
  return static_cast<int64_t>(s < 0 ? s - 0.5 : s + 0.5);
}

// "YYYYMMDDhhmmss[.fff]" of MDTM/MFMT, UTC.
std::optional<int64_t> ParseFactTime(const std::string& text) {
  int y, mo, d, h, mi, s;
  if (text.size() < 14 ||
      std::sscanf(text.c_str(), "%4d%2d%2d%2d%2d%2d", &y, &mo, &d, &h, &mi, &s) != 6)
    return std::nullopt;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  return static_cast<int64_t>(timegm(&tm));
}

std::string FactTimeText(int64_t utc) {
  const std::time_t t = static_cast<std::time_t>(utc);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

// Reports the client's byte counts of one transfer to `progress`.
class ProgressScope {
 public:
  ProgressScope(ftp::TIdFTP& ftp, const ByteProgress& progress, int64_t total) : ftp_(ftp) {
    if (!progress) return;
    saved_ = ftp.OnWork;
    ftp.OnWork = [progress, total](ftp::TIdTCPConnection&, ftp::TWorkMode, int64_t count) {
      progress(count, total);
    };
    active_ = true;
  }
  ~ProgressScope() {
    if (active_) ftp_.OnWork = saved_;
  }

 private:
  ftp::TIdFTP& ftp_;
  ftp::TWorkEvent saved_;
  bool active_ = false;
};

int64_t LocalSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
}

// A SIZE reply: the bytes; -1 for no such file; nullopt otherwise.
std::optional<int64_t> SizeOfReply(const ftp::TIdRFCReply& reply) {
  if (reply.NumericCode == 550) return -1;
  if (reply.NumericCode != 213 || reply.Text.empty()) return std::nullopt;
  char* end = nullptr;
  const char* text = reply.Text.front().c_str();
  const long long n = std::strtoll(text, &end, 10);
  if (end == text || n < 0) return std::nullopt;
  return static_cast<int64_t>(n);
}

}  // namespace

FtpRemoteFiles::FtpRemoteFiles(std::unique_ptr<ftp::TIdFTP> owned)
    : owned_(std::move(owned)), ftp_(*owned_) {}

FtpRemoteFiles::~FtpRemoteFiles() {
  if (owned_ && owned_->Connected()) {
    try {
      owned_->Disconnect();
    } catch (...) {
    }
  }
}

std::string FtpRemoteFiles::CurrentFolder() {
  return FtpCall([&] { return ftp_.CurrentDirectory(); });
}

void FtpRemoteFiles::ChangeFolder(const std::string& path) {
  FtpCall([&] { ftp_.ChangeDirectory(path); });
}

std::vector<RemoteFact> FtpRemoteFiles::List(const std::string& folder) {
  FtpCall([&] { ftp_.ListEntries(folder, /*hidden=*/true, /*probe=*/true); });
  // Parsed here rather than through DirectoryListing: MLSD times stay UTC
  // instead of being shown in the local zone.
  ftp::TIdFTPListItems items;
  items.UtcOffsetMinutes = 0;
  const bool mlsd = ftp_.ListingIsMlsd();
  if (mlsd)
    items.LoadMlsd(ftp_.ListingText());
  else
    items.LoadList(ftp_.ListingText(), true);
  ftp_.ReleaseListing();
  last_list_exact_ = mlsd;
  std::vector<RemoteFact> facts;
  facts.reserve(items.Count());
  for (const auto& item : items.Items()) {
    if (item.FileName == "." || item.FileName == ".." || item.FileName.empty()) continue;
    RemoteFact f;
    f.name = item.FileName;
    f.kind = item.ItemType == ftp::TIdDirItemType::ditDirectory      ? RemoteFact::Kind::kFolder
             : item.ItemType == ftp::TIdDirItemType::ditSymbolicLink ? RemoteFact::Kind::kLink
                                                                     : RemoteFact::Kind::kFile;
    f.size = item.Size;
    f.modified_utc = SecondsOfDays(item.ModifiedDate);
    const std::string perm = item.PermissionText();
    if (perm.find('?') == std::string::npos) f.permissions = perm;
    f.link_target = item.LinkTarget;
    facts.push_back(std::move(f));
  }
  return facts;
}

void FtpRemoteFiles::MakeFolder(const std::string& path) {
  FtpCall([&] { ftp_.CreateDirectory(path); });
}

void FtpRemoteFiles::Upload(const std::string& local_path, const std::string& remote_path,
                            const ByteProgress& progress) {
  ProgressScope scope(ftp_, progress, progress ? LocalSize(local_path) : 0);
  FtpCall([&] { ftp_.SetTransferType(ftp::TIdFTPTransferType::ftBinary); });
  const auto before = StampOf(local_path);
  try {
    ftp_.Upload(local_path, remote_path);
  } catch (...) {
    const std::exception_ptr error = AsRemoteError(std::current_exception());
    // A file cut short while read ends the upload early: say that.
    if (remote::IsRefusal(error)) RefuseIfChanged(local_path, before, StampOf(local_path));
    std::rethrow_exception(error);
  }
  RefuseIfChanged(local_path, before, StampOf(local_path));
}

void FtpRemoteFiles::Download(const std::string& remote_path, const std::string& local_path,
                              const ByteProgress& progress) {
  ProgressScope scope(ftp_, progress, 0);
  FtpCall([&] {
    ftp_.SetTransferType(ftp::TIdFTPTransferType::ftBinary);
    ftp_.Download(remote_path, local_path, /*overwrite=*/true);
  });
}

void FtpRemoteFiles::Rename(const std::string& from, const std::string& to) {
  FtpCall([&] { RenameReplacing(from, to); });
}

void FtpRemoteFiles::RenameReplacing(const std::string& from, const std::string& to) {
  // Both names are checked before RNFR goes out, so a bad new name cannot
  // leave the server waiting for RNTO.
  if (ftp::HasLineBreak(from) || ftp::HasLineBreak(to)) throw ftp::EIdIllegalCommandText();
  // A refused RNFR (no such file) raises before anything at `to` is touched.
  ftp_.SendCmd("RNFR " + from, {350});
  try {
    ftp_.SendCmd("RNTO " + to, {250});
    return;
  } catch (const ftp::EIdProtocolReplyError&) {
    if (!ftp_.Connected()) throw;
  }
  RenameAfterDelete(from, to);
}

void FtpRemoteFiles::RenameAfterDelete(const std::string& from, const std::string& to) {
  // Some servers refuse to rename over an existing file: remove it first.
  // A DELE that fails leaves the old file, and the rename's own error is
  // the one worth telling.
  try {
    ftp_.DeleteFile(to);
  } catch (const ftp::EIdProtocolReplyError&) {
    if (!ftp_.Connected()) throw;
  }
  ftp_.RenameFile(from, to);
}

void FtpRemoteFiles::RenamePlain(const std::string& from, const std::string& to) {
  FtpCall([&] { ftp_.RenameFile(from, to); });
}

std::optional<int64_t> FtpRemoteFiles::PlaceUploaded(const std::string& from, const std::string& to,
                                                     int64_t utc_seconds,
                                                     const std::string& aside) {
  return FtpCall([&] { return PlaceUploadedFtp(from, to, utc_seconds, aside); });
}

std::optional<int64_t> FtpRemoteFiles::PlaceUploadedFtp(const std::string& from,
                                                        const std::string& to, int64_t utc_seconds,
                                                        const std::string& aside) {
  listed_after_set_.reset();
  after_place_.reset();
  if (ftp::HasLineBreak(from) || ftp::HasLineBreak(to)) throw ftp::EIdIllegalCommandText();
  const bool mfmt = ftp_.FeatureAnnounced("MFMT");
  // The sizes after the rename ride along: what the server now shows is
  // checked without another round trip.
  const bool size = ftp_.FeatureAnnounced("SIZE");
  if (size) ftp_.SetTransferType(ftp::TIdFTPTransferType::ftBinary);
  std::vector<std::string> commands;
  if (mfmt) commands.push_back("MFMT " + FactTimeText(utc_seconds) + " " + from);
  commands.push_back("RNFR " + from);
  commands.push_back("RNTO " + to);
  if (size) {
    commands.push_back("SIZE " + to);
    commands.push_back("SIZE " + from);
  }
  // Each reply is read in turn: the time's, then the rename's two.
  const std::vector<ftp::TIdRFCReply> replies = ftp_.SendCmds(commands);
  const ftp::TIdRFCReply* reply = replies.data();
  std::optional<int64_t> listed;
  if (mfmt) {
    // A refused time leaves the server's own; the rename goes on.
    if (reply->NumericCode == 213) listed = ModifyFactOf(*reply);
    ++reply;
  }
  const ftp::TIdRFCReply& rnfr = reply[0];
  const ftp::TIdRFCReply& rnto = reply[1];
  if (rnfr.NumericCode != 350)
    throw ftp::EIdProtocolReplyError(rnfr.NumericCode, rnfr.TextWithLineBreaks());
  if (rnto.NumericCode == 250 && size)
    after_place_ = AfterPlace{from, to, SizeOfReply(reply[2]), SizeOfReply(reply[3])};
  if (rnto.NumericCode != 250) {
    if (aside.empty())
      RenameAfterDelete(from, to);
    else
      ReplaceByAside(from, to, aside,
                     std::make_exception_ptr(remote::Refused(rnto.TextWithLineBreaks(),
                                                             /*from_server=*/true,
                                                             rnto.NumericCode)));
  }
  listed_after_set_ = listed;
  return listed;
}

std::optional<int64_t> FtpRemoteFiles::FileSize(const std::string& path) {
  return FtpCall([&]() -> std::optional<int64_t> {
    if (!ftp_.FeatureAnnounced("SIZE")) return std::nullopt;
    ftp_.SetTransferType(ftp::TIdFTPTransferType::ftBinary);
    return SizeOfReply(ftp_.SendCmds({"SIZE " + path}).front());
  });
}

std::pair<std::optional<int64_t>, std::optional<int64_t>> FtpRemoteFiles::SizesAfterPlace(
    const std::string& from, const std::string& to) {
  if (after_place_ && after_place_->from == from && after_place_->to == to)
    return {after_place_->at_to, after_place_->at_from};
  return RemoteFiles::SizesAfterPlace(from, to);
}

void FtpRemoteFiles::DeleteFile(const std::string& path) {
  FtpCall([&] { ftp_.DeleteFile(path); });
}

void FtpRemoteFiles::RemoveFolder(const std::string& path) {
  FtpCall([&] { ftp_.RemoveDirectory(path); });
}

void FtpRemoteFiles::SetMode(const std::string& path, unsigned mode) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%03o", mode & 07777);
  FtpCall([&] { ftp_.SiteCommand(std::string("CHMOD ") + buf + " " + path); });
}

bool FtpRemoteFiles::SetModified(const std::string& path, int64_t utc_seconds) {
  listed_after_set_.reset();
  return FtpCall([&] {
    if (!ftp_.FeatureAnnounced("MFMT")) return false;
    ftp_.SendCmd("MFMT " + FactTimeText(utc_seconds) + " " + path, {213});
    listed_after_set_ = ModifyFactOf(ftp_.LastReply);
    return true;
  });
}

std::optional<int64_t> FtpRemoteFiles::ModifyFactOf(const ftp::TIdRFCReply& reply) {
  // "213 Modify=YYYYMMDDhhmmss; path": the time as the server shows it,
  // which is what its MLSD lists (a server may show its own zone).
  if (!ftp_.MlstSupported() || reply.Text.empty()) return std::nullopt;
  const std::string& line = reply.Text.front();
  const size_t at = line.find("odify=");
  if (at == std::string::npos) return std::nullopt;
  return ParseFactTime(line.substr(at + 6));
}

std::optional<int64_t> FtpRemoteFiles::ModifiedTime(const std::string& path) {
  try {
    ftp_.SendCmd("MDTM " + path, {213});
  } catch (const ftp::EIdProtocolReplyError&) {
    if (!ftp_.Connected()) RethrowAsRemoteError();
    return std::nullopt;
  } catch (...) {
    RethrowAsRemoteError();
  }
  const auto& text = ftp_.LastReply.Text;
  if (text.empty()) return std::nullopt;
  return ParseFactTime(text.front());
}

std::unique_ptr<FtpRemoteFiles> ConnectFtpRemoteFiles(
    const FtpEndpoint& endpoint, const std::function<void(std::function<void()>)>& cancel_with) {
  auto ftp = std::make_unique<ftp::TIdFTP>();
  ftp->Passive = false;
  ftp->DataMode = endpoint.data_mode == DataConnectionMode::kPassive  ? ftp::TIdDataMode::dmPassive
                  : endpoint.data_mode == DataConnectionMode::kActive ? ftp::TIdDataMode::dmActive
                                                                      : ftp::TIdDataMode::dmAuto;
  if (endpoint.configure) endpoint.configure(*ftp);
  ftp::TIdFTP* raw = ftp.get();
  if (cancel_with) cancel_with([raw] { raw->Cancel(); });
  text::RemoteNames names;
  try {
    RemoteSession session(*ftp);
    session.ConnectTimeoutMs = endpoint.connect_timeout_ms;
    session.Connect(endpoint.host_field, endpoint.user, endpoint.password, endpoint.start_folder,
                    endpoint.encoding);
    names = session.Names;
  } catch (...) {
    if (cancel_with) cancel_with(nullptr);
    RethrowAsRemoteError();
  }
  if (cancel_with) cancel_with(nullptr);
  auto remote = std::make_unique<FtpRemoteFiles>(std::move(ftp));
  remote->Names = names;
  return remote;
}

}  // namespace hemlo::transfer
