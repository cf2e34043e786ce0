#include "remote/remote_session.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "base/ascii_case.h"
#include "text/utf8.h"
#include "remote/cell_text.h"

namespace hemlo::transfer {

HostPort SplitHostPort(const std::string& host_field, int default_port) {
  HostPort hp{host_field, default_port};
  const size_t colon = host_field.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == host_field.size()) return hp;
  const std::string digits = host_field.substr(colon + 1);
  if (digits.size() > 5) return hp;
  int port = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return hp;
    port = port * 10 + (c - '0');
  }
  if (port < 1 || port > 65535) return hp;
  hp.host = host_field.substr(0, colon);
  hp.port = port;
  return hp;
}

HostPort ParseHostField(const std::string& host_field, int default_port) {
  static constexpr std::string_view kExplicit = "ftpes://", kImplicit = "ftps://";
  const auto starts = [&](std::string_view scheme) {
    return AsciiEqualNoCase(std::string_view(host_field).substr(0, scheme.size()), scheme);
  };
  const bool implicit = starts(kImplicit);
  if (!implicit && !starts(kExplicit)) return SplitHostPort(host_field, default_port);
  std::string rest = host_field.substr((implicit ? kImplicit : kExplicit).size());
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  HostPort hp = SplitHostPort(rest, implicit ? kImplicitFtpsPort : default_port);
  hp.tls = true;
  hp.implicit_tls = implicit;
  return hp;
}

std::optional<HostPort> ParseSftpHost(const std::string& host_field) {
  static constexpr std::string_view kScheme = "sftp://";
  if (!AsciiEqualNoCase(std::string_view(host_field).substr(0, kScheme.size()), kScheme))
    return std::nullopt;
  std::string rest = host_field.substr(kScheme.size());
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  return SplitHostPort(rest, 22);
}

std::string RemoteListEntry::DateText() const {
  // A size or date the listing did not give (or gave unreadably) stays
  // blank: the entry itself can still be downloaded or deleted.
  return ModifiedDate != 0 ? DateCellText(FromDayNumber(ModifiedDate)) : std::string();
}

std::string RemoteListEntry::SizeText() const {
  return Size >= 0 ? SizeCellText(Size) : std::string();
}

RemoteListEntry EntryOf(const ftp::TIdFTPListItem& item) {
  RemoteListEntry e;
  e.FileName = item.FileName;
  if (item.WireName.size() > item.FileName.size() && item.WireName.starts_with(item.FileName) &&
      item.FileName.size() <= UINT16_MAX && !item.FileName.empty()) {
    e.FileName = item.WireName;
    e.ShownLength = static_cast<uint16_t>(item.FileName.size());
  }
  e.Size = item.Size;
  e.ModifiedDate = item.ModifiedDate;
  e.Folder = item.ItemType == ftp::TIdDirItemType::ditDirectory;
  const std::string letters = item.PermissionText();
  e.PermissionLength = static_cast<uint8_t>(std::min(letters.size(), e.Permissions.size()));
  std::copy_n(letters.begin(), e.PermissionLength, e.Permissions.begin());
  return e;
}

RemoteEntry RowOf(const RemoteListEntry& e) {
  return {std::string(e.ShownName()), e.Folder, e.DateText(), e.SizeText(), e.PermissionText()};
}

std::vector<RemoteEntry> RowsOfListing(const ftp::TIdFTPListItems& items) {
  std::vector<RemoteEntry> rows;
  rows.reserve(items.Count());
  for (const auto& item : items.Items()) rows.push_back(RowOf(EntryOf(item)));
  return rows;
}

size_t ReadListingInBatches(ftp::TIdFTP& ftp, size_t batch_lines,
                            const std::function<void(std::vector<RemoteListEntry>&&)>& sink) {
  const bool mlsd = ftp.ListingIsMlsd();
  std::vector<std::string> lines = ftp.TakeListing();
  const size_t step = std::max<size_t>(batch_lines, 2);
  size_t unread = 0;
  for (size_t start = 0; start < lines.size();) {
    ftp.ThrowIfCancelled();
    size_t end = std::min(lines.size(), start + step);
    // A VMS name line may go on in the next line: keep the two together.
    if (end < lines.size() && lines[end - 1].find(';') != std::string::npos) ++end;
    const std::span<const std::string> slice(lines.data() + start, end - start);
    ftp::TIdFTPListItems items;
    if (mlsd)
      items.LoadMlsd(slice);
    else
      items.LoadList(slice, true);
    // The rows have all they need: the lines' memory goes to the next batches.
    for (size_t i = start; i < end; ++i) std::string().swap(lines[i]);
    unread += items.UnparsedLines();
    std::vector<RemoteListEntry> batch;
    batch.reserve(items.Count());
    for (const auto& item : items.Items()) batch.push_back(EntryOf(item));
    sink(std::move(batch));
    start = end;
  }
  return unread;
}

