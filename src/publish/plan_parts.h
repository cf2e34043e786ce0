#pragma once
// What the plan's parts hand each other: the local and the remote walk, the
// times of the server and the moves found by content. Internal to the plan.
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "publish/plan.h"

namespace hemlo::publish::plan_parts {

// Seconds a remote time may lag the local one and still count as "not
// older": servers keep whole seconds and the probe's own rounding.
constexpr int64_t kClockSlackSeconds = 2;

struct LocalFile {
  std::string rel;  // UTF-8
  int64_t size = 0;
  int64_t mtime_ns = 0;
  bool outside_link = false;  // a link to a file outside the site folder
};

struct LocalTree {
  std::vector<std::string> folders;  // relative, parents first (root left out)
  std::vector<LocalFile> files;
  // Names the walk could not read or chose not to follow ("" for the
  // site folder itself): what the server has there, and below, is not
  // known to be gone, so it is never planned for deletion.
  std::vector<std::string> unread;
};

struct RemoteTree {
  std::map<std::string, transfer::RemoteFact> entries;  // wire relative path -> fact
  std::vector<std::string> order;             // walk order
  bool exact_times = true;
  std::map<std::string, transfer::RemoteFact> asides;  // old pages moved aside, by wire path
};

std::string Join(const std::string& root, const std::string& rel);
std::string ParentOf(const std::string& rel);
std::string NameOf(const std::string& rel);

// Breadth-first, names sorted per folder. Symbolic links to folders are not
// walked into (a loop could never end, a link may lead out of the site);
// links to files count as files, those leading out of the site folder
// marked. Preview copies this program wrote beside the pages stay at home.
LocalTree WalkLocal(const std::string& root, const Exclusions& exclusions, Plan& plan,
                    const std::function<bool()>& stop);

// Lists `rel` (wire) and records its entries; folders go onto `queue`.
void ListInto(transfer::RemoteFiles& remote, const std::string& root, const std::string& rel,
              const text::RemoteNames& names, const Exclusions& exclusions, RemoteTree& tree,
              std::vector<std::string>* queue, Plan& plan);

// An aside copy is the old page of a replacement cut short. Beside its
// page it is left over and goes; without it, it is the only copy: the run
// puts it back, and the plan sees it as the page. One whose page no local
// file or record names is kept and mentioned, never deleted.
void ResolveAsides(RemoteTree& tree, const std::set<std::string>& known_pages,
                   const text::RemoteNames& names, bool walk_all, Plan& plan);

// The remote time of a file as a true time, for the rule without a record.
std::optional<int64_t> ExactRemoteTime(transfer::RemoteFiles& remote, const RemoteTree& tree,
                                       const std::string& root, const std::string& rel);

// The server's clock minus ours: a small temporary file is uploaded to the
// root, its time read the same way the files' times are read, and removed.
std::optional<int64_t> MeasureClockOffset(transfer::RemoteFiles& remote, const RemoteTree& tree,
                                          const std::string& root);

// Listed times of the same kind compared as far as both go: a listing for
// people gives the minute, and only the day for files older than half a
// year (read as the day's first minute; the parser's rounding may add a
// second), so a page published when it was recent still matches its record.
bool SameListedTime(const std::optional<int64_t>& a, const std::optional<int64_t>& b, bool exact);

// Files sent as new or changed whose content we published under a path
// that is gone from the site, while the server still holds our copy there
// (`leave` says which server paths must stay as they are): each becomes a
// rename on the server, its old path never deleted. One old copy serves
// one new path; a new path with the old one's name is served first.
void PlanMoves(Plan& plan, const SyncRecord& record, const RemoteTree& tree,
               const text::RemoteNames& names, const std::set<std::string>& local_files,
               const std::set<std::string>& local_wire,
               const std::function<bool(const std::string&)>& leave,
               std::set<std::string>& moved_away);

}  // namespace hemlo::publish::plan_parts
