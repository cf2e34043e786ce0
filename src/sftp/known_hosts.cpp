#include "sftp/known_hosts.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/sha.h>

#include <sstream>
#include <stdexcept>

#include "base/atomic_file.h"

namespace hemlo::sftp {

namespace {

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

std::string Base64Encode(const unsigned char* data, size_t size) {
  std::string out((size + 2) / 3 * 4 + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, int(size));
  out.resize(size_t(n));
  return out;
}

// A line's three leading fields; false for blank lines, comments, markers.
bool SplitLine(const std::string& line, std::string& hosts, HostKey& key) {
  if (line.empty() || line[0] == '#' || line[0] == '@') return false;
  std::istringstream in(line);
  return bool(in >> hosts >> key.type >> key.base64);
}

}  // namespace

std::string HostPattern(const std::string& host, int port) {
  return port == 22 ? host : "[" + host + "]:" + std::to_string(port);
}

bool HostFieldMatches(const std::string& field, const std::string& pattern) {
  if (field.rfind("|1|", 0) == 0) {
    const size_t bar = field.find('|', 3);
    if (bar == std::string::npos) return false;
    const std::string salt = Base64Decode(field.substr(3, bar - 3));
    const std::string hash = Base64Decode(field.substr(bar + 1));
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int mac_len = 0;
    HMAC(EVP_sha1(), salt.data(), int(salt.size()),
         reinterpret_cast<const unsigned char*>(pattern.data()), pattern.size(), mac, &mac_len);
    return !hash.empty() && hash == std::string(reinterpret_cast<char*>(mac), mac_len);
  }
  size_t start = 0;
  while (start <= field.size()) {
    size_t comma = field.find(',', start);
    if (comma == std::string::npos) comma = field.size();
    if (field.compare(start, comma - start, pattern) == 0) return true;
    start = comma + 1;
  }
  return false;
}

std::string Sha256Fingerprint(const HostKey& key) {
  const std::string blob = Base64Decode(key.base64);
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(blob.data()), blob.size(), digest);
  std::string text = Base64Encode(digest, sizeof digest);
  while (!text.empty() && text.back() == '=') text.pop_back();
  return "SHA256:" + text;
}

std::vector<std::string> KnownHosts::Lines() const {
  std::string bytes;
  if (!ReadWholeFile(file_, bytes)) return {};
  std::vector<std::string> lines;
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<HostKey> KnownHosts::KeysFor(const std::string& host, int port) const {
  const std::string pattern = HostPattern(host, port);
  std::vector<HostKey> keys;
  for (const std::string& line : Lines()) {
    std::string hosts;
    HostKey key;
    if (SplitLine(line, hosts, key) && HostFieldMatches(hosts, pattern)) keys.push_back(key);
  }
  return keys;
}

KnownHosts::Verdict KnownHosts::Check(const std::string& host, int port, const HostKey& key) const {
  const std::vector<HostKey> keys = KeysFor(host, port);
  if (keys.empty()) return Verdict::kUnknown;
  for (const HostKey& k : keys) {
    if (k.type == key.type && k.base64 == key.base64) return Verdict::kTrusted;
  }
  return Verdict::kChanged;
}

void KnownHosts::Trust(const std::string& host, int port, const HostKey& key) const {
  const std::string pattern = HostPattern(host, port);
  std::string out;
  for (const std::string& line : Lines()) {
    std::string hosts;
    HostKey old;
    if (SplitLine(line, hosts, old) && HostFieldMatches(hosts, pattern)) continue;
    out += line + "\n";
  }
  out += pattern + " " + key.type + " " + key.base64 + "\n";
  std::filesystem::create_directories(file_.parent_path());
  const WriteResult written = WriteFileAtomically(file_, out, 0600);
  if (!written) throw std::runtime_error(written.error);
}

}  // namespace hemlo::sftp
