// The server's times as a plan reads them.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>

#include "base/remote_errors.h"
#include "publish/plan_parts.h"

namespace hemlo::publish::plan_parts {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

}  // namespace

// The remote time of a file as a true time, for the rule without a record.
std::optional<int64_t> ExactRemoteTime(transfer::RemoteFiles& remote, const RemoteTree& tree,
                                       const std::string& root, const std::string& rel) {
  if (tree.exact_times) {
    auto it = tree.entries.find(rel);
    if (it != tree.entries.end() && it->second.modified_utc) return it->second.modified_utc;
  }
  return remote.ModifiedTime(Join(root, rel));
}

// The server's clock minus ours: a small temporary file is uploaded to the
// root, its time read the same way the files' times are read, and removed.
std::optional<int64_t> MeasureClockOffset(transfer::RemoteFiles& remote, const RemoteTree& tree,
                                          const std::string& root) {
  char local[] = "/tmp/hemlo2-clock-XXXXXX";
  const int fd = ::mkstemp(local);
  if (fd < 0) return std::nullopt;
  ::close(fd);
  std::random_device rd;
  const std::string name = TemporaryName(rd());
  const std::string remote_path = Join(root, name);
  std::optional<int64_t> offset;
  try {
    remote.Upload(local, remote_path, nullptr);
    const int64_t after = std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    std::optional<int64_t> t;
    if (tree.exact_times) {
      for (const auto& f : remote.List(root))
        if (f.name == name) t = f.modified_utc;
    } else {
      t = remote.ModifiedTime(remote_path);
    }
    if (t) offset = *t - after;
    remote.DeleteFile(remote_path);
  } catch (const remote::RemoteError& e) {
    // A server that refuses the probe: files without a record then count
    // as changed, which sends too much rather than too little. A cancel or
    // a connection gone ends the plan.
    if (dynamic_cast<const remote::Cancelled*>(&e) || remote::IsQuietLoss(e)) {
      ::unlink(local);
      throw;
    }
  }
  ::unlink(local);
  return offset;
}

// Listed times of the same kind compared as far as both go: a listing for
// people gives the minute, and only the day for files older than half a
// year (read as the day's first minute; the parser's rounding may add a
// second), so a page published when it was recent still matches its record.
bool SameListedTime(const std::optional<int64_t>& a, const std::optional<int64_t>& b, bool exact) {
  if (!a || !b) return !a && !b;
  if (exact) return *a == *b;
  const auto date_only = [](int64_t t) { return t - FloorDiv(t, 86400) * 86400 < 60; };
  if (date_only(*a) || date_only(*b)) return FloorDiv(*a, 86400) == FloorDiv(*b, 86400);
  return FloorDiv(*a, 60) == FloorDiv(*b, 60);
}
}  // namespace hemlo::publish::plan_parts
