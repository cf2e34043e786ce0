#include "base/version_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>

#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "base/version_object.h"

namespace hemlo {

namespace fs = std::filesystem;

using namespace version_object;

namespace {

constexpr const char* kIndexName = "index";
constexpr const char* kIndexHeading = "HemloVersions 1";
// A version set aside by a save and not yet folded in:
// "pending.<time>.<sequence>.<size or L>.<writer in hex>", the bytes as they
// are. "L" marks a hard link to the replaced file (whole by nature); a copy
// names its size, so one torn by a crash is known.
constexpr std::string_view kPendingPrefix = "pending.";

VersionResult Failed(const std::string& what) {
  return {false, "以前の版を残せませんでした（" + what + "）"};
}

// The store's own files go through a temporary name and a rename, so none is
// ever half there; they are flushed together at the end of a fold, on the
// worker (Keep, which nothing on a save's path calls, does not flush), and a
// version torn by a crash fails its hash check.
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

void Flush(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Before what was set aside goes, what it was folded into must be on the
// disk: the folder's files (an unchanged one costs nothing) and names.
void FlushFolder(const fs::path& dir) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.is_regular_file(ec)) Flush(e.path());
  Flush(dir);
}

// What an append to the index needs to know of it.
struct IndexShape {
  bool sound = false;        // its heading read
  bool ends_in_line = true;  // false after a row torn by a crash
};

std::vector<StoredVersion> ReadIndex(const fs::path& dir, IndexShape* shape = nullptr) {
  std::vector<StoredVersion> out;
  std::string bytes;
  if (!ReadWholeFile(dir / kIndexName, bytes)) return out;
  std::istringstream in(bytes);
  std::string line;
  if (!std::getline(in, line) || line != kIndexHeading) return out;
  if (shape) *shape = {true, bytes.ends_with('\n')};
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

std::string IndexRow(const StoredVersion& v) {
  return std::to_string(v.time) + "\t" + std::to_string(v.size) + "\t" + v.hash + "\t" + v.writer + "\n";
}

bool WriteIndex(const fs::path& dir, const fs::path& page, const std::vector<StoredVersion>& entries,
                std::string& error) {
  std::string out = std::string(kIndexHeading) + "\n";
  std::string name = page.string();
  std::replace(name.begin(), name.end(), '\n', ' ');
  out += name + "\n";
  for (const StoredVersion& v : entries) out += IndexRow(v);
  return WriteQuickly(dir / kIndexName, out, error);
}

// A new version is one row more: appended, not the index written anew, as
// every new file costs the file system an inode (slow to find on ext4 soon
// after many were freed). A row torn by a crash is skipped by the reader;
// the next starts on a line of its own.
bool AppendIndexRow(const fs::path& dir, const IndexShape& shape, const StoredVersion& v,
                    std::string& error) {
  const std::string row = (shape.ends_in_line ? "" : "\n") + IndexRow(v);
  const int fd = ::open((dir / kIndexName).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  std::size_t done = 0;
  while (done < row.size()) {
    const ssize_t n = ::write(fd, row.data() + done, row.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = std::strerror(n < 0 ? errno : ENOSPC);
      ::close(fd);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) {
    error = std::strerror(errno);
    return false;
  }
  return true;
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
    if (name == kIndexName || live.count(name) || name.starts_with(kPendingPrefix)) continue;
    fs::remove(e.path(), ec);
  }
}

// What was set aside and already folded in, waiting only for its flush to
// be removed, is not counted twice (once as itself, once folded in).
std::uint64_t FolderBytes(const fs::path& dir, const std::set<fs::path>& folded) {
  std::uint64_t total = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    if (!folded.empty() && folded.count(e.path())) continue;
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

struct Pending {
  fs::path path;
  std::int64_t time = 0;
  bool linked = false;
  std::uint64_t size = 0;
  std::string writer;
};

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

// Oldest first (the names sort by time, then by sequence).
std::vector<Pending> PendingIn(const fs::path& dir) {
  std::vector<Pending> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (auto p = ParsePending(e.path())) out.push_back(std::move(*p));
  std::sort(out.begin(), out.end(), [](const Pending& a, const Pending& b) { return a.path < b.path; });
  return out;
}

// Its bytes; false when it cannot be read or a copy was torn.
bool PendingBytes(const Pending& p, std::string& bytes) {
  return ReadWholeFile(p.path, bytes) && (p.linked || bytes.size() == p.size);
}

std::string PageLine(const fs::path& dir) {
  std::string bytes, line;
  ReadWholeFile(dir / kIndexName, bytes);
  std::istringstream in(bytes);
  std::getline(in, line);
  std::getline(in, line);
  return line;
}

}  // namespace

VersionStore::VersionStore(fs::path folder, std::uint64_t cap_bytes)
    : folder_(std::move(folder)), cap_(cap_bytes) {}

fs::path VersionStore::PageFolder(const fs::path& page) const {
  std::error_code ec;
  fs::path p = fs::absolute(FinalTarget(page), ec).lexically_normal();
  return folder_ / Sha256(p.string()).substr(0, 24);
}

fs::path VersionStore::folder() const {
  std::lock_guard lock(mutex_);
  return folder_;
}

void VersionStore::set_folder(fs::path folder) {
  std::lock_guard lock(mutex_);
  if (folder != folder_) total_.reset();
  folder_ = std::move(folder);
}

void VersionStore::set_cap(std::uint64_t cap_bytes) {
  std::lock_guard lock(mutex_);
  cap_ = cap_bytes;
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
  std::lock_guard lock(mutex_);
  if (cap_ == 0) return {};  // the user turned the store off
  if (const FileResult made = MakePrivateFolder(folder_); !made) return Failed(made.message);
  const fs::path dir = PageFolder(page);
  std::error_code ec;
  fs::create_directory(dir, ec);
  if (ec) return Failed(ec.message());
  FoldIn(dir);  // what was set aside is older than these bytes
  return KeepIn(dir, page.string(), bytes, writer, now);
}

VersionResult VersionStore::KeepIn(const fs::path& dir, const std::string& page_name,
                                   std::string_view bytes, std::string_view writer,
                                   std::int64_t now) const {
  std::string error;
  const std::uint64_t folder_before = total_ ? FolderBytes(dir, folded_) : 0;
  IndexShape shape;
  std::vector<StoredVersion> entries = ReadIndex(dir, &shape);
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
  const bool written = !dropped && shape.sound ? AppendIndexRow(dir, shape, entries.back(), error)
                                               : WriteIndex(dir, page_name, entries, error);
  if (!written) return Failed(error);
  if (dropped) CollectGarbage(dir, entries);
  if (total_) *total_ = *total_ - std::min(*total_, folder_before) + FolderBytes(dir, folded_);
  ApplyCap();
  return {};
}

VersionResult VersionStore::SetAside(const fs::path& page, std::string_view writer,
                                     std::int64_t now, fs::path* pending) {
  std::lock_guard lock(mutex_);
  return SetAsideIn(page, {}, true, writer, now, pending);
}

VersionResult VersionStore::SetAside(const fs::path& page, std::string_view bytes,
                                     std::string_view writer, std::int64_t now,
                                     fs::path* pending) {
  std::lock_guard lock(mutex_);
  return SetAsideIn(page, bytes, false, writer, now, pending);
}

VersionResult VersionStore::SetAsideIn(const fs::path& page, std::string_view bytes, bool link,
                                       std::string_view writer, std::int64_t now,
                                       fs::path* pending) const {
  if (cap_ == 0) return {};
  const fs::path source = FinalTarget(page);
  if (link) {
    struct stat st;
    if (::stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};  // nothing to keep
  }
  std::string error;
  if (const FileResult made = MakePrivateFolder(folder_); !made) return Failed(made.message);
  const fs::path dir = PageFolder(page);
  std::error_code ec;
  fs::create_directory(dir, ec);
  if (ec) return Failed(ec.message());
  // The page's name first, so that what a crash leaves set aside is still its.
  if (!fs::exists(dir / kIndexName, ec)) {
    fs::path name = fs::absolute(source, ec).lexically_normal();
    if (!WriteIndex(dir, name, {}, error)) return Failed(error);
  }
  static std::atomic<unsigned> sequence{0};
  std::string copy;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const unsigned n = sequence.fetch_add(1);
    if (link) {
      const fs::path target = dir / PendingName(now, n, "L", writer);
      if (::link(source.c_str(), target.c_str()) == 0) break;
      if (errno == EEXIST) continue;
      // Another file system, or one without links: one copy instead.
      if (!ReadWholeFile(source, copy, &error)) return Failed(page.string() + ": " + error);
      bytes = copy;
      link = false;
    }
    const fs::path target = dir / PendingName(now, n, std::to_string(bytes.size()), writer);
    if (fs::exists(target, ec)) continue;
    if (!WriteQuickly(target, bytes, error)) return Failed(error);
    // A copy is all there is of these bytes once the write replaces the page.
    Flush(target);
    Flush(dir);
    break;
  }
  if (pending) *pending = dir;
  return {};
}

VersionResult VersionStore::SetAsideAll(const std::vector<fs::path>& pages,
                                        std::string_view writer, std::int64_t now,
                                        std::vector<fs::path>* pending) {
  std::lock_guard lock(mutex_);
  VersionResult first;
  for (const fs::path& page : pages) {
    fs::path dir;
    const VersionResult r = SetAsideIn(page, {}, true, writer, now, &dir);
    if (!r && first) first = r;
    if (pending && !dir.empty()) pending->push_back(std::move(dir));
  }
  return first;
}

void VersionStore::Fold(const fs::path& page_folder) {
  std::lock_guard lock(mutex_);
  FoldIn(page_folder);
}

bool VersionStore::FoldIn(const fs::path& dir) const {
  std::vector<fs::path> folded;
  const bool all = FoldInUnflushed(dir, folded);
  if (!folded.empty()) FlushFolder(dir);
  std::error_code ec;
  for (const fs::path& f : folded) {
    fs::remove(f, ec);
    folded_.erase(f);
  }
  return all;
}

void VersionStore::FoldBatch(const std::vector<fs::path>& page_folders) {
  std::vector<fs::path> folded, flushed;
  for (const fs::path& dir : page_folders) {
    std::lock_guard lock(mutex_);
    const std::size_t before = folded.size();
    FoldInUnflushed(dir, folded);
    if (folded.size() > before) flushed.push_back(dir);
  }
  // The flushes wait on the disk, not on the processor; nothing here needs
  // the lock, so a save meanwhile sets its page aside at once.
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < flushed.size();) FlushFolder(flushed[i]);
  };
  std::vector<std::thread> pool;
  try {
    for (std::size_t i = 1; i < std::min<std::size_t>(flushed.size(), 8); ++i)
      pool.emplace_back(work);
  } catch (const std::system_error&) {
    // Fewer threads: the same flushes, one after another.
  }
  work();
  for (std::thread& t : pool) t.join();
  std::lock_guard lock(mutex_);
  std::error_code ec;
  for (const fs::path& f : folded) {
    fs::remove(f, ec);
    folded_.erase(f);
  }
}

