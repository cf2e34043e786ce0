#include "site/link_rewrite.h"

#include <system_error>

#include "base/atomic_file.h"
#include "site/link_paths.h"
#include "site/link_write.h"

namespace hemlo::site {

namespace fs = std::filesystem;

MoveOutcome ApplyLinkUpdate(const LinkPlan& plan, bool redirects) {
  MoveOutcome outcome;
  if (!plan.error.empty()) {
    outcome.message = plan.error;
    return outcome;
  }
  std::vector<FileChange> changes;
  std::size_t count = 0;
  std::vector<std::string> edited, protected_files;
  for (const LinkFile& f : plan.files) {
    std::string after = RewrittenBytes(f);
    if (after == f.bytes) continue;
    for (const LinkChange& c : f.changes) count += c.decidable && c.included ? 1 : 0;
    if (!HoldsBytes(f.path, f.bytes))
      edited.push_back(f.path.string());
    else if (IsWriteProtected(f.path))
      protected_files.push_back(f.path.string());
    changes.push_back({f.path, f.encoding, f.bytes, std::move(after)});
  }
  if (!edited.empty()) {
    outcome.message = Listed(
        "次のファイルは一覧の作成後に変更されています。もう一度やり直してください。", edited);
    return outcome;
  }
  if (!protected_files.empty()) {
    outcome.message =
        Listed("次のファイルは読み取り専用のため書き換えられません。何も変更していません。",
               protected_files);
    return outcome;
  }
  std::error_code ec;
  if (fs::exists(plan.to, ec) || fs::is_symlink(plan.to, ec)) {
    outcome.message = plan.to.string() + " はすでにあります。何も変更していません。";
    return outcome;
  }
  std::vector<std::pair<fs::path, const std::string*>> writes;
  std::vector<const std::string*> previous;
  for (const FileChange& c : changes) {
    writes.emplace_back(c.path, &c.after);
    previous.push_back(&c.before);
  }
  if (FileResult written =
          WriteAllOrNone(writes, previous, "リンクの更新", &outcome.version_notice);
      !written) {
    outcome.message = written.message + "\n何も変更していません。";
    return outcome;
  }
  const std::vector<fs::path> pages = redirects ? PagesMoving(plan.from) : std::vector<fs::path>{};
  fs::rename(plan.from, plan.to, ec);
  if (ec) {
    outcome.message = plan.from.string() + " を移動できません: " + ec.message();
    for (const FileChange& c : changes)
      if (!WriteFileAtomically(c.path, c.before))
        outcome.message += "\n" + c.path.string() + " を元に戻せませんでした。";
    return outcome;
  }
  outcome.ok = true;
  outcome.record.from = plan.from;
  outcome.record.to = plan.to;
  outcome.record.files = std::move(changes);
  outcome.record.changes = count;
  outcome.record.redirects = LeaveRedirects(pages, plan.from, plan.to, outcome.redirects_skipped);
  return outcome;
}

}  // namespace hemlo::site
