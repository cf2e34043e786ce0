#include "sftp/known_hosts.h"

#include <libssh2.h>
#include <openssl/evp.h>
#include <openssl/sha.h>

#include <sstream>
#include <stdexcept>

#include "base/atomic_file.h"

namespace hemlo::sftp {

namespace {

struct KeyKind {
  const char* name;
  int mask;
};
constexpr KeyKind kKinds[] = {
    {"ssh-ed25519", LIBSSH2_KNOWNHOST_KEY_ED25519},
    {"ecdsa-sha2-nistp256", LIBSSH2_KNOWNHOST_KEY_ECDSA_256},
    {"ecdsa-sha2-nistp384", LIBSSH2_KNOWNHOST_KEY_ECDSA_384},
    {"ecdsa-sha2-nistp521", LIBSSH2_KNOWNHOST_KEY_ECDSA_521},
    {"ssh-rsa", LIBSSH2_KNOWNHOST_KEY_SSHRSA},
};

int MaskOf(const std::string& type) {
  for (const KeyKind& k : kKinds) {
    if (type == k.name) return k.mask;
  }
  return LIBSSH2_KNOWNHOST_KEY_UNKNOWN;
}

const char* NameOf(int mask) {
  for (const KeyKind& k : kKinds) {
    if ((mask & LIBSSH2_KNOWNHOST_KEY_MASK) == k.mask) return k.name;
  }
  return "unknown";
}

std::string Base64Decode(const std::string& text) {
  if (text.empty() || text.size() % 4 != 0) return {};
  std::string out(text.size() / 4 * 3, '\0');
  const int n =
      EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                      reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
  if (n < 0) return {};
  size_t pad = 0;
  for (auto it = text.rbegin(); it != text.rend() && *it == '='; ++it) ++pad;
  out.resize(size_t(n) - pad);
  return out;
}

}  // namespace

std::string HostPattern(const std::string& host, int port) {
  return port == 22 ? host : "[" + host + "]:" + std::to_string(port);
}

std::string Sha256Fingerprint(const std::string& blob) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(blob.data()), blob.size(), digest);
  std::string text(((sizeof digest + 2) / 3) * 4 + 1, '\0');
  text.resize(size_t(
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), digest, sizeof digest)));
  while (!text.empty() && text.back() == '=') text.pop_back();
  return "SHA256:" + text;
}

KnownHosts::KnownHosts(std::filesystem::path file)
    : session_(libssh2_session_init()), file_(std::move(file)) {
  if (session_) hosts_ = libssh2_knownhost_init(session_);
  if (!hosts_) {
    if (session_) libssh2_session_free(session_);
    throw std::runtime_error("known hosts");
  }
  std::string bytes;
  if (!ReadWholeFile(file_, bytes)) return;
  // Line by line, so one line the library cannot read costs only itself.
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == '#' || libssh2_knownhost_readline(hosts_, line.data(), line.size(),
                                                     LIBSSH2_KNOWNHOST_FILE_OPENSSH) != 0) {
      kept_lines_.push_back(line);
    }
  }
}

KnownHosts::~KnownHosts() {
  libssh2_knownhost_free(hosts_);
  libssh2_session_free(session_);
}

std::vector<std::string> KnownHosts::KeyTypesFor(const std::string& host, int port) const {
  // A key no host has: any stored key of the type answers "mismatch".
  const std::string pattern = HostPattern(host, port);
  std::vector<std::string> types;
  for (const KeyKind& k : kKinds) {
    const int rc = libssh2_knownhost_checkp(
        hosts_, pattern.c_str(), -1, "\0", 1,
        LIBSSH2_KNOWNHOST_TYPE_PLAIN | LIBSSH2_KNOWNHOST_KEYENC_RAW | k.mask, nullptr);
    if (rc == LIBSSH2_KNOWNHOST_CHECK_MISMATCH || rc == LIBSSH2_KNOWNHOST_CHECK_MATCH)
      types.push_back(k.name);
  }
  return types;
}

KnownHosts::Verdict KnownHosts::Check(const std::string& host, int port, const HostKey& key,
                                      HostKey* old) const {
  libssh2_knownhost* found = nullptr;
  const int rc = libssh2_knownhost_checkp(
      hosts_, HostPattern(host, port).c_str(), -1, key.blob.data(), key.blob.size(),
      LIBSSH2_KNOWNHOST_TYPE_PLAIN | LIBSSH2_KNOWNHOST_KEYENC_RAW | MaskOf(key.type), &found);
  if (rc == LIBSSH2_KNOWNHOST_CHECK_MATCH) return Verdict::kTrusted;
  if (rc != LIBSSH2_KNOWNHOST_CHECK_MISMATCH || !found) return Verdict::kUnknown;
  if (old) {
    old->type = NameOf(found->typemask);
    old->blob = Base64Decode(found->key ? found->key : "");
  }
  return Verdict::kChanged;
}

void KnownHosts::Trust(const std::string& host, int port, const HostKey& key) {
  const std::string pattern = HostPattern(host, port);
  const int type = LIBSSH2_KNOWNHOST_TYPE_PLAIN | LIBSSH2_KNOWNHOST_KEYENC_RAW | MaskOf(key.type);
  for (;;) {  // the host's old keys of this type go
    libssh2_knownhost* found = nullptr;
    const int rc = libssh2_knownhost_checkp(hosts_, pattern.c_str(), -1, key.blob.data(),
                                            key.blob.size(), type, &found);
    if (rc == LIBSSH2_KNOWNHOST_CHECK_NOTFOUND || rc == LIBSSH2_KNOWNHOST_CHECK_FAILURE || !found)
      break;
    if (libssh2_knownhost_del(hosts_, found) != 0) break;
  }
  if (libssh2_knownhost_addc(hosts_, pattern.c_str(), nullptr, key.blob.data(), key.blob.size(),
                             nullptr, 0, type, nullptr) != 0) {
    throw std::runtime_error("鍵を加えられません");
  }
  std::string out;
  for (const std::string& line : kept_lines_) out += line + "\n";
  libssh2_knownhost* prev = nullptr;
  libssh2_knownhost* node = nullptr;
  while (libssh2_knownhost_get(hosts_, &node, prev) == 0) {
    std::string line(16 * 1024, '\0');
    size_t length = 0;
    if (libssh2_knownhost_writeline(hosts_, node, line.data(), line.size(), &length,
                                    LIBSSH2_KNOWNHOST_FILE_OPENSSH) == 0) {
      line.resize(length);
      out += line;
      if (!line.empty() && line.back() != '\n') out += "\n";
    }
    prev = node;
  }
  std::filesystem::create_directories(file_.parent_path());
  const WriteResult written = WriteFileAtomically(file_, out, 0600);
  if (!written) throw std::runtime_error(written.error);
}

}  // namespace hemlo::sftp
