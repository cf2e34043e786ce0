#include "base/version_pending.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <system_error>

#include "base/atomic_file.h"
#include "base/version_object.h"

namespace hemlo::version_files {

namespace fs = std::filesystem;

using version_object::Hex;

std::string PendingName(std::int64_t time, unsigned sequence, std::string_view size,
                        std::string_view writer) {
  char head[64];
  std::snprintf(head, sizeof head, "%012lld.%06u.", static_cast<long long>(time), sequence % 1000000);
  return std::string(kPendingPrefix) + head + std::string(size) + "." +
         Hex(reinterpret_cast<const unsigned char*>(writer.data()), writer.size());
}

std::optional<Pending> ParsePending(const fs::path& path) {
  const std::string name = path.filename().string();
  if (!name.starts_with(kPendingPrefix)) return std::nullopt;
  std::vector<std::string> parts;
  std::istringstream in(name.substr(kPendingPrefix.size()));
  for (std::string part; std::getline(in, part, '.');) parts.push_back(part);
  if (parts.size() != 4 || parts[0].empty() || parts[3].size() % 2 != 0) return std::nullopt;
  Pending p;
  p.path = path;
  char* end = nullptr;
  p.time = std::strtoll(parts[0].c_str(), &end, 10);
  if (*end) return std::nullopt;
  p.linked = parts[2] == "L";
  if (!p.linked) {
    p.size = std::strtoull(parts[2].c_str(), &end, 10);
    if (parts[2].empty() || *end) return std::nullopt;
  }
  for (std::size_t i = 0; i < parts[3].size(); i += 2) {
    const std::string two = parts[3].substr(i, 2);
    const unsigned long c = std::strtoul(two.c_str(), &end, 16);
    if (*end) return std::nullopt;  // a temporary name ends in ".tmp<pid>"
    p.writer += static_cast<char>(c);
  }
  return p;
}

std::vector<Pending> PendingIn(const fs::path& dir) {
  std::vector<Pending> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (auto p = ParsePending(e.path())) out.push_back(std::move(*p));
  std::sort(out.begin(), out.end(), [](const Pending& a, const Pending& b) { return a.path < b.path; });
  return out;
}

bool PendingBytes(const Pending& p, std::string& bytes) {
  return ReadWholeFile(p.path, bytes) && (p.linked || bytes.size() == p.size);
}

}  // namespace hemlo::version_files
