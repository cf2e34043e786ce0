#pragma once
// The last runs of one site's publish, newest first, each with what the
// server held before it: per file the bytes it replaced or deleted (by the
// SHA-256 of a copy kept in a content-addressed folder) or that there was
// none, the sync record's entry before the run, and the folders it made or
// removed. Enough to put the server back as it was.
//
// Beside the sync record ("FerroxPublish-<digits>.runs"), replaced
// atomically; the copies in "FerroxPublishKept/<sha256>", packed by the
// version store's code. Reading is tolerant: a missing or damaged file is
// an empty log, a damaged run is skipped.
//
// Core code (no Qt).
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "publish/sync_record.h"

#include "base/file_result.h"

namespace hemlo::publish {

inline constexpr std::size_t kLoggedRuns = 10;

struct LoggedFile {
  std::string path;  // as the plan showed it (the record's key for local files)
  std::string wire;  // remote relative path
  // The server's file before the run: its bytes' hash, or empty when the
  // run added the file.
  std::string before_hash;
  std::optional<RecordEntry> record_before;  // the record's entry before the run
  // The server's file as listed when the run was planned (-1 / nullopt:
  // none, or not known): still so, the run never got to it.
  int64_t before_size = -1;
  std::optional<int64_t> before_mtime{};
  std::string sent_hash{};  // of the bytes the run sent there; empty: none
};

struct LoggedFolder {
  std::string path;
  std::string wire;
};

struct LoggedRun {
  int64_t time = 0;  // seconds since 1970, when the run ended
  std::vector<LoggedFile> files;
  std::vector<LoggedFolder> folders_made;     // by the run
  std::vector<LoggedFolder> folders_removed;  // by the run
  bool Empty() const { return files.empty() && folders_made.empty() && folders_removed.empty(); }
};

std::filesystem::path RunLogPath(const std::filesystem::path& record_path);
std::vector<LoggedRun> LoadRunLog(const std::filesystem::path& path);
// Keeps the newest kLoggedRuns; fails with the reason (Japanese) when the
// file cannot be written.
FileResult SaveRunLog(const std::filesystem::path& path, const std::vector<LoggedRun>& runs);

// Old server bytes by their SHA-256.
class KeptCopies {
 public:
  explicit KeptCopies(std::filesystem::path folder) : folder_(std::move(folder)) {}
  static KeptCopies Beside(const std::filesystem::path& record_path);

  // True when the copy is there and its bytes hash as named.
  bool Holds(const std::string& hash) const;
  std::optional<std::string> Bytes(const std::string& hash) const;
  // Keeps `bytes`; `hash` names them once they are kept.
  struct Kept : FileResult {
    std::string hash;
  };
  Kept Keep(std::string_view bytes);
  // Keeps what a local file holds when it hashes as `hash`.
  bool KeepFile(const std::filesystem::path& file, const std::string& hash);
  // Removes every copy whose hash is not in `wanted`, but for copies kept
  // in the last hour: another profile's run may have kept them and not yet
  // logged itself.
  void Prune(const std::set<std::string>& wanted);
  const std::filesystem::path& folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
};

// Server copies an undo replaced or deleted although they had changed on
// the server since the run it took back: no log refers to them, so they
// are held on their own for kHeldCopySeconds ("FerroxPublish-<digits>.held"
// beside the record, lines "<time> <sha256>"). False with the reason
// (Japanese) when the file cannot be written.
inline constexpr int64_t kHeldCopySeconds = 30ll * 24 * 3600;
FileResult HoldCopies(const std::filesystem::path& record_path,
                      const std::vector<std::string>& hashes, int64_t now);

// The hashes the kept copies must still hold for every profile whose files
// are in `state_folder`: those of the run logs, of the held copies younger
// than kHeldCopySeconds and of the sync records (what each server holds).
std::set<std::string> HashesStillNeeded(const std::filesystem::path& state_folder, int64_t now);

}  // namespace hemlo::publish
