#pragma once
// The program's own file of trusted SSH host keys, in the format of
// OpenSSH's known_hosts, read and written by libssh2 (hashed host names
// are read as well). Hosts are named "name" for port 22 and "[name]:port"
// otherwise, as OpenSSH names them. Lines the library does not understand
// are kept as they are.
#include <filesystem>
#include <string>
#include <vector>

struct _LIBSSH2_SESSION;
struct _LIBSSH2_KNOWNHOSTS;

namespace hemlo::sftp {

struct HostKey {
  std::string type;  // "ssh-ed25519", "ssh-rsa", "ecdsa-sha2-nistp256", ...
  std::string blob;  // the public key, raw
};

class KnownHosts {
 public:
  enum class Verdict { kTrusted, kUnknown, kChanged };

  // Reads the file (absent: no keys).
  explicit KnownHosts(std::filesystem::path file);
  ~KnownHosts();
  KnownHosts(const KnownHosts&) = delete;
  KnownHosts& operator=(const KnownHosts&) = delete;

  // The types of the keys stored for host:port.
  std::vector<std::string> KeyTypesFor(const std::string& host, int port) const;
  // kChanged when a key of the same type is stored for the host and it is
  // not `key`; `old` then holds the stored one.
  Verdict Check(const std::string& host, int port, const HostKey& key, HostKey* old) const;
  // Stores `key` for host:port in place of the host's keys of that type,
  // replacing the file atomically (owner-only). Throws std::runtime_error
  // with the reason when the file cannot be written.
  void Trust(const std::string& host, int port, const HostKey& key);

 private:
  // The library's lists live in a session of their own, which never
  // connects, so they outlast any connection.
  _LIBSSH2_SESSION* session_ = nullptr;
  _LIBSSH2_KNOWNHOSTS* hosts_ = nullptr;
  std::filesystem::path file_;
  std::vector<std::string> kept_lines_;  // lines the library refused
};

// "name" for port 22, "[name]:port" otherwise: how the file names a host.
std::string HostPattern(const std::string& host, int port);
// OpenSSH's form of a key's SHA-256 fingerprint: "SHA256:" + unpadded base64.
std::string Sha256Fingerprint(const std::string& blob);

}  // namespace hemlo::sftp
