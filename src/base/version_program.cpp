#include <pthread.h>
#include <unistd.h>

#include <sys/resource.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "base/program_folder.h"
#include "base/version_store.h"

// The program-wide store: the state folder's, with a worker that folds in what saves set aside.
namespace hemlo {

namespace fs = std::filesystem;

namespace {
std::mutex g_store_mutex;
std::uint64_t g_cap = kDefaultVersionCapBytes;
bool g_failing = false;

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

struct Program;
Program& TheProgram();

// The program's store and the worker that folds in what saves set aside.
// What is still set aside when the program ends is folded in next time.
struct Program {
  VersionStore store{fs::path()};
  std::mutex mutex;
  std::mutex folding;  // held by the worker while it folds
  std::condition_variable changed;
  std::deque<fs::path> todo;
  std::set<fs::path> queued;  // what todo holds, so a batch of 2,000 pages is queued in one pass
  bool busy = false;
  bool stop = false;
  int holds = 0;  // VersionFoldHold objects alive
  // A forked child has no worker: it starts its own, and never joins its parent's.
  std::thread* worker = nullptr;
  pid_t owner = 0;

  Program() {
    // OpenSSL frees its digests at exit: set up (by one digest) before this
    // object, it is taken down after ~Program has joined a worker that may
    // be hashing.
    (void)VersionHash("");
    // A fork waits for a fold to end, so the child gets no lock held by a thread it lacks.
    ::pthread_atfork([] { TheProgram().LockForFork(); }, [] { TheProgram().UnlockForFork(); },
                     [] { TheProgram().UnlockForFork(); });
  }

  ~Program() {
    {
      std::lock_guard lock(mutex);
      stop = true;
    }
    changed.notify_all();
    if (worker && owner == ::getpid()) {
      worker->join();
      delete worker;
    }
  }

  void LockForFork() {
    folding.lock();
    mutex.lock();
  }
  void UnlockForFork() {
    mutex.unlock();
    folding.unlock();
  }

  bool HasWorker() const { return worker && owner == ::getpid(); }

  void Add(const std::vector<fs::path>& dirs) {
    std::lock_guard lock(mutex);
    for (const fs::path& dir : dirs)
      if (queued.insert(dir).second) todo.push_back(dir);
    if (!HasWorker()) {
      try {
        worker = new std::thread([this] { Run(); });
        owner = ::getpid();
      } catch (const std::system_error&) {
        worker = nullptr;
        todo.clear();  // no thread to be had: folded in at the next look
        queued.clear();
      }
    }
    changed.notify_all();
  }

  void Run() {
    // Folding is for later: the saves and site-wide writes that set the
    // versions aside come first on a busy processor.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    std::unique_lock lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return stop || (!todo.empty() && holds == 0); });
      if (stop) return;
      // Everything queued at once: a site-wide write's 2,000 folders are
      // flushed together, not one after another.
      std::vector<fs::path> dirs(todo.begin(), todo.end());
      todo.clear();
      queued.clear();
      busy = true;
      lock.unlock();
      {
        std::lock_guard fold(folding);
        store.FoldBatch(dirs);
      }
      lock.lock();
      busy = false;
      changed.notify_all();
    }
  }

  void Wait() {
    std::unique_lock lock(mutex);
    if (!HasWorker()) return;
    // A fold takes what one page's bytes take to hash and compress.
    changed.wait_for(lock, std::chrono::minutes(1), [&] { return todo.empty() && !busy; });
  }
};

Program& TheProgram() {
  static Program program;
  return program;
}

VersionStore& ProgramStoreLocked() {
  // Follows the state folder and the cap as they are now (tests move both).
  // The folders first: what is made first is taken down last.
  fs::path folder = ProgramFolder() / "versions";
  VersionStore& store = TheProgram().store;
  store.set_folder(std::move(folder));
  store.set_cap(g_cap);
  return store;
}
}  // namespace

VersionStore& ProgramVersionStore() {
  std::lock_guard lock(g_store_mutex);
  return ProgramStoreLocked();
}

void SetVersionCap(std::uint64_t cap_bytes) {
  std::lock_guard lock(g_store_mutex);
  g_cap = cap_bytes;
}

VersionResult KeepBeforeWrite(const fs::path& page, std::string_view writer) {
  std::lock_guard lock(g_store_mutex);
  fs::path pending;
  const VersionResult r = ProgramStoreLocked().SetAside(page, writer, Now(), &pending);
  if (!pending.empty()) TheProgram().Add({pending});
  return r;
}

VersionResult KeepBeforeWrite(const fs::path& page, std::string_view bytes,
                              std::string_view writer) {
  std::lock_guard lock(g_store_mutex);
  fs::path pending;
  const VersionResult r = ProgramStoreLocked().SetAside(page, bytes, writer, Now(), &pending);
  if (!pending.empty()) TheProgram().Add({pending});
  return r;
}

VersionResult KeepBeforeWrite(const std::vector<fs::path>& pages, std::string_view writer) {
  std::lock_guard lock(g_store_mutex);
  std::vector<fs::path> pending;
  const VersionResult r = ProgramStoreLocked().SetAsideAll(pages, writer, Now(), &pending);
  if (!pending.empty()) TheProgram().Add(pending);
  return r;
}

SpareFiles& ProgramSpareFiles() {
  static SpareFiles spares;
  spares.set_folder(ProgramVersionStore().folder() / kSpareFolderName);
  return spares;
}

void WaitForVersionStore() { TheProgram().Wait(); }

VersionFoldHold::VersionFoldHold() {
  Program& p = TheProgram();
  std::lock_guard lock(p.mutex);
  ++p.holds;
}

VersionFoldHold::~VersionFoldHold() {
  Program& p = TheProgram();
  {
    std::lock_guard lock(p.mutex);
    --p.holds;
  }
  p.changed.notify_all();
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
