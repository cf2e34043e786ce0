#pragma once
// A publish plan as the confirmation dialog shows it: one row per file or
// folder with its reason, the choices the author can make (overwrite a
// conflict, include a file without a record, delete what only the server
// has), and the counts and bytes those choices add up to. Also the result
// of a run, one line per failed file. No Qt; texts are UTF-8.
#include <cstdint>
#include <string>
#include <vector>

namespace hemlo::transfer {

enum class PlanReason {
  kNew,               // not on the server
  kChanged,           // content differs from what was last published
  kNoRecordSameSize,  // no record, the server's copy has the same size
  kConflict,          // changed on the server since our last upload
  kServerOnly,        // on the server only
  kNewFolder,         // a folder the server lacks
  kServerOnlyFolder,  // a folder only the server has
  kOutsideLink,       // a link to a file outside the site folder
  kMoved,             // renamed on the server from `from`, nothing sent
};

struct PlanRowView {
  std::string path;  // relative to the site folder, "/" between names
  PlanReason reason = PlanReason::kNew;
  int64_t bytes = 0;  // what would travel (files sent), else the server's size
  // Conflicts, files without a record and links out of the site: sent
  // only when ticked.
  bool ticked = false;
  // Server-only entries a local entry of the same name replaces: they go
  // whatever the deletion tick says.
  bool required = false;
  std::string from{};  // kMoved: the old path, as `path`
  // A conflict whose tick deletes the server's copy instead of sending one.
  bool deletes = false;
};

struct PlanView {
  std::vector<PlanRowView> rows;
  bool delete_server_only = false;  // "サーバにしかないファイルを削除"
  int unchanged = 0;                // files left alone, not listed
  std::string target;               // where it goes, for the heading
  // Set when the site's remote folder is not the folder on show: the line
  // the heading adds to say so.
  std::string target_warning;
  bool first_publish = false;       // nothing recorded for this target yet
  std::vector<std::string> notes;   // names that cannot travel, and the like
  // The local site folder (UTF-8), and whether the walk found it empty or
  // missing; the files the server has under the site.
  std::string site;
  bool site_empty = false, site_missing = false;
  int server_files = 0;
  // What the profile's exclusions kept out (folders end in "/").
  std::vector<std::string> excluded;
};

// The reason column: "新規", "変更", "記録なし（同じサイズ）", ...
const char* PlanReasonText(PlanReason reason);
// Whether a row has a tick of its own.
bool RowHasTick(PlanReason reason);
// Whether the row leads to an operation with the choices made.
bool RowRuns(const PlanRowView& row, bool delete_server_only);
bool IsDeletion(PlanReason reason);
// The plan needs the author's eye: a conflict or something to delete.
bool PlanNeedsConfirmation(const PlanView& plan);

// Above this share of the server's files deleted, a plan is guarded.
constexpr int kGuardDeletePercent = 20;
// The warnings of a plan that could wipe the site with the choices made
// (more than kGuardDeletePercent of the server's files deleted, or the
// site folder empty or missing): shown in red above the plan, and such a
// plan runs only after a tick of its own, never on Enter. Empty: no guard.
// "サーバのファイルの 35% (7 件) を削除します", ...
std::vector<std::string> GuardLines(const PlanView& plan);

struct PlanTotals {
  int send_files = 0;
  int64_t send_bytes = 0;
  int make_folders = 0;
  int moves = 0;
  int deletions = 0;
  int left_alone = 0;  // rows that will not run with the choices made
  int unchanged = 0;
};
PlanTotals TotalsOf(const PlanView& plan);
// "送信 3件（12,345 バイト）　フォルダ作成 1件　削除 0件　対象外 2件　変更なし 40件",
// with "　移動 1件" after the bytes when there are moves.
std::string TotalsText(const PlanTotals& totals);

struct PublishFailure {
  std::string path;     // relative, as in the plan
  std::string message;  // why, for the author
};

struct PublishResult {
  int files_sent = 0;
  int64_t bytes_sent = 0;
  int folders_made = 0;
  int moved = 0;  // renamed on the server
  int deleted = 0;
  bool stopped = false;  // Escape or a lost connection ended the run early
  std::vector<PublishFailure> failures;
  std::vector<std::string> notes;  // refused connections and the like
  std::string target;              // "「name」（host）" when the result names it
};
// The status bar during a run: "公開中 3/10件　12,345/45,678 バイト　1.2 MB/s".
std::string ProgressText(int files_done, int files_total, int64_t bytes_done, int64_t bytes_total,
                         double bytes_per_second);

// "送信 3件（12,345 バイト）、フォルダ作成 1件、削除 1件、失敗 0件" (and
// "、移動 1件" after the bytes when files were moved) with
// "中断しました" in front when the run stopped early, the target before all.
std::string ResultText(const PublishResult& result);

}  // namespace hemlo::transfer
