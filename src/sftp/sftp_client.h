#pragma once
// A blocking SFTP client over one SSH connection, made to be run on a
// worker thread; libssh2 speaks the protocol. Transfers hand the library
// large buffers, so it keeps many reads or writes in flight (what makes
// SFTP fast over a link with any latency). A cancelled call leaves the
// connection usable when the call can finish within a moment, and closes
// it otherwise.
//
// Failures raise the remote errors (base/remote_errors.h): ConnectionLost
// when the connection is gone, Cancelled on Cancel, Refused (a Japanese
// text) when the server refused a step.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sftp/sftp_attributes.h"
#include "sftp/ssh_connection.h"

struct _LIBSSH2_SFTP_HANDLE;

namespace hemlo::sftp {

struct DirEntry {
  std::string name;
  Attributes attrs;
  std::string link_target;  // links only
};

// Bounds on one folder's listing, so that a server that never ends one
// cannot exhaust memory: entries, and bytes of their names and link
// targets.
struct ListLimits {
  size_t entries = SIZE_MAX;
  uint64_t bytes = UINT64_MAX;
};

// Bytes so far and the total (0 while unknown).
using Progress = std::function<void(int64_t done, int64_t total)>;

// The buffer handed to the library per call is chunk × in_flight bytes;
// the library splits it into requests, all in flight at once.
struct TransferTuning {
  uint32_t chunk = 64 * 1024;
  int in_flight = 32;
};

class SftpClient {
 public:
  SftpClient() = default;
  SftpClient(const SftpClient&) = delete;
  SftpClient& operator=(const SftpClient&) = delete;

  LoginMethod Connect(const ConnectOptions& options, const ConnectQuestions& questions);
  void Disconnect() { ssh_.Close(); }
  bool Connected() const { return ssh_.IsOpen(); }
  void Cancel() { ssh_.Cancel(); }
  void ClearCancel() { ssh_.ClearCancel(); }
  TransferTuning& Tuning() { return tuning_; }

  std::string RealPath(const std::string& path);
  Attributes Stat(const std::string& path);
  Attributes LStat(const std::string& path);
  // The entries of the folder `path` ("." and ".." left out), handed to
  // `sink` `batch` at a time as they are read, the targets of the links
  // among them read before. Stops at `limits`: false then (entries were
  // left unread), true once the whole folder was read.
  bool ReadDir(const std::string& path, const ListLimits& limits, size_t batch,
               const std::function<void(std::vector<DirEntry>&&)>& sink);
  void MakeDir(const std::string& path);
  void RemoveDir(const std::string& path);
  void Remove(const std::string& path);
  // Replaces an entry already at `to`; with `replace` false, a server that
  // refuses to (all of the protocol's version 3) raises and nothing goes.
  void Rename(const std::string& from, const std::string& to, bool replace = true);
  void SetStat(const std::string& path, const Attributes& attrs);
  // Raises as a write to the existing file `path` would be refused (no
  // permission, not there); the file is left as it was.
  void ProbeWritable(const std::string& path);

  // The remote file's bytes into `fd` at their offsets (pwrite).
  void Download(const std::string& remote, int fd, const Progress& progress);
  // The bytes of `fd` (read from its start, `size` of them when known, -1
  // otherwise) into the remote file, created or truncated.
  void Upload(int fd, int64_t size, const std::string& remote, const Progress& progress);

 private:
  // Drives a library call that answers a number (negative: failed).
  int Run(const std::function<int()>& call, const char* what);
  _LIBSSH2_SFTP_HANDLE* OpenHandle(const std::function<_LIBSSH2_SFTP_HANDLE*()>& open,
                                   const char* what, const std::string& path);
  // `report`: a failure to close raises (a write's last word); otherwise
  // the handle goes quietly, and a broken connection is left for the next
  // call to find.
  void CloseHandle(_LIBSSH2_SFTP_HANDLE* handle, bool report, const char* what,
                   const std::string& path);
  // Raises for a failed call: a refusal (the connection stays) names
  // `what` and `path`; anything else means the connection is gone.
  [[noreturn]] void Failed(int rc, const char* what, const std::string& path);
  int Timeout() const { return options_.reply_timeout_ms; }
  // Where the link points; empty when the server will not say.
  std::string ReadLink(const std::string& link);

  SshConnection ssh_;
  ConnectOptions options_;
  TransferTuning tuning_;
};

}  // namespace hemlo::sftp