text::RemoteNames NamesOfStoredFolder(NameEncodingMode mode, std::string_view folder) {
  bool multibyte = false;
  const bool utf8 =
      mode == NameEncodingMode::kUtf8 ||
      (mode == NameEncodingMode::kAutomatic && text::IsValidUtf8(folder, &multibyte) && multibyte);
  return text::RemoteNames(utf8 ? text::NameEncoding::kUtf8 : text::NameEncoding::kShiftJis);
}

void Utf8NameVote::Add(std::string_view name) {
  if (refused_) return;
  bool multibyte = false;
  if (!text::IsValidUtf8(name, &multibyte)) {
    // Bytes no UTF-8 server sends: the names are Shift-JIS (or worse).
    refused_ = std::any_of(name.begin(), name.end(),
                           [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    return;
  }
  if (!multibyte) return;
  any_ = true;
  static const text::RemoteNames sjis(text::NameEncoding::kShiftJis);
  not_sjis_ = not_sjis_ || !sjis.ToLocal(name);
}

bool NamesLookUtf8(const ftp::TIdFTPListItems& items) {
  Utf8NameVote vote;
  for (const auto& item : items.Items()) vote.Add(item.FileName);
  return vote.LooksUtf8();
}

void RemoteSession::Connect(const std::string& host_field, const std::string& user,
                            const std::string& password, const std::string& last_folder,
                            NameEncodingMode encoding) {
  const HostPort hp = ParseHostField(host_field, 21);
  ftp_.Host = hp.host;
  ftp_.Port = hp.port;
  ftp_.UseTLS = hp.tls;
  ftp_.ImplicitTLS = hp.implicit_tls;
  ftp_.Username = user;
  ftp_.Password = password;
  Names = text::RemoteNames(text::NameEncoding::kShiftJis);
  mode_ = encoding;
  ftp_.Connect(true, ConnectTimeoutMs);
  ftp_.MlstSupported();  // FEAT once: every listing of this connection uses MLSD where offered
  const bool utf8 = encoding == NameEncodingMode::kUtf8 ||
                    (encoding == NameEncodingMode::kAutomatic && ftp_.FeatureAnnounced("UTF8"));
  if (utf8) {
    // Some servers switch only when asked; the others use UTF-8 anyway, so
    // a refusal changes nothing.
    ftp_.EnableUtf8Names();
    Names = text::RemoteNames(text::NameEncoding::kUtf8);
  }
  HomeFolder = ftp_.CurrentDirectory();
  StartFolder = HomeFolder;
  if (last_folder.empty()) return;
  try {
    ftp_.ChangeDirectory(last_folder);
    StartFolder = last_folder;
  } catch (const ftp::EIdProtocolReplyError&) {
    // The stored folder is gone or closed to us: start at home instead.
    ftp_.ChangeDirectory(HomeFolder);
  }
}

ftp::TIdFTPListItems& RemoteSession::ListEntries() {
  ftp_.ListEntries({}, /*hidden=*/true, /*probe=*/false);
  ftp::TIdFTPListItems& items = ftp_.DirectoryListing();
  Utf8NameVote vote;
  for (const auto& item : items.Items()) vote.Add(item.FileName);
  NoteListedNames(vote);
  return items;
}

void RemoteSession::NoteListedNames(const Utf8NameVote& vote) {
  // Many servers send UTF-8 names without announcing UTF8 in FEAT; once a
  // listing shows it, the connection keeps to UTF-8.
  if (mode_ == NameEncodingMode::kAutomatic && Names.Encoding() == text::NameEncoding::kShiftJis &&
      vote.LooksUtf8())
    Names = text::RemoteNames(text::NameEncoding::kUtf8);
}

void RemoteSession::Enter(const std::string& folder_name) { ftp_.ChangeDirectory(folder_name); }

bool RemoteSession::Up(const std::string& shown_folder) {
  if (shown_folder == HomeFolder) return false;
  ftp_.ParentDirectory();
  return true;
}

}  // namespace hemlo::transfer
