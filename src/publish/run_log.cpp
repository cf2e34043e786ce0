#include "publish/run_log.h"

#include <chrono>
#include <sstream>

#include "base/atomic_file.h"
#include "base/version_store.h"

namespace hemlo::publish {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kHeader = "hemlo2-publish-runs 1";

// Names travel hex-encoded: wire bytes may hold spaces or any byte.
std::string ToHex(std::string_view s) {
  if (s.empty()) return "-";
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::optional<std::string> FromHex(const std::string& s) {
  if (s == "-") return std::string();
  if (s.size() % 2) return std::nullopt;
  std::string out;
  for (size_t i = 0; i < s.size(); i += 2) {
    int v = 0;
    for (size_t k = i; k < i + 2; ++k) {
      const char c = s[k];
      v <<= 4;
      if (c >= '0' && c <= '9') v |= c - '0';
      else if (c >= 'a' && c <= 'f') v |= c - 'a' + 10;
      else return std::nullopt;
    }
    out += static_cast<char>(v);
  }
  return out;
}

bool IsHash(const std::string& s) {
  if (s.size() != 64) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

std::string RecordText(const std::optional<RecordEntry>& e) {
  if (!e) return "-";
  return std::to_string(e->size) + " " + e->sha256 + " " + std::to_string(e->local_mtime_ns) + " " +
         std::to_string(e->remote_size) + " " +
         (e->remote_mtime ? std::to_string(*e->remote_mtime) : std::string("-"));
}

bool ParseRecord(std::istringstream& in, std::optional<RecordEntry>& out) {
  std::string first;
  if (!(in >> first)) return false;
  if (first == "-") return true;
  RecordEntry e;
  std::string mtime;
  try {
    e.size = std::stoll(first);
  } catch (...) {
    return false;
  }
  if (!(in >> e.sha256 >> e.local_mtime_ns >> e.remote_size >> mtime)) return false;
  if (mtime != "-") {
    try {
      e.remote_mtime = std::stoll(mtime);
    } catch (...) {
      return false;
    }
  }
  out = std::move(e);
  return true;
}

}  // namespace

fs::path RunLogPath(const fs::path& record_path) {
  fs::path p = record_path;
  return p.replace_extension(".runs");
}

std::vector<LoggedRun> LoadRunLog(const fs::path& path) {
  std::vector<LoggedRun> runs;
  std::string bytes;
  if (!hemlo::ReadWholeFile(path, bytes)) return runs;
  std::istringstream lines(bytes);
  std::string line;
  if (!std::getline(lines, line) || line != kHeader) return runs;
  bool damaged = false;
  auto close = [&] {
    if (!runs.empty() && damaged) runs.pop_back();
    damaged = false;
  };
  while (std::getline(lines, line)) {
    std::istringstream in(line);
    std::string kind;
    in >> kind;
    if (kind == "run") {
      close();
      LoggedRun run;
      if (!(in >> run.time)) damaged = true;
      runs.push_back(std::move(run));
      continue;
    }
    if (runs.empty()) continue;
    std::string wire, path_hex;
    if (!(in >> wire >> path_hex)) {
      damaged = true;
      continue;
    }
    const auto w = FromHex(wire), p = FromHex(path_hex);
    if (!w || !p || w->empty()) {
      damaged = true;
      continue;
    }
    if (kind == "f") {
      LoggedFile f{*p, *w, {}, {}};
      std::string hash;
      if (!(in >> hash) || (hash != "-" && !IsHash(hash)) || !ParseRecord(in, f.record_before)) {
        damaged = true;
        continue;
      }
      if (hash != "-") f.before_hash = hash;
      // Older logs end here.
      std::string size, mtime, sent;
      if (in >> size >> mtime) {
        try {
          f.before_size = std::stoll(size);
          if (mtime != "-") f.before_mtime = std::stoll(mtime);
        } catch (...) {
          damaged = true;
          continue;
        }
        if (in >> sent && sent != "-") {
          if (!IsHash(sent)) {
            damaged = true;
            continue;
          }
          f.sent_hash = sent;
        }
      }
      runs.back().files.push_back(std::move(f));
    } else if (kind == "m") {
      runs.back().folders_made.push_back({*p, *w});
    } else if (kind == "r") {
      runs.back().folders_removed.push_back({*p, *w});
    } else {
      damaged = true;
    }
  }
  close();
  if (runs.size() > kLoggedRuns) runs.resize(kLoggedRuns);
  return runs;
}

FileResult SaveRunLog(const fs::path& path, const std::vector<LoggedRun>& runs) {
  std::string out(kHeader);
  out += "\n";
  for (size_t i = 0; i < runs.size() && i < kLoggedRuns; ++i) {
    const LoggedRun& run = runs[i];
    out += "run " + std::to_string(run.time) + "\n";
    for (const auto& f : run.files)
      out += "f " + ToHex(f.wire) + " " + ToHex(f.path) + " " +
             (f.before_hash.empty() ? std::string("-") : f.before_hash) + " " +
             RecordText(f.record_before) + " " + std::to_string(f.before_size) + " " +
             (f.before_mtime ? std::to_string(*f.before_mtime) : std::string("-")) + " " +
             (f.sent_hash.empty() ? std::string("-") : f.sent_hash) + "\n";
    for (const auto& d : run.folders_made) out += "m " + ToHex(d.wire) + " " + ToHex(d.path) + "\n";
    for (const auto& d : run.folders_removed)
      out += "r " + ToHex(d.wire) + " " + ToHex(d.path) + "\n";
  }
  const WriteResult r = WriteFileAtomically(path, out, 0600, true);
  if (r) return {};
  return FileFailed("公開の履歴「" + path.string() + "」を保存できません: " + r.error);
}

KeptCopies KeptCopies::Beside(const fs::path& record_path) {
  return KeptCopies(record_path.parent_path() / "FerroxPublishKept");
}

std::optional<std::string> KeptCopies::Bytes(const std::string& hash) const {
  if (!IsHash(hash)) return std::nullopt;
  std::string packed;
  if (!hemlo::ReadWholeFile(folder_ / hash, packed)) return std::nullopt;
  auto bytes = UnpackVersionBytes(packed);
  if (!bytes || VersionHash(*bytes) != hash) return std::nullopt;
  return bytes;
}

bool KeptCopies::Holds(const std::string& hash) const { return Bytes(hash).has_value(); }

KeptCopies::Kept KeptCopies::Keep(std::string_view bytes) {
  std::string hash = VersionHash(bytes);
  if (Holds(hash)) return {{}, std::move(hash)};
  std::error_code ec;
  fs::create_directories(folder_, ec);
  const WriteResult r = WriteFileAtomically(folder_ / hash, PackVersionBytes(bytes), 0600, true);
  if (!r) return {FileFailed(r.error), {}};
  return {{}, std::move(hash)};
}

bool KeptCopies::KeepFile(const fs::path& file, const std::string& hash) {
  if (Holds(hash)) return true;
  std::string bytes;
  if (!hemlo::ReadWholeFile(file, bytes) || VersionHash(bytes) != hash) return false;
  return Keep(bytes).ok;
}

void KeptCopies::Prune(const std::set<std::string>& wanted) {
  std::error_code ec;
  const auto recent = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const auto& e : fs::directory_iterator(folder_, ec)) {
    const std::string name = e.path().filename().string();
    // Only our copies: a temporary of a write under way is left alone.
    if (!IsHash(name) || wanted.count(name)) continue;
    std::error_code time_ec;
    const auto written = fs::last_write_time(e.path(), time_ec);
    if (time_ec || written > recent) continue;
    fs::remove(e.path(), ec);
  }
}

namespace {

fs::path HeldPath(const fs::path& record_path) {
  fs::path p = record_path;
  return p.replace_extension(".held");
}

// (time, hash) lines younger than kHeldCopySeconds; damaged lines skipped.
std::vector<std::pair<int64_t, std::string>> LoadHeld(const fs::path& path, int64_t now) {
  std::vector<std::pair<int64_t, std::string>> held;
  std::string bytes;
  if (!hemlo::ReadWholeFile(path, bytes)) return held;
  std::istringstream lines(bytes);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream in(line);
    int64_t time = 0;
    std::string hash;
    if (in >> time >> hash && IsHash(hash) && time + kHeldCopySeconds > now)
      held.emplace_back(time, hash);
  }
  return held;
}

}  // namespace

