#pragma once
// A blocking SFTP (protocol version 3) client over one SSH connection,
// made to be run on a worker thread. Requests carry ids and replies are
// matched by id, so several can be in flight at once (transfers keep many
// reads or writes outstanding, which is what makes SFTP fast over a link
// with any latency), and a reply that arrives after its wait was cancelled
// is simply dropped: the connection stays usable after a cancel.
//
// Failures raise the FTP client's exception types: ftp::EIdConnectionLost
// when the connection is gone, ftp::EIdOperationAborted on Cancel,
// ftp::EIdException (a Japanese text) when the server refused a step.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "sftp/sftp_wire.h"
#include "sftp/ssh_connection.h"

namespace hemlo::sftp {

struct DirEntry {
  std::string name;
  Attributes attrs;
  std::string link_target;  // links only
};

// Bytes so far and the total (0 while unknown).
using Progress = std::function<void(int64_t done, int64_t total)>;

struct TransferTuning {
  uint32_t chunk = 64 * 1024;  // bytes per read or write request
  int in_flight = 32;          // requests outstanding at once
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
  std::vector<DirEntry> ReadDir(const std::string& path);
  void MakeDir(const std::string& path);
  void RemoveDir(const std::string& path);
  void Remove(const std::string& path);
  // Replaces an entry already at `to`.
  void Rename(const std::string& from, const std::string& to);
  void SetStat(const std::string& path, const Attributes& attrs);

  // The remote file's bytes into `fd` at their offsets (pwrite).
  void Download(const std::string& remote, int fd, const Progress& progress);
  // The bytes of `fd` (read from its start, `size` of them when known, -1
  // otherwise) into the remote file, created or truncated.
  void Upload(int fd, int64_t size, const std::string& remote, const Progress& progress);

 private:
  uint32_t Send(PacketType type, const std::function<void(PacketWriter&)>& fields);
  // Waits for the reply to `id`; returns its body from the type byte on.
  std::string Await(uint32_t id);
  // Waits until one of the awaited ids has its reply.
  void AwaitAny();
  // Moves whole packets from the connection's input to `replies_`.
  void TakeReplies();
  // Stops waiting for `ids`: their replies will be dropped.
  void Forget(const std::vector<uint32_t>& ids);
  std::string Handle(uint32_t id, const char* what, const std::string& path);
  void ExpectOk(uint32_t id, const char* what, const std::string& path);
  void CloseHandle(const std::string& handle, bool wait);
  [[noreturn]] void Refused(PacketReader& status, const char* what, const std::string& path);

  SshConnection ssh_;
  ConnectOptions options_;
  TransferTuning tuning_;
  uint32_t next_id_ = 1;
  size_t consumed_ = 0;  // bytes of the connection's input already parsed
  std::unordered_set<uint32_t> awaited_;
  std::unordered_map<uint32_t, std::string> replies_;
  bool posix_rename_ = false;
};

}  // namespace hemlo::sftp
