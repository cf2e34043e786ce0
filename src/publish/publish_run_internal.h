#pragma once
// The state a publish run's connections share, and its steps. Internal to
// publish_run*.cpp.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>

#include "base/remote_errors.h"
#include "publish/publish_run.h"
#include "remote/connection_worker.h"

namespace hemlo::publish {

namespace detail {

using Clock = std::chrono::steady_clock;

inline std::string Join(const std::string& root, const std::string& rel) {
  if (rel.empty()) return root;
  return root == "/" ? "/" + rel : root + "/" + rel;
}

inline std::string ParentOf(const std::string& rel) {
  const size_t slash = rel.rfind('/');
  return slash == std::string::npos ? std::string() : rel.substr(0, slash);
}

inline std::string NameOf(const std::string& rel) {
  const size_t slash = rel.rfind('/');
  return slash == std::string::npos ? rel : rel.substr(slash + 1);
}

// The connection cannot carry another command.
inline bool IsLost(const std::exception_ptr& e) {
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& error) {
    return remote::IsLost(error);
  } catch (...) {
    return false;
  }
}

// Escape reached this connection (the window's own, cancelled at once)
// before the run heard of it: the run is being stopped all the same.
inline bool IsAborted(const std::exception_ptr& e) {
  try {
    std::rethrow_exception(e);
  } catch (const remote::Cancelled&) {
    return true;
  } catch (...) {
    return false;
  }
}

// The server answered the step with a refusal of its own (a file already
// gone, say): the connection carries on.
inline bool RefusedByServer(const std::exception_ptr& e) {
  try {
    std::rethrow_exception(e);
  } catch (const remote::Refused& refusal) {
    return refusal.FromServer();
  } catch (...) {
    return false;
  }
}

inline std::string MessageOf(const std::exception_ptr& e) {
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& ex) {
    if (remote::IsQuietLoss(ex)) return remote::kConnectionLostText;
    std::string m = ex.what();
    while (!m.empty() && (m.back() == '\n' || m.back() == '\r')) m.pop_back();
    return m;
  } catch (...) {
    return "不明なエラー";
  }
}

// A call cut short by a cancel that reached an idle connection: the cancel
// is spent by then, so one more try does the cleanup the cancel asked for.
template <typename F>
void AfterCancel(F&& f) {
  try {
    f();
  } catch (const remote::Cancelled&) {
    f();
  }
}

inline std::string Quote(const std::string& path) { return "「" + path + "」"; }

constexpr int kMaxAttempts = 3;  // a file whose connection broke gets two more
constexpr int kProgressEveryMs = 50;

}  // namespace detail

using namespace detail;

struct PublishRun::Shared {
  Plan plan;
  RunSettings settings;
  RemoteFactory factory;
  RunResult* result = nullptr;
  std::atomic<bool>* finished = nullptr;

  std::mutex m;
  std::condition_variable cv;
  std::atomic<bool> cancelled{false};
  std::vector<std::function<void()>> cancels;  // per slot, while connecting or connected

  // Steps of the first phase, done in order by whichever connection holds it.
  struct Step {
    enum class Kind {
      kRestoreAside,
      kDeleteTemporary,
      kRemoveTree,
      kDeleteFile,
      kMakeFolder
    } kind = Kind::kMakeFolder;
    std::string wire;
    int result_index = -1;  // folder entries
    std::string path;       // as the plan shows it, for messages
    std::string to;         // kRestoreAside: the page's wire path
  };
  std::vector<Step> prepare;
  size_t prepare_next = 0;
  bool prepare_held = false;
  bool prepare_done = false;

  std::deque<int> queue;  // plan file indices to upload
  // Folders the first phase has yet to create (wire); files into them wait.
  std::set<std::string> pending_folders;
  // The first phase only creates folders: files into folders that are
  // there need not wait for it.
  bool only_new_folders = true;
  std::map<int, int> attempts;
  std::map<int, int> result_of_file;    // plan file index -> result index
  std::map<int, int> result_of_folder;  // plan folder index -> result index
  int in_flight = 0;
  std::set<int> opened_slots;  // slots that have logged in
  int alive = 0;
  int slots_running = 0;
  bool finish_held = false;
  bool finish_done = false;
  std::set<std::string> touched_folders;   // wire, relative
  std::map<int, std::string> temporaries;  // plan file index -> temp in use (wire rel)

  int files_done = 0;
  int64_t bytes_done = 0;
  Clock::time_point started;
  Clock::time_point last_progress;

  std::vector<std::unique_ptr<transfer::ConnectionWorker>> workers;

  void Progress(bool force) {
    if (!settings.on_progress) return;
    RunProgress p;
    {
      std::lock_guard lock(m);
      const auto now = Clock::now();
      if (!force && now - last_progress < std::chrono::milliseconds(kProgressEveryMs)) return;
      last_progress = now;
      p.files_done = files_done;
      p.files_total = static_cast<int>(result->entries.size());
      p.bytes_done = bytes_done;
      p.bytes_total = plan.Counts().upload_bytes;
      const double secs = std::chrono::duration<double>(now - started).count();
      p.bytes_per_second = secs > 0 ? static_cast<double>(bytes_done) / secs : 0;
      p.connections = alive;
    }
    settings.on_progress(p);
  }

