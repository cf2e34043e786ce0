#include "publish/sync_record.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <vector>

#include "base/atomic_file.h"

namespace hemlo::publish {

namespace fs = std::filesystem;

namespace {

constexpr const char* kHeader = "HemloPublish 1";

std::string Hex(const unsigned char* p, size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  out.reserve(n * 2);
  for (size_t i = 0; i < n; ++i) {
    out.push_back(digits[p[i] >> 4]);
    out.push_back(digits[p[i] & 15]);
  }
  return out;
}

struct MdFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

// Paths may hold any byte but NUL: tab, CR, LF and "%" are escaped so one
// line stays one entry.
std::string Escape(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::optional<std::string> Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out.push_back(s[i]);
      continue;
    }
    if (i + 2 >= s.size()) return std::nullopt;
    unsigned v = 0;
    if (std::sscanf(s.substr(i + 1, 2).c_str(), "%2X", &v) != 1) return std::nullopt;
    out.push_back(static_cast<char>(v));
    i += 2;
  }
  return out;
}

bool ParseInt(const std::string& s, int64_t& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long long x = std::strtoll(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  v = x;
  return true;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    out.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return out;
}

}  // namespace

std::optional<std::string> FileSha256(const std::string& path, const std::function<bool()>& stop) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::unique_ptr<EVP_MD_CTX, MdFree> ctx(EVP_MD_CTX_new());
  EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr);
  char buf[1 << 16];
  // A site's large file takes seconds: the stop test runs every 4 MiB.
  constexpr int kReadsPerStopTest = 64;
  bool ok = true;
  for (int reads = 0;; ++reads) {
    if (stop && reads % kReadsPerStopTest == kReadsPerStopTest - 1 && stop()) {
      ok = false;
      break;
    }
    const ssize_t r = ::read(fd, buf, sizeof buf);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      ok = false;
      break;
    }
    if (r == 0) break;
    EVP_DigestUpdate(ctx.get(), buf, static_cast<size_t>(r));
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_DigestFinal_ex(ctx.get(), md, &len);
  return Hex(md, len);
}

fs::path RecordPath(const fs::path& state_folder, const std::string& host, const std::string& user,
                    const std::string& remote_root, const std::string& local_root) {
  const std::string key = host + '\n' + user + '\n' + remote_root + '\n' + local_root;
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_Digest(key.data(), key.size(), md, &len, EVP_sha256(), nullptr);
  return state_folder / ("FerroxPublish-" + Hex(md, 8) + ".dat");
}

SyncRecord LoadRecord(const fs::path& path) {
  SyncRecord record;
  std::string bytes;
  std::error_code ec;
  if (!fs::exists(path, ec) || !ReadWholeFile(path, bytes)) return record;
  std::istringstream in(bytes);
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first) {
      first = false;
      if (line != kHeader) return record;  // a file of another kind or version
      continue;
    }
    const auto f = SplitTabs(line);
    if (f.size() != 6) continue;
    RecordEntry e;
    int64_t mtime = 0;
    if (!ParseInt(f[0], e.size) || f[1].size() != 64 || !ParseInt(f[2], e.local_mtime_ns) ||
        !ParseInt(f[3], e.remote_size))
      continue;
    e.sha256 = f[1];
    if (f[4] != "-") {
      if (!ParseInt(f[4], mtime)) continue;
      e.remote_mtime = mtime;
    }
    auto p = Unescape(f[5]);
    if (!p || p->empty()) continue;
    record.files[*p] = std::move(e);
  }
  return record;
}

FileResult SaveRecord(const fs::path& path, const SyncRecord& record) {
  std::string out = std::string(kHeader) + "\n";
  out.reserve(record.files.size() * 120);
  for (const auto& [p, e] : record.files) {
    out += std::to_string(e.size) + '\t' + e.sha256 + '\t' + std::to_string(e.local_mtime_ns) +
           '\t' + std::to_string(e.remote_size) + '\t' +
           (e.remote_mtime ? std::to_string(*e.remote_mtime) : std::string("-")) + '\t' +
           Escape(p) + '\n';
  }
  const WriteResult r = WriteFileAtomically(path, out, 0600);
  if (r) return {};
  return FileFailed("公開の記録「" + path.string() + "」を保存できません: " + r.error);
}

}  // namespace hemlo::publish
