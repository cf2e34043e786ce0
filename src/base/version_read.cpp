#include "base/version_store.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "base/atomic_file.h"
#include "base/version_files.h"
#include "base/version_object.h"
#include "base/version_pending.h"

// Listing a page's versions and building one back.
namespace hemlo {

namespace fs = std::filesystem;

using namespace version_files;
using namespace version_object;

std::vector<StoredVersion> VersionStore::Versions(const fs::path& page) const {
  std::lock_guard lock(mutex_);
  const fs::path dir = PageFolder(page);
  const bool folded = FoldIn(dir);
  std::vector<StoredVersion> v = ReadIndex(dir);
  if (!folded)  // what could not be folded in (a full disk) is listed as it is
    for (const Pending& p : PendingIn(dir)) {
      std::string bytes;
      if (folded_.count(p.path)) continue;  // in the index already
      if (PendingBytes(p, bytes)) v.push_back({p.time, bytes.size(), p.writer, Sha256(bytes)});
    }
  std::reverse(v.begin(), v.end());
  return v;
}

std::optional<std::string> VersionStore::Bytes(const fs::path& page, const std::string& hash) const {
  std::lock_guard lock(mutex_);
  if (!IsHash(hash)) return std::nullopt;
  const fs::path dir = PageFolder(page);
  FoldIn(dir);
  std::error_code ec;
  if (!fs::exists(dir / hash, ec))
    for (const Pending& p : PendingIn(dir)) {
      std::string bytes;
      if (PendingBytes(p, bytes) && Sha256(bytes) == hash) return bytes;
    }
  // Follow the differences to the whole object, then build back.
  std::vector<std::string> chain_bytes;
  std::vector<Object> chain;
  std::string h = hash;
  std::string result;
  for (std::size_t depth = 0;; ++depth) {
    if (depth > 100000) return std::nullopt;  // a loop in a damaged store
    std::string bytes;
    if (!ReadWholeFile(dir / h, bytes)) return std::nullopt;
    chain_bytes.push_back(std::move(bytes));
    Object o;
    if (!ParseObject(chain_bytes.back(), o)) return std::nullopt;
    if (o.whole) {
      if (!WholeBytes(o, result)) return std::nullopt;
      break;
    }
    h = o.base;
    chain.push_back(o);
  }
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (it->head + it->tail > result.size()) return std::nullopt;
    std::string middle;
    if (!Inflate(it->body, it->size, middle)) return std::nullopt;
    std::string older;
    older.reserve(it->head + middle.size() + it->tail);
    older.append(result, 0, it->head);
    older += middle;
    older.append(result, result.size() - it->tail, it->tail);
    result = std::move(older);
  }
  if (Sha256(result) != hash) return std::nullopt;
  return result;
}

}  // namespace hemlo
