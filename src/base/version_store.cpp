#include "base/version_store.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>

#include "base/atomic_file.h"
#include "base/program_folder.h"

namespace hemlo {

namespace fs = std::filesystem;

namespace {

constexpr const char* kIndexName = "index";
constexpr const char* kIndexHeading = "HemloVersions 1";

std::string Hex(const unsigned char* p, std::size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(n * 2);
  for (std::size_t i = 0; i < n; ++i) {
    out += digits[p[i] >> 4];
    out += digits[p[i] & 15];
  }
  return out;
}

std::string Sha256(std::string_view bytes) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  EVP_Digest(bytes.data(), bytes.size(), md, &n, EVP_sha256(), nullptr);
  return Hex(md, n);
}

bool IsHash(std::string_view s) {
  return s.size() == 64 &&
         std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

VersionResult Failed(const std::string& what) {
  return {false, "以前の版を残せませんでした（" + what + "）"};
}

// The store's own files go through a temporary name and a rename, so none is
// ever half there; they are not flushed one by one (that would double the
// cost of a save), and a version torn by a crash fails its hash check.
bool WriteQuickly(const fs::path& target, std::string_view bytes, std::string& error) {
  const std::string temporary = target.string() + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = std::strerror(n < 0 ? errno : ENOSPC);
      ::close(fd);
      ::unlink(temporary.c_str());
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0 || ::rename(temporary.c_str(), target.c_str()) != 0) {
    error = std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool Deflate(std::string_view in, int level, std::string& out) {
  uLongf n = compressBound(static_cast<uLong>(in.size()));
  const std::size_t head = out.size();
  out.resize(head + n);
  if (compress2(reinterpret_cast<Bytef*>(out.data() + head), &n,
                reinterpret_cast<const Bytef*>(in.data()), static_cast<uLong>(in.size()),
                level) != Z_OK)
    return false;
  out.resize(head + n);
  return true;
}

bool Inflate(std::string_view in, std::size_t size, std::string& out) {
  out.assign(size, '\0');
  uLongf n = static_cast<uLongf>(size);
  if (uncompress(reinterpret_cast<Bytef*>(out.data()), &n,
                 reinterpret_cast<const Bytef*>(in.data()), static_cast<uLong>(in.size())) != Z_OK)
    return false;
  return n == size;
}

// Above this a page's newest version is kept as it is: deflating 20 MB would
// cost more than the save itself, and it is deflated anyway as a difference
// once a newer version arrives.
constexpr std::size_t kDeflatedWholeMost = 2u << 20;

// An object: "F <size>\n" and the whole version deflated, "W <size>\n" and
// the whole version as it is, or
// "D <newer hash> <head> <tail> <size>\n" and the deflated middle: the version
// is the newer one's first <head> bytes, the middle, its last <tail> bytes.
struct Object {
  bool whole = false;
  bool raw = false;  // a whole version not deflated
  std::string base;
  std::uint64_t head = 0, tail = 0, size = 0;
  std::string_view body;
};

bool ParseObject(std::string_view bytes, Object& o) {
  const auto eol = bytes.find('\n');
  if (eol == std::string_view::npos) return false;
  std::istringstream in{std::string(bytes.substr(0, eol))};
  char kind = 0;
  in >> kind;
  if (kind == 'F' || kind == 'W') {
    o.whole = true;
    o.raw = kind == 'W';
    in >> o.size;
  } else if (kind == 'D') {
    in >> o.base >> o.head >> o.tail >> o.size;
    if (!IsHash(o.base)) return false;
  } else {
    return false;
  }
  if (in.fail()) return false;
  o.body = bytes.substr(eol + 1);
  return !o.raw || o.body.size() == o.size;
}

bool WholeBytes(const Object& o, std::string& out) {
  if (!o.raw) return Inflate(o.body, o.size, out);
  out.assign(o.body);
  return true;
}

std::string WholeObject(std::string_view bytes) {
  if (bytes.size() > kDeflatedWholeMost)
    return "W " + std::to_string(bytes.size()) + "\n" + std::string(bytes);
  std::string out = "F " + std::to_string(bytes.size()) + "\n";
  Deflate(bytes, Z_BEST_SPEED, out);
  return out;
}

// `older` as what differs from `newer`.
std::string DeltaObject(std::string_view older, std::string_view newer, const std::string& newer_hash) {
  const std::size_t most = std::min(older.size(), newer.size());
  std::size_t head = 0;
  while (head < most && older[head] == newer[head]) ++head;
  std::size_t tail = 0;
  while (tail < most - head && older[older.size() - 1 - tail] == newer[newer.size() - 1 - tail]) ++tail;
  const std::string_view middle = older.substr(head, older.size() - head - tail);
  std::string out = "D " + newer_hash + " " + std::to_string(head) + " " + std::to_string(tail) +
                    " " + std::to_string(middle.size()) + "\n";
  Deflate(middle, Z_DEFAULT_COMPRESSION, out);
  return out;
}

std::vector<StoredVersion> ReadIndex(const fs::path& dir) {
  std::vector<StoredVersion> out;
  std::string bytes;
  if (!ReadWholeFile(dir / kIndexName, bytes)) return out;
  std::istringstream in(bytes);
  std::string line;
  if (!std::getline(in, line) || line != kIndexHeading) return out;
  std::getline(in, line);  // the page's path, for a reader of the folder
  while (std::getline(in, line)) {
    std::istringstream row(line);
    StoredVersion v;
    if (!(row >> v.time >> v.size >> v.hash) || !IsHash(v.hash)) continue;  // a torn row
    std::getline(row, v.writer);
    if (!v.writer.empty() && v.writer.front() == '\t') v.writer.erase(0, 1);
    out.push_back(std::move(v));
  }
  return out;  // oldest first
}

bool WriteIndex(const fs::path& dir, const fs::path& page, const std::vector<StoredVersion>& entries,
                std::string& error) {
  std::string out = std::string(kIndexHeading) + "\n";
  std::string name = page.string();
  std::replace(name.begin(), name.end(), '\n', ' ');
  out += name + "\n";
  for (const StoredVersion& v : entries)
    out += std::to_string(v.time) + "\t" + std::to_string(v.size) + "\t" + v.hash + "\t" + v.writer + "\n";
  return WriteQuickly(dir / kIndexName, out, error);
}

// Removes objects no kept version needs, directly or as the base of one.
void CollectGarbage(const fs::path& dir, const std::vector<StoredVersion>& entries) {
  std::set<std::string> live;
  std::vector<std::string> todo;
  for (const StoredVersion& v : entries) todo.push_back(v.hash);
  while (!todo.empty()) {
    const std::string h = todo.back();
    todo.pop_back();
    if (!live.insert(h).second) continue;
    std::string bytes;
    Object o;
    if (ReadWholeFile(dir / h, bytes) && ParseObject(bytes, o) && !o.whole) todo.push_back(o.base);
  }
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    const std::string name = e.path().filename().string();
    if (name == kIndexName || live.count(name)) continue;
    fs::remove(e.path(), ec);
  }
}

std::uint64_t FolderBytes(const fs::path& dir) {
  std::uint64_t total = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    const auto n = e.file_size(ec);
    if (!ec) total += n;
  }
  return total;
}

// Drops what neither rule keeps: beyond the newest kept count and older than the kept age.
bool Prune(std::vector<StoredVersion>& entries, std::int64_t now) {
  bool dropped = false;
  while (entries.size() > kKeptVersionsPerPage && entries.front().time < now - kKeptVersionSeconds) {
    entries.erase(entries.begin());
    dropped = true;
  }
  return dropped;
}

}  // namespace