FileResult HoldCopies(const fs::path& record_path, const std::vector<std::string>& hashes,
                      int64_t now) {
  if (hashes.empty()) return {};
  const fs::path path = HeldPath(record_path);
  auto held = LoadHeld(path, now);
  for (const auto& h : hashes) held.emplace_back(now, h);
  std::string out;
  for (const auto& [time, hash] : held) out += std::to_string(time) + " " + hash + "\n";
  const WriteResult r = WriteFileAtomically(path, out, 0600, true);
  if (r) return {};
  return FileFailed("公開の履歴「" + path.string() + "」を保存できません: " + r.error);
}

std::set<std::string> HashesStillNeeded(const fs::path& state_folder, int64_t now) {
  std::set<std::string> hashes;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(state_folder, ec)) {
    const fs::path& p = e.path();
    if (p.filename().string().rfind("FerroxPublish-", 0) != 0) continue;
    if (p.extension() == ".runs") {
      for (const auto& run : LoadRunLog(p))
        for (const auto& f : run.files)
          if (!f.before_hash.empty()) hashes.insert(f.before_hash);
    } else if (p.extension() == ".held") {
      for (const auto& [time, hash] : LoadHeld(p, now)) hashes.insert(hash);
    } else if (p.extension() == ".dat") {
      // What every profile's server holds now is what its next run replaces.
      for (const auto& [path, entry] : LoadRecord(p).files) hashes.insert(entry.sha256);
    }
  }
  return hashes;
}

}  // namespace hemlo::publish
