#pragma once
// The program's own file of trusted SSH host keys, in the format of
// OpenSSH's known_hosts: "host key-type base64-key" per line, host names
// written as "name" for port 22 and "[name]:port" otherwise, hashed names
// ("|1|salt|hash") read as well. Lines it does not understand (markers,
// comments) are kept as they are.
#include <filesystem>
#include <string>
#include <vector>

namespace hemlo::sftp {

struct HostKey {
  std::string type;    // "ssh-ed25519", "ssh-rsa", "ecdsa-sha2-nistp256", ...
  std::string base64;  // the public key blob
};

class KnownHosts {
 public:
  enum class Verdict { kTrusted, kUnknown, kChanged };

  explicit KnownHosts(std::filesystem::path file) : file_(std::move(file)) {}

  // The keys stored for host:port (empty when none or the file is absent).
  std::vector<HostKey> KeysFor(const std::string& host, int port) const;
  // kChanged when keys are stored for the host and none is `key`.
  Verdict Check(const std::string& host, int port, const HostKey& key) const;
  // Stores `key` for host:port in place of any key stored for it before,
  // replacing the file atomically (owner-only). Throws std::runtime_error
  // with the system's message when the file cannot be written.
  void Trust(const std::string& host, int port, const HostKey& key) const;

 private:
  std::vector<std::string> Lines() const;
  std::filesystem::path file_;
};

// "name" for port 22, "[name]:port" otherwise: how the file names a host.
std::string HostPattern(const std::string& host, int port);
// Whether the host field of a line (comma-separated names, plain or hashed)
// names `pattern`.
bool HostFieldMatches(const std::string& field, const std::string& pattern);
// OpenSSH's form of a key's SHA-256 fingerprint: "SHA256:" + unpadded base64.
std::string Sha256Fingerprint(const HostKey& key);

}  // namespace hemlo::sftp