VersionStore::VersionStore(fs::path folder, std::uint64_t cap_bytes)
    : folder_(std::move(folder)), cap_(cap_bytes) {}

fs::path VersionStore::PageFolder(const fs::path& page) const {
  std::error_code ec;
  fs::path p = fs::absolute(FinalTarget(page), ec).lexically_normal();
  return folder_ / Sha256(p.string()).substr(0, 24);
}

VersionResult VersionStore::KeepCurrent(const fs::path& page, std::string_view writer,
                                        std::int64_t now) {
  std::error_code ec;
  if (!fs::is_regular_file(page, ec)) return {};
  std::string bytes, error;
  if (!ReadWholeFile(page, bytes, &error)) return Failed(page.string() + ": " + error);
  return Keep(page, bytes, writer, now);
}

VersionResult VersionStore::Keep(const fs::path& page, std::string_view bytes,
                                 std::string_view writer, std::int64_t now) {
  if (cap_ == 0) return {};  // the user turned the store off
  std::string error;
  if (!MakePrivateFolder(folder_, &error)) return Failed(error);
  const fs::path dir = PageFolder(page);
  std::error_code ec;
  fs::create_directory(dir, ec);
  if (ec) return Failed(ec.message());
  const std::uint64_t folder_before = total_ ? FolderBytes(dir) : 0;
  std::vector<StoredVersion> entries = ReadIndex(dir);
  const std::string hash = Sha256(bytes);
  if (!entries.empty() && entries.back().hash == hash) return {};

  // The newest version whole; the one before it becomes its difference.
  std::string previous_bytes;
  Object previous;
  const bool rewrite_previous = !entries.empty() && entries.back().hash != hash &&
                                ReadWholeFile(dir / entries.back().hash, previous_bytes) &&
                                ParseObject(previous_bytes, previous) && previous.whole;
  std::string existing;
  Object same;
  const bool already_whole = ReadWholeFile(dir / hash, existing) && ParseObject(existing, same) &&
                             same.whole && same.size == bytes.size();
  if (!already_whole && !WriteQuickly(dir / hash, WholeObject(bytes), error)) return Failed(error);
  if (rewrite_previous) {
    std::string older;
    if (WholeBytes(previous, older))  // zlib checks its own stream
      // Kept whole when this fails: larger, never lost.
      WriteQuickly(dir / entries.back().hash, DeltaObject(older, bytes, hash), error);
  }
  entries.push_back({now, bytes.size(), std::string(writer), hash});
  const bool dropped = Prune(entries, now);
  if (!WriteIndex(dir, page, entries, error)) return Failed(error);
  if (dropped) CollectGarbage(dir, entries);
  if (total_) *total_ = *total_ - std::min(*total_, folder_before) + FolderBytes(dir);
  ApplyCap(now);
  return {};
}

