#pragma once
// Runs a plan, exactly: over 1-8 connections, each on a worker thread of
// its own (transfer::ConnectionWorker). Order:
//   1. one connection: leftover temporaries removed, remote folders that a
//      file replaces removed, remote files that a folder replaces deleted,
//      new folders created parents first;
//   2. every connection: each included file uploaded under a temporary name
//      in its target folder, renamed over the old one, its time set (MFMT)
//      where the server can; a failed or cancelled upload removes its
//      temporary, so the old file stays whole;
//      A moved file (Reason::kMoved) is one rename on the server instead,
//      and uploaded as new when the server refuses it;
//   3. one connection: included server-only files deleted, then folders
//      (deepest first); the folders touched listed again for the record.
// A connection the server refuses (421, 530, closed at connect) is left
// out and the others carry its share; a connection lost mid-file hands the
// file back to the queue and is opened again (a few times at most).
// Temporaries a cancel or a broken line left behind are removed at the end
// over one more connection, which also settles renames a cancel cut short. The sync record is
// updated with every file done and saved at the end, also after a cancel.
//
// Core code (no Qt). Callbacks run on worker threads: the window posts them
// to its own thread.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "publish/plan.h"
#include "remote/remote_files.h"

namespace hemlo::publish {

// Opens connection `slot` (0 .. connections-1) on the calling worker thread.
// `cancel_with` takes a function that stops the connect from another
// thread; the factory hands it nullptr before it returns or throws (the
// function must not outlive what it cancels). Throws when the server
// refuses.
using CancelRegistrar = std::function<void(std::function<void()>)>;
using RemoteFactory = std::function<std::unique_ptr<transfer::RemoteFiles>(
    int slot, const CancelRegistrar& cancel_with)>;

struct RunProgress {
  int files_done = 0;  // uploads and deletions finished (done or failed)
  int files_total = 0;
  int64_t bytes_done = 0;
  int64_t bytes_total = 0;
  double bytes_per_second = 0;  // over the run so far
  int connections = 0;          // connections working now
};

enum class Outcome { kPending, kDone, kFailed, kCancelled };

// One line of the result view: a plan entry and what became of it.
struct EntryResult {
  std::string path;  // as in the plan
  bool folder = false;
  Reason reason = Reason::kNew;
  Outcome outcome = Outcome::kPending;
  std::string message;  // Japanese, when failed
};

// What went over the wire, for checking a run against its plan.
struct Operation {
  enum class Kind { kMakeFolder, kRemoveFolder, kUpload, kDelete, kDeleteTemporary, kMove };
  Operation(Kind k, std::string w, std::string f = {})
      : kind(k), wire(std::move(w)), from(std::move(f)) {}
  Kind kind;
  std::string wire;  // remote relative path (the final name for uploads and moves)
  std::string from;  // kMove: the path renamed
};

struct RunResult {
  std::vector<EntryResult> entries;   // included entries, folders first
  std::vector<Operation> operations;  // in the order they completed
  std::vector<std::string> notes;     // refused connections, record trouble (Japanese)
  int connections_used = 0;           // connections (slots) that logged in at least once
  int most_at_once = 0;               // most connections open at the same time
  bool cancelled = false;
  bool record_saved = false;
  int Failed() const;
  int Done() const;
};

struct RunSettings {
  int connections = 2;                // 1-8
  std::filesystem::path record_path;  // empty: no record kept
  SyncRecord record;                  // the record the plan was made with
  std::function<void(const RunProgress&)> on_progress;
  // After each entry ends (done, failed or cancelled).
  std::function<void(const EntryResult&)> on_entry;
  // Each file straight to its name, replacing what is there: no temporary,
  // no rename, no time set (the folder upload, which has always replaced
  // files so). A file cut short is sent again whole by another connection.
  bool in_place = false;
};

class PublishRun {
 public:
  PublishRun(Plan plan, RunSettings settings, RemoteFactory factory);
  // Cancels and waits for the workers.
  ~PublishRun();
  PublishRun(const PublishRun&) = delete;
  PublishRun& operator=(const PublishRun&) = delete;

  // Starts the workers and returns at once.
  void Start();
  // Any thread: stops every connection (Escape). Files not yet renamed
  // stay old on the server.
  void Cancel();
  // True once the run has ended (at most `timeout_ms`; < 0 waits on).
  bool Wait(int timeout_ms = -1);
  bool Finished() const { return finished_.load(); }
  // After Finished().
  const RunResult& Result() const { return result_; }

 private:
  struct Shared;
  std::unique_ptr<Shared> shared_;
  RunResult result_;
  bool started_ = false;
  std::atomic<bool> finished_{false};
};

// Runs `plan` to the end on the calling thread's behalf (Start + Wait).
RunResult RunPlan(Plan plan, RunSettings settings, RemoteFactory factory);

}  // namespace hemlo::publish
