#include "publish/plan.h"

#include <cstdio>

namespace hemlo::publish {

const char* ReasonText(Reason reason) {
  switch (reason) {
    case Reason::kNew:
      return "新規";
    case Reason::kChanged:
      return "変更";
    case Reason::kUnchanged:
      return "変更なし";
    case Reason::kConflict:
      return "競合（サーバで変更）";
    case Reason::kServerOnly:
      return "サーバのみ";
    case Reason::kNoRecordSameSize:
      return "記録なし（同じサイズ）";
    case Reason::kMoved:
      return "移動";
  }
  return "";
}

PlanCounts Plan::Counts() const {
  PlanCounts c;
  c.files_unchanged = unchanged_unplanned;
  for (const auto& f : files) {
    switch (f.reason) {
      case Reason::kNew:
        ++c.files_new;
        break;
      case Reason::kChanged:
        ++c.files_changed;
        break;
      case Reason::kUnchanged:
        ++c.files_unchanged;
        break;
      case Reason::kConflict:
        ++c.files_conflict;
        break;
      case Reason::kServerOnly:
        ++c.files_server_only;
        break;
      case Reason::kNoRecordSameSize:
        ++c.files_no_record;
        break;
      case Reason::kMoved:
        ++c.files_moved;
        break;
    }
    if (!f.include) continue;
    if (f.reason == Reason::kMoved) {
      ++c.moves;
    } else if (f.reason == Reason::kServerOnly) {
      ++c.deletions;
    } else {
      ++c.uploads;
      c.upload_bytes += f.size;
    }
  }
  for (const auto& d : folders) {
    if (d.reason == Reason::kNew) ++c.folders_new;
    if (d.reason == Reason::kServerOnly) {
      ++c.folders_server_only;
      if (d.include) ++c.deletions;
    }
  }
  return c;
}

void Plan::SetIncludeConflicts(bool on) {
  include_conflicts = on;
  for (auto& f : files)
    if (f.reason == Reason::kConflict) f.include = on;
}

void Plan::SetDeleteServerOnly(bool on) {
  delete_server_only = on;
  for (auto& f : files)
    if (f.reason == Reason::kServerOnly && !f.required) f.include = on;
  for (auto& d : folders)
    if (d.reason == Reason::kServerOnly && !d.required) d.include = on;
}

bool Plan::Empty() const {
  for (const auto& f : files)
    if (f.include) return false;
  for (const auto& d : folders)
    if (d.include) return false;
  return stale_temporaries.empty() && restore_asides.empty();
}

std::string TemporaryName(uint32_t nonce) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "~hemlo2-publish-%08x.tmp", nonce);
  return buf;
}

namespace {

bool HasHexForm(std::string_view name, std::string_view prefix) {
  constexpr std::string_view suffix = ".tmp";
  if (name.size() != prefix.size() + 8 + suffix.size()) return false;
  if (name.substr(0, prefix.size()) != prefix) return false;
  if (name.substr(name.size() - suffix.size()) != suffix) return false;
  for (char c : name.substr(prefix.size(), 8))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

}  // namespace

std::string AsideName(std::string_view name) {
  uint32_t h = 2166136261u;  // FNV-1a: stable across builds and machines
  for (unsigned char c : name) h = (h ^ c) * 16777619u;
  char buf[40];
  std::snprintf(buf, sizeof buf, "~hemlo2-aside-%08x.tmp", h);
  return buf;
}

bool IsAsideName(std::string_view name) { return HasHexForm(name, "~hemlo2-aside-"); }

bool IsTemporaryName(std::string_view name) {
  return HasHexForm(name, "~hemlo2-publish-") || IsAsideName(name);
}

}  // namespace hemlo::publish