std::vector<StoredVersion> VersionStore::Versions(const fs::path& page) const {
  std::vector<StoredVersion> v = ReadIndex(PageFolder(page));
  std::reverse(v.begin(), v.end());
  return v;
}

std::optional<std::string> VersionStore::Bytes(const fs::path& page, const std::string& hash) const {
  if (!IsHash(hash)) return std::nullopt;
  const fs::path dir = PageFolder(page);
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

std::uint64_t VersionStore::TotalBytes() const {
  std::uint64_t total = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder_, ec))
    if (e.is_directory(ec)) total += FolderBytes(e.path());
  return total;
}

void VersionStore::ApplyCap(std::int64_t now) const {
  if (total_ && *total_ <= cap_ && now >= total_counted_ && now - total_counted_ <= 60) return;
  // Nothing is removed on the kept count alone: it may be stale.
  std::uint64_t total = TotalBytes();
  total_ = total;
  total_counted_ = now;
  if (total <= cap_) return;
  total_.reset();  // counted again next time: what follows may stop short
  // Every page's versions, the oldest of all going first.
  std::map<fs::path, std::vector<StoredVersion>> pages;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder_, ec))
    if (e.is_directory(ec)) pages[e.path()] = ReadIndex(e.path());
  while (total > cap_) {
    auto oldest = pages.end();
    for (auto it = pages.begin(); it != pages.end(); ++it)
      if (!it->second.empty() &&
          (oldest == pages.end() || it->second.front().time < oldest->second.front().time))
        oldest = it;
    if (oldest == pages.end()) return;
    const fs::path& dir = oldest->first;
    auto& entries = oldest->second;
    const std::uint64_t before = FolderBytes(dir);
    entries.erase(entries.begin());
    std::string error;
    std::string page_line;
    {
      std::string bytes;
      ReadWholeFile(dir / kIndexName, bytes);
      std::istringstream in(bytes);
      std::getline(in, page_line);
      std::getline(in, page_line);
    }
    if (!WriteIndex(dir, page_line, entries, error)) return;
    CollectGarbage(dir, entries);
    const std::uint64_t after = FolderBytes(dir);
    total -= std::min(total, before - std::min(before, after));
    if (entries.empty()) {
      fs::remove_all(dir, ec);
      total -= std::min(total, after);
    }
  }
  total_ = total;
}

namespace {
std::mutex g_store_mutex;
std::uint64_t g_cap = kDefaultVersionCapBytes;
bool g_failing = false;

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}
}  // namespace

VersionStore& ProgramVersionStore() {
  // Follows the state folder and the cap as they are now (tests move both).
  static VersionStore store{fs::path()};
  store.set_folder(ProgramFolder() / "versions");
  store.set_cap(g_cap);
  return store;
}

void SetVersionCap(std::uint64_t cap_bytes) {
  std::lock_guard lock(g_store_mutex);
  g_cap = cap_bytes;
}

VersionResult KeepBeforeWrite(const fs::path& page, std::string_view writer) {
  std::lock_guard lock(g_store_mutex);
  return ProgramVersionStore().KeepCurrent(page, writer, Now());
}

VersionResult KeepBeforeWrite(const fs::path& page, std::string_view bytes, std::string_view writer) {
  std::lock_guard lock(g_store_mutex);
  return ProgramVersionStore().Keep(page, bytes, writer, Now());
}

std::string VersionNoticeOnce(const VersionResult& r) {
  std::lock_guard lock(g_store_mutex);
  if (r.ok) {
    g_failing = false;
    return {};
  }
  if (g_failing) return {};
  g_failing = true;
  return r.message;
}

}  // namespace hemlo
