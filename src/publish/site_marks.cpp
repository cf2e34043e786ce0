#include "publish/site_marks.h"

#include "text/cp932.h"
#include "remote/profile.h"
#include "remote/remote_session.h"

namespace hemlo::publish {

namespace fs = std::filesystem;

const char* SiteMarkText(SiteMark mark) {
  switch (mark) {
    case SiteMark::kNew:
      return "新規";
    case SiteMark::kChanged:
      return "変更あり";
    case SiteMark::kPublished:
      return "公開済み";
    case SiteMark::kNone:
      break;
  }
  return "";
}

std::string ProfileSiteFolder(const std::string& profile_line) {
  const transfer::Profile p = transfer::Profile::Parse(profile_line);
  if (p.SiteFolder().empty()) return {};
  std::string folder = text::Cp932ToUtf8(p.SiteFolder()).value_or("");
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::optional<fs::path> ProfileRecordPath(const fs::path& state_folder,
                                          const std::string& profile_line) {
  const transfer::Profile p = transfer::Profile::Parse(profile_line);
  const std::string site = ProfileSiteFolder(profile_line);
  std::string remote = p.PublishFolder();
  if (site.empty() || remote.empty()) return std::nullopt;
  while (remote.size() > 1 && remote.back() == '/') remote.pop_back();
  // The server named as the transfer window names it when it publishes.
  std::string server;
  if (const auto sftp = transfer::ParseSftpHost(p.Host())) {
    server = "sftp://" + sftp->host + ":" + std::to_string(sftp->port);
  } else {
    const transfer::HostPort hp = transfer::ParseHostField(p.Host(), 21);
    server = hp.host + ":" + std::to_string(hp.port);
  }
  return RecordPath(state_folder, server, p.User(), remote, site);
}

void SiteMarks::SetProfiles(const fs::path& state_folder, std::vector<std::string> lines) {
  if (state_folder == state_folder_ && lines == read_) return;
  state_folder_ = state_folder;
  read_ = lines;
  lines_ = std::move(lines);
  transfer::UpgradeProfileLines(lines_);
  records_.clear();
  holder_of_folder_.clear();
}

SiteMarks::Record& SiteMarks::RecordOf(int profile) {
  auto it = records_.find(profile);
  if (it != records_.end()) return it->second;
  Record& r = records_[profile];
  const std::string& line = lines_[static_cast<size_t>(profile - 1)];
  r.root = ProfileSiteFolder(line);
  r.path = ProfileRecordPath(state_folder_, line);
  if (r.path) {
    std::error_code ec;
    const auto t = fs::last_write_time(*r.path, ec);
    if (!ec) {
      r.seen = t;
      r.record = LoadRecord(*r.path);
    }
  }
  return r;
}

bool SiteMarks::Refresh() {
  bool changed = false;
  for (auto& [profile, r] : records_) {
    if (!r.path) continue;
    std::error_code ec;
    const auto t = fs::last_write_time(*r.path, ec);
    const std::optional<fs::file_time_type> now =
        ec ? std::nullopt : std::optional<fs::file_time_type>(t);
    if (now == r.seen) continue;
    r.seen = now;
    r.record = now ? LoadRecord(*r.path) : SyncRecord{};
    changed = true;
  }
  return changed;
}

SiteMark SiteMarks::Mark(const fs::path& file, int64_t size, int64_t mtime_ns) {
  const std::string folder = file.parent_path().string();
  auto holder = holder_of_folder_.find(folder);
  if (holder == holder_of_folder_.end())
    holder = holder_of_folder_.emplace(folder, transfer::ProfileHoldingPage(lines_, file.string()))
                 .first;
  if (holder->second == 0) return SiteMark::kNone;
  const Record& r = RecordOf(holder->second);
  if (r.record.files.empty()) return SiteMark::kNone;
  const std::string rel = file.lexically_relative(r.root).generic_string();
  const auto entry = r.record.files.find(rel);
  if (entry == r.record.files.end()) return SiteMark::kNew;
  // Another size is other content; only a same-sized file needs its hash.
  if (entry->second.size != size) return SiteMark::kChanged;
  Hash& h = hashes_[file.string()];
  if (h.size != size || h.mtime_ns != mtime_ns) {
    h.size = size;
    h.mtime_ns = mtime_ns;
    h.sha256 = FileSha256(file.string());
  }
  if (!h.sha256) return SiteMark::kNone;
  return *h.sha256 == entry->second.sha256 ? SiteMark::kPublished : SiteMark::kChanged;
}

}  // namespace hemlo::publish
