#pragma once
// The state of a site's files against what was last published, for the
// site panel: 新規 (not in the record), 変更あり (other content than was
// sent) or 公開済み (the content sent), decided by content hash as the
// publish plan does; nothing when no publish of the profile whose site
// folder holds the file has been recorded. Hashes are taken once per
// file version (size and time), so showing a tree costs a stat per file
// shown and a hash per file changed. No Qt here.
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "publish/sync_record.h"

namespace hemlo::publish {

enum class SiteMark { kNone, kNew, kChanged, kPublished };
// "", "新規", "変更あり", "公開済み" (UTF-8).
const char* SiteMarkText(SiteMark mark);

// The sync record of a stored profile (a Ferrox.ini line): the one its
// publishes write. nullopt when the profile has no site folder or has not
// yet published (no publish folder).
std::optional<std::filesystem::path> ProfileRecordPath(const std::filesystem::path& state_folder,
                                                       const std::string& profile_line);
// The profile's site folder as a UTF-8 local path, no trailing "/"; empty without one.
std::string ProfileSiteFolder(const std::string& profile_line);

class SiteMarks {
 public:
  // The Ferrox.ini lines the files are judged by; records are read when first needed.
  void SetProfiles(const std::filesystem::path& state_folder, std::vector<std::string> lines);
  const std::vector<std::string>& Profiles() const { return lines_; }
  // Re-reads every record whose file changed since it was read; true when any did.
  bool Refresh();
  // `file` is an absolute UTF-8 path; size and time as the caller last saw them.
  SiteMark Mark(const std::filesystem::path& file, int64_t size, int64_t mtime_ns);

 private:
  struct Record {
    std::filesystem::path root;  // the site folder
    std::optional<std::filesystem::path> path;
    std::optional<std::filesystem::file_time_type> seen;  // the record file's time when read
    SyncRecord record;
  };
  struct Hash {
    int64_t size = -1, mtime_ns = 0;
    std::optional<std::string> sha256;
  };
  Record& RecordOf(int profile);

  std::filesystem::path state_folder_;
  std::vector<std::string> read_;   // as given
  std::vector<std::string> lines_;  // older four-field lines upgraded
  std::map<int, Record> records_;                 // by profile (from 1)
  std::map<std::string, int> holder_of_folder_;  // a file's folder → its profile (0: none)
  std::map<std::string, Hash> hashes_;
};

}  // namespace hemlo::publish
