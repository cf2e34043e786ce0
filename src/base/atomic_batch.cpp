#include "base/atomic_batch.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace hemlo {

namespace {

// fn(i) for every i below n, on up to eight threads; fn returns false to
// stop the others taking new work.
template <typename Fn>
void OnThreads(std::size_t n, Fn fn) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  auto work = [&] {
    for (std::size_t i; !stop.load() && (i = next.fetch_add(1)) < n;)
      if (!fn(i)) stop = true;
  };
  const unsigned helpers = n < 16 ? 0 : 7;
  std::vector<std::thread> pool;
  for (unsigned i = 0; i < helpers; ++i) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
}

}  // namespace

BatchFailure StageFiles(const std::vector<std::filesystem::path>& targets,
                        const std::vector<std::string_view>& bytes,
                        std::vector<StagedFile>& staged, SpareFiles* spares) {
  staged.assign(targets.size(), {});
  if (spares) spares->Refresh();
  std::vector<WriteResult> results(targets.size());
  std::vector<char> done(targets.size(), 0);
  // All written before any is flushed: the disk takes the batch together
  // instead of one wait per file.
  OnThreads(targets.size(), [&](std::size_t i) {
    results[i] = StageFileUnflushed(targets[i], bytes[i], staged[i], spares);
    done[i] = results[i].ok;
    return results[i].ok;
  });
  const bool written = std::all_of(done.begin(), done.end(), [](char d) { return d != 0; });
  if (written)
    OnThreads(targets.size(), [&](std::size_t i) {
      results[i] = FlushStaged(staged[i]);
      return results[i].ok;
    });
  BatchFailure failure;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (results[i]) continue;
    failure = {i, results[i]};
    break;
  }
  if (failure)
    for (std::size_t i = 0; i < staged.size(); ++i)
      if (done[i]) AbandonStaged(staged[i]);
  return failure;
}

BatchFailure CommitStagedFiles(const std::vector<StagedFile>& staged, std::vector<bool>& renamed) {
  renamed.assign(staged.size(), false);
  std::vector<WriteResult> results(staged.size());
  std::vector<char> tried(staged.size(), 0);
  OnThreads(staged.size(), [&](std::size_t i) {
    tried[i] = 1;
    results[i] = CommitStagedUnsynced(staged[i]);
    return results[i].ok;
  });
  BatchFailure failure;
  std::set<std::filesystem::path> folders;
  for (std::size_t i = 0; i < staged.size(); ++i) {
    if (!tried[i]) {
      AbandonStaged(staged[i]);
      continue;
    }
    if (results[i]) {
      renamed[i] = true;
      if (folders.insert(staged[i].target.parent_path()).second) SyncFolderOf(staged[i].target);
    } else if (!failure) {
      failure = {i, results[i]};
    }
  }
  return failure;
}

}  // namespace hemlo