bool VersionStore::FoldInUnflushed(const fs::path& dir, std::vector<fs::path>& folded) const {
  std::vector<Pending> pending = PendingIn(dir);
  std::erase_if(pending, [&](const Pending& p) { return folded_.count(p.path) != 0; });
  if (pending.empty()) return true;
  const std::string page_name = PageLine(dir);
  bool all = true;
  for (const Pending& p : pending) {
    std::string bytes;
    std::error_code ec;
    if (!PendingBytes(p, bytes)) {
      if (!p.linked && fs::exists(p.path, ec)) fs::remove(p.path, ec);  // torn by a crash
      continue;
    }
    if (cap_ != 0 && !KeepIn(dir, page_name, bytes, p.writer, p.time)) {
      all = false;  // it and the newer ones stay set aside
      break;
    }
    folded.push_back(p.path);
    folded_.insert(p.path);
  }
  return all;
}

void VersionStore::FoldAll() const {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder_, ec))
    if (e.is_directory(ec)) FoldIn(e.path());
}

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

std::uint64_t VersionStore::TotalBytes() const {
  std::lock_guard lock(mutex_);
  FoldAll();
  return TotalBytesNow();
}

std::uint64_t VersionStore::TotalBytesNow() const {
  std::uint64_t total = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder_, ec))
    if (e.is_directory(ec)) total += FolderBytes(e.path(), folded_);
  return total;
}

void VersionStore::ApplyCap() const {
  const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count();
  if (total_ && *total_ <= cap_ && now - total_counted_ <= 60) return;
  // Nothing is removed on the kept count alone: it may be stale.
  std::uint64_t total = TotalBytesNow();
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
    const std::uint64_t before = FolderBytes(dir, folded_);
    entries.erase(entries.begin());
    std::string error;
    if (!WriteIndex(dir, PageLine(dir), entries, error)) return;
    CollectGarbage(dir, entries);
    const std::uint64_t after = FolderBytes(dir, folded_);
    total -= std::min(total, before - std::min(before, after));
    if (entries.empty() && PendingIn(dir).empty()) {
      fs::remove_all(dir, ec);
      total -= std::min(total, after);
    }
  }
  total_ = total;
}

}  // namespace hemlo
