#include "publish/publish_plan_view.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string_view>
#include <string>

namespace hemlo::transfer {

namespace {

// "#,0"
std::string Grouped(int64_t n) {
  // Appended, not inserted: GCC 12 misreads the inserts as overlapping.
  const std::string digits = std::to_string(n < 0 ? -n : n);
  std::string out = n < 0 ? "-" : "";
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string Count(int n) { return std::to_string(n) + "件"; }

}  // namespace

const char* PlanReasonText(PlanReason reason) {
  switch (reason) {
    case PlanReason::kNew:
      return "新規";
    case PlanReason::kChanged:
      return "変更";
    case PlanReason::kNoRecordSameSize:
      return "記録なし（同じサイズ）";
    case PlanReason::kConflict:
      return "サーバ側で変更（競合）";
    case PlanReason::kServerOnly:
      return "サーバにしかない";
    case PlanReason::kNewFolder:
      return "新規フォルダ";
    case PlanReason::kServerOnlyFolder:
      return "サーバにしかないフォルダ";
    case PlanReason::kOutsideLink:
      return "サイト外へのリンク";
    case PlanReason::kMoved:
      return "移動";
  }
  return "";
}

bool RowHasTick(PlanReason reason) {
  return reason == PlanReason::kConflict || reason == PlanReason::kNoRecordSameSize ||
         reason == PlanReason::kOutsideLink;
}

bool IsDeletion(PlanReason reason) {
  return reason == PlanReason::kServerOnly || reason == PlanReason::kServerOnlyFolder;
}

bool RowRuns(const PlanRowView& row, bool delete_server_only) {
  if (IsDeletion(row.reason)) return delete_server_only || row.required;
  if (RowHasTick(row.reason)) return row.ticked;
  return true;
}

std::vector<std::string> GuardLines(const PlanView& plan) {
  std::vector<std::string> lines;
  const auto line = [&](std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view p : parts) text.append(p);
    lines.push_back(std::move(text));
  };
  if (plan.site_missing)
    line({"サイトフォルダ「", plan.site,
          "」が見つかりません（ディスクが外れていないか確かめてください）"});
  else if (plan.site_empty)
    line({"サイトフォルダ「", plan.site, "」にファイルがありません"});
  int files = 0;
  for (const auto& row : plan.rows)
    if (row.reason == PlanReason::kServerOnly && RowRuns(row, plan.delete_server_only)) ++files;
  const int64_t total = std::max(plan.server_files, files);
  if (files > 0 && (!lines.empty() || int64_t{files} * 100 > total * kGuardDeletePercent)) {
    // Rounded up: 20.5% must not read as the 20% that passes.
    const std::string percent = std::to_string((int64_t{files} * 100 + total - 1) / total);
    const std::string count = std::to_string(files);
    line({"サーバのファイルの ", percent, "% (", count, " 件) を削除します"});
  }
  return lines;
}

bool PlanNeedsConfirmation(const PlanView& plan) {
  if (!GuardLines(plan).empty()) return true;
  for (const auto& row : plan.rows)
    if (row.reason == PlanReason::kConflict || IsDeletion(row.reason)) return true;
  return false;
}

PlanTotals TotalsOf(const PlanView& plan) {
  PlanTotals t;
  t.unchanged = plan.unchanged;
  for (const auto& row : plan.rows) {
    if (!RowRuns(row, plan.delete_server_only)) {
      ++t.left_alone;
    } else if (IsDeletion(row.reason) || row.deletes) {
      ++t.deletions;
    } else if (row.reason == PlanReason::kNewFolder) {
      ++t.make_folders;
    } else if (row.reason == PlanReason::kMoved) {
      ++t.moves;
    } else {
      ++t.send_files;
      t.send_bytes += row.bytes;
    }
  }
  return t;
}

std::string TotalsText(const PlanTotals& t) {
  return "送信 " + Count(t.send_files) + "（" + Grouped(t.send_bytes) + " バイト）" +
         (t.moves ? "　移動 " + Count(t.moves) : "") + "　フォルダ作成 " +
         Count(t.make_folders) + "　削除 " + Count(t.deletions) + "　対象外 " +
         Count(t.left_alone) + "　変更なし " + Count(t.unchanged);
}

std::string ProgressText(int files_done, int files_total, int64_t bytes_done, int64_t bytes_total,
                         double bytes_per_second) {
  char rate[32];
  if (bytes_per_second >= 1024.0 * 1024.0)
    std::snprintf(rate, sizeof rate, "%.1f MB/s", bytes_per_second / (1024.0 * 1024.0));
  else if (bytes_per_second >= 1024.0)
    std::snprintf(rate, sizeof rate, "%.1f KB/s", bytes_per_second / 1024.0);
  else
    std::snprintf(rate, sizeof rate, "%.0f B/s", bytes_per_second);
  return "公開中 " + std::to_string(files_done) + "/" + std::to_string(files_total) + "件　" +
         Grouped(bytes_done) + "/" + Grouped(bytes_total) + " バイト　" + rate;
}

std::string ResultText(const PublishResult& r) {
  std::string text = r.target.empty() ? "" : r.target + "に公開: ";
  if (r.stopped) text += "中断しました。";
  for (const auto& note : r.notes) text += note + "\n";
  return text + "送信 " + Count(r.files_sent) + "（" + Grouped(r.bytes_sent) + " バイト）" +
         (r.moved ? "、移動 " + Count(r.moved) : "") + "、フォルダ作成 " + Count(r.folders_made) + "、削除 " + Count(r.deleted) +
         "、失敗 " + Count(static_cast<int>(r.failures.size()));
}

}  // namespace hemlo::transfer
