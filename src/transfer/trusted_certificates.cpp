#include "transfer/trusted_certificates.h"

#include <system_error>

#include "base/ascii_case.h"
#include "base/atomic_file.h"
#include "remote/comma_text.h"

namespace hemlo::transfer {
namespace fs = std::filesystem;

namespace {

constexpr int kFingerprintBytes = 32;
constexpr const char* kHeader =
    "# Ferrox: trusted server certificates, one per line: host:port SHA-256";

bool SameHost(const std::string& a, const std::string& b) { return AsciiEqualNoCase(a, b); }

struct Entry {
  std::string host;
  int port = 0;
  std::string fingerprint;
};

std::optional<Entry> ReadLine(const std::string& line) {
  if (line.empty() || line.front() == '#') return std::nullopt;
  const size_t blank = line.rfind(' ');
  if (blank == std::string::npos) return std::nullopt;
  const std::string server = line.substr(0, blank);
  const size_t colon = server.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == server.size() ||
      server.size() - colon - 1 > 5)
    return std::nullopt;
  int port = 0;
  for (size_t i = colon + 1; i < server.size(); ++i) {
    if (server[i] < '0' || server[i] > '9') return std::nullopt;
    port = port * 10 + (server[i] - '0');
  }
  if (port < 1 || port > 65535) return std::nullopt;
  auto fingerprint = NormalFingerprint(line.substr(blank + 1));
  if (!fingerprint) return std::nullopt;
  return Entry{server.substr(0, colon), port, *fingerprint};
}

std::string LineOf(const std::string& host, int port, const std::string& fingerprint) {
  return host + ":" + std::to_string(port) + " " + fingerprint;
}

}  // namespace

std::optional<std::string> NormalFingerprint(const std::string& text) {
  std::string out;
  int digits = 0;
  for (char c : text) {
    if (c == ':') continue;
    const char u = AsciiUpper(c);
    if (!((u >= '0' && u <= '9') || (u >= 'A' && u <= 'F'))) return std::nullopt;
    if (digits > 0 && digits % 2 == 0) out += ':';
    out += u;
    ++digits;
  }
  if (digits != 2 * kFingerprintBytes) return std::nullopt;
  return out;
}

TrustedCertificates TrustedCertificates::Load(const fs::path& folder, FileOutcome* outcome) {
  TrustedCertificates store;
  store.path_ = folder / kCertificateFileName;
  std::error_code ec;
  if (!fs::exists(store.path_, ec)) return store;
  std::string bytes;
  if (const FileResult read = ReadWholeFile(store.path_, bytes); !read) {
    store.unreadable_ = store.path_.string() + ": " + read.message;
    if (outcome) *outcome = {false, store.unreadable_};
    return store;
  }
  store.lines_ = SplitFileLines(bytes);
  return store;
}

std::optional<std::string> TrustedCertificates::Fingerprint(const std::string& host,
                                                            int port) const {
  for (const auto& line : lines_)
    if (const auto e = ReadLine(line); e && e->port == port && SameHost(e->host, host))
      return e->fingerprint;
  return std::nullopt;
}

void TrustedCertificates::Trust(const std::string& host, int port, const std::string& fingerprint) {
  const std::string line = LineOf(host, port, NormalFingerprint(fingerprint).value_or(fingerprint));
  bool placed = false;
  std::vector<std::string> kept;
  kept.reserve(lines_.size() + 2);
  for (auto& l : lines_) {
    const auto e = ReadLine(l);
    if (!e || e->port != port || !SameHost(e->host, host)) {
      kept.push_back(std::move(l));
    } else if (!placed) {
      kept.push_back(line);  // where the old one stood
      placed = true;
    }
  }
  if (!placed) {
    if (kept.empty()) kept.push_back(kHeader);
    kept.push_back(line);
  }
  lines_ = std::move(kept);
}

FileOutcome TrustedCertificates::Save() const {
  if (!unreadable_.empty()) return {false, unreadable_};
  const WriteResult r = WriteFileAtomically(path_, JoinFileLines(lines_), 0600, true);
  if (r) return {};
  return {false, path_.string() + ": " + r.error};
}

}  // namespace hemlo::transfer
