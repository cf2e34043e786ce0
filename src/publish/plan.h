#pragma once
// The plan of a site sync: every local file and folder and every remote one
// below the site's remote folder, each with the reason it will or will not
// be sent or removed. Computed from the local tree, the sync record and the
// remote listing; the run then does exactly the entries marked `include`.
//
// Core code (no Qt). Paths are relative to the site folder (local side) or
// to the remote root (wire bytes); both "/"-separated.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "publish/exclusions.h"
#include "publish/sync_record.h"
#include "text/remote_names.h"
#include "remote/remote_files.h"

namespace hemlo::publish {

enum class Reason {
  kNew,               // not on the server
  kChanged,           // content differs from what we last sent (or no record says so)
  kUnchanged,         // same as what we last sent, server copy untouched
  kConflict,          // changed on the server since our last upload
  kServerOnly,        // only on the server
  kNoRecordSameSize,  // no record; remote size equal and remote date not older
  // The content we published under another path, whose server copy is
  // untouched: renamed there on the server, nothing sent.
  kMoved,
};
// The caption shown for a reason: "新規", "変更", "変更なし", "競合（サーバで変更）",
// "サーバのみ", "記録なし（同じサイズ）", "移動". UTF-8.
const char* ReasonText(Reason reason);

struct FileEntry {
  std::string path;  // local relative path, UTF-8 (server-only: the name as shown)
  std::string wire;  // remote relative path, wire bytes
  Reason reason = Reason::kUnchanged;
  int64_t size = 0;  // local bytes (server-only: remote bytes)
  int64_t local_mtime_ns = 0;
  std::string sha256;  // of the local file when it was planned
  // The remote file as listed when planned (-1 / nullopt: none).
  int64_t remote_size = -1;
  std::optional<int64_t> remote_mtime;
  bool replaces_folder = false;  // a remote folder of this name goes first
  // kMoved: the recorded path the server copy is renamed from (local form,
  // wire form); its server-only entry is not in the plan.
  std::string moved_from{};
  std::string moved_from_wire{};
  // A link to a file outside the site folder: sent only when ticked.
  bool outside_link = false;
  // Server-only entries that must go because a local entry of the same
  // name replaces them (or a folder above them): included whatever the
  // deletion tick says.
  bool required = false;
  // A server-only entry an undo deletes although it changed on the server
  // since the run it takes back: shown and ticked as a conflict.
  bool changed_on_server = false;
  // In the run: uploaded (local files) or deleted (server-only).
  bool include = false;
};

struct FolderEntry {
  std::string path;
  std::string wire;
  Reason reason = Reason::kUnchanged;  // kNew, kUnchanged or kServerOnly
  bool replaces_file = false;          // a remote file of this name goes first
  bool required = false;               // as FileEntry::required
  bool include = false;                // created (kNew) or removed (kServerOnly)
};

struct PlanCounts {
  int files_new = 0, files_changed = 0, files_unchanged = 0, files_conflict = 0,
      files_server_only = 0, files_no_record = 0, files_moved = 0;
  int folders_new = 0, folders_server_only = 0;
  int uploads = 0, deletions = 0, moves = 0;  // of the entries included (moves send nothing)
  int64_t upload_bytes = 0;
};

// The site folder as the walk found it: an unmounted disk looks empty or
// missing, and a sync from it would delete the whole server.
enum class LocalSite { kPresent, kEmpty, kMissing };

struct Plan {
  std::string local_root;   // the site folder, UTF-8, no trailing "/"
  std::string remote_root;  // wire bytes, absolute, no trailing "/" (unless "/")
  text::NameEncoding encoding = text::NameEncoding::kShiftJis;
  std::vector<FolderEntry> folders;  // parents before their children
  std::vector<FileEntry> files;      // in the local walk's order, server-only after
  // Temporaries of an interrupted run (remote relative paths); the run
  // removes them first.
  std::vector<std::string> stale_temporaries;
  // Old pages moved aside by a replacement that was cut short, whose page
  // is missing on the server: (aside, page), remote relative paths. The
  // run puts each back first; the plan already counts it as the page.
  std::vector<std::pair<std::string, std::string>> restore_asides;
  // Local names the connection's encoding cannot carry (and remote names
  // that are no safe local name): listed, never sent. UTF-8 messages.
  std::vector<std::string> problems;
  // What the exclusions kept out, on either side (folders with a final
  // "/", nothing below them): never sent, never deleted. UTF-8, sorted.
  std::vector<std::string> excluded;
  // Record entries of files gone from both sides, dropped by the run.
  std::vector<std::string> record_drop;
  // The server's clock minus ours, seconds, when it had to be measured.
  std::optional<int64_t> clock_offset;
  // Publish on save: files the record shows unchanged, left out unplanned.
  int unchanged_unplanned = 0;
  LocalSite local_site = LocalSite::kPresent;
  // Files (not folders) the listing found below remote_root; on publish on
  // save only those of the folders listed.
  int server_files = 0;
  bool include_conflicts = false;   // the conflicts tick
  bool delete_server_only = false;  // "サーバにしかないファイルを削除"

  PlanCounts Counts() const;
  // Sets the ticks; each sets `include` of every entry it governs.
  void SetIncludeConflicts(bool on);
  void SetDeleteServerOnly(bool on);
  // True when the run would do nothing.
  bool Empty() const;
};

// Names of temporary uploads: "~hemlo2-publish-<8 hex digits>.tmp".
std::string TemporaryName(uint32_t nonce);
// Where the old file named `name` goes while its new one takes its place
// (on servers that will not rename over a file): "~hemlo2-aside-<8 hex
// digits of a hash of the name>.tmp", so a later plan can tell whose old
// copy it is.
std::string AsideName(std::string_view name);
bool IsAsideName(std::string_view name);
// Either kind: never a page of the site.
bool IsTemporaryName(std::string_view name);

struct PlanInput {
  std::string local_root;              // UTF-8 site folder
  std::string remote_root;             // absolute remote folder, wire bytes
  text::RemoteNames names;             // how names travel on the connection
  const SyncRecord* record = nullptr;  // nullptr = no record
  // Publish on save: only local files that differ from the record (or
  // have none) are planned, and only their remote folders are listed, so
  // a large site costs a listing or two. Nothing server-only is planned.
  bool changed_only = false;
  // Files neither side's walk looks at.
  Exclusions exclusions;
  // Asked between local files and during long hashes; true ends the plan
  // with remote::Cancelled (Escape while the site is hashed).
  std::function<bool()> stop;
};

// Walks the local tree (hashing every file) and the remote tree below
// remote_root over `remote`, and sorts every entry into its reason. Where
// files without a record need the server's clock, a temporary file is
// uploaded to remote_root, its time read and removed again. Client errors
// propagate (a listing that fails ends the plan), as does a stop.
Plan ComputePlan(transfer::RemoteFiles& remote, const PlanInput& input);

}  // namespace hemlo::publish