  // Ends result entry `index` (under no lock).
  void End(int index, Outcome outcome, std::string message = {}) {
    EntryResult copy;
    {
      std::lock_guard lock(m);
      auto& e = result->entries[static_cast<size_t>(index)];
      if (e.outcome != Outcome::kPending) return;
      e.outcome = outcome;
      e.message = std::move(message);
      ++files_done;
      copy = e;
    }
    if (settings.on_entry) settings.on_entry(copy);
    Progress(true);
  }

  void Log(Operation::Kind kind, const std::string& wire) {
    std::lock_guard lock(m);
    result->operations.push_back({kind, wire});
  }

  std::set<int> uploaded;  // plan file indices done
  // Remote size and time of files whose time was set on a server that
  // lists exact times (plan file index -> facts).
  std::map<int, std::pair<int64_t, int64_t>> known_facts;
  // Cancelled while being renamed: plan file index -> its temporary.
  std::map<int, std::string> unsure;
  // Replacements cut short (a cancel, a broken line) while the old file
  // may have been moved aside: plan file index, the aside name.
  std::vector<std::pair<int, std::string>> asides;
  // The remote facts after the uploads (wire relative path -> fact).
  std::map<std::string, transfer::RemoteFact> relisted;

  // At the end: the old file of a cut-short replacement back in place, or
  // removed when the new one is there.
  void RestoreAside(transfer::RemoteFiles& remote, int index, const std::string& aside);
  // One connection's whole part, on its worker thread.
  // Stops every connection; no file starts after it.
  void CancelAll();
  void Slot(int slot);
  // Connection `slot`, or nullptr (refused: noted; cancelled).
  std::unique_ptr<transfer::RemoteFiles> Open(int slot);
  // True when the connection was lost with work left.
  bool Work(transfer::RemoteFiles& remote);
  // Under the lock: the first queued file whose folder is there, taken off
  // the queue; -1 when none is.
  int TakeReady();
  void FolderReady(const std::string& wire);
  // False when the connection was lost (the steps left go to another).
  bool RunPrepare(transfer::RemoteFiles& remote);
  // Raises (a refusal) when the local file is no longer as planned.
  void CheckLocal(const FileEntry& f);
  // Raises when the server does not show `size` bytes at `path`, where it
  // can tell (`temporary`: the run's own upload, which only another run
  // into the same folder would remove).
  void CheckRemote(transfer::RemoteFiles& remote, const std::string& path, int64_t size,
                   bool temporary = false);
  // A moved file renamed on the server: true when the connection was
  // lost, false when done or ended, nullopt when it is to be uploaded
  // instead (the server refused the rename).
  std::optional<bool> MoveOne(transfer::RemoteFiles& remote, int file_index);
  // Plan file indices whose old copy left the server (renamed, or deleted
  // once sent instead): the record drops the old path.
  std::set<int> moved;
  std::set<int> sent_instead;  // moves the server refused, uploaded instead
  // After the uploads: the old copies of moves sent instead, deleted when
  // the author deletes what only the server has. True when the line broke.
  bool DropMovedAway(transfer::RemoteFiles& remote);
  // True when the connection was lost.
  bool UploadOne(transfer::RemoteFiles& remote, int file_index, uint32_t& nonce);
  // The same for a run in place (RunSettings::in_place).
  bool UploadInPlace(transfer::RemoteFiles& remote, int file_index);
  // Under no lock: the first steps after an upload failed with `e`: an
  // abort stops the run, the `counted` bytes sent leave the total. True
  // when the connection was lost.
  bool UploadBroke(const std::exception_ptr& e, int64_t counted);
  // Under no lock: after a connection broke mid-file, queues the file for
  // another try, or fails it once it has had its tries.
  void Retry(int file_index, const std::exception_ptr& e);
  // Under no lock: the file's entry ends cancelled, or failed with `e`.
  void EndUpload(int file_index, const std::exception_ptr& e);
  std::string CannotUpload(int file_index, const std::exception_ptr& e) const;
  void RemoveTree(transfer::RemoteFiles& remote, const std::string& wire);
  // Deletions and the relisting; true when the connection was lost.
  bool Finish(transfer::RemoteFiles& remote);
  // Lists the folders uploaded into again; false when the connection broke.
  bool Relist(transfer::RemoteFiles& remote);
  // After the last connection has ended: over a fresh connection, removes
  // temporaries left behind and settles renames a cancel cut short.
  void Settle();
  // The record with every file done, with the remote facts relisted.
  void StoreRecord();
  void Finalize();
};

}  // namespace hemlo::publish
