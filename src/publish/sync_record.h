#pragma once
// What this program last published for one profile: per file the relative
// path, size and SHA-256 of what was sent, the local modification time, and
// the remote size and time as the server listed them after the upload. The
// plan compares the local tree and the remote listing with it.
//
// Kept in the state folder beside Ferrox.ini, one file per (host, user,
// remote folder, site folder), replaced atomically. Reading is tolerant: a
// missing file is an empty record, a damaged line is skipped.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "base/file_result.h"

namespace hemlo::publish {

struct RecordEntry {
  int64_t size = 0;
  std::string sha256;                   // 64 lower-case hex digits
  int64_t local_mtime_ns = 0;           // nanoseconds since 1970
  int64_t remote_size = -1;             // -1 when the listing gave none
  std::optional<int64_t> remote_mtime;  // as RemoteFact::modified_utc after the upload
};

struct SyncRecord {
  // Key: relative path below the site folder, "/"-separated, UTF-8.
  std::map<std::string, RecordEntry> files;
};

// The record file for one site: "FerroxPublish-<16 hex digits>.dat" in
// `state_folder`, the digits from a hash of the four names.
std::filesystem::path RecordPath(const std::filesystem::path& state_folder, const std::string& host,
                                 const std::string& user, const std::string& remote_root,
                                 const std::string& local_root);

SyncRecord LoadRecord(const std::filesystem::path& path);
// Replaces the file atomically; fails with the reason (Japanese) when it
// cannot be written (the previous record then stays).
FileResult SaveRecord(const std::filesystem::path& path, const SyncRecord& record);

// The SHA-256 of a local file as 64 hex digits; nullopt when unreadable,
// or when `stop` (asked every few MiB) said to give up.
std::optional<std::string> FileSha256(const std::string& path,
                                      const std::function<bool()>& stop = nullptr);

}  // namespace hemlo::publish
