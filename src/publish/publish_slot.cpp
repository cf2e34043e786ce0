// What each connection of a publish run does: connect, the first phase when
// it holds it, uploads from the shared queue, and the last phase.
#include <random>

#include "publish/publish_run_internal.h"

namespace hemlo::publish {

std::unique_ptr<transfer::RemoteFiles> PublishRun::Shared::Open(int slot) {
  const auto k = static_cast<size_t>(slot);
  std::unique_ptr<transfer::RemoteFiles> remote;
  std::exception_ptr error;
  if (cancelled) return nullptr;
  try {
    remote = factory(slot, [this, k](std::function<void()> fn) {
      std::lock_guard lock(m);
      cancels[k] = std::move(fn);
      if (cancelled && cancels[k]) cancels[k]();
    });
  } catch (...) {
    error = std::current_exception();
  }
  {
    std::lock_guard lock(m);
    if (remote) {
      result->most_at_once = std::max(result->most_at_once, ++alive);
      if (opened_slots.insert(slot).second) ++result->connections_used;
      transfer::RemoteFiles* r = remote.get();
      cancels[k] = [r] { r->Cancel(); };
      if (cancelled) r->Cancel();
    } else if (error) {
      result->notes.push_back("接続 " + std::to_string(slot + 1) +
                              " を開けませんでした（ほかの接続で続けます）: " + MessageOf(error));
    }
  }
  cv.notify_all();
  return remote;
}

void PublishRun::Shared::Slot(int slot) {
  // A connection the line cut is opened again, a few times at most.
  constexpr int kReopens = 3;
  for (int round = 0; round <= kReopens; ++round) {
    std::unique_ptr<transfer::RemoteFiles> remote = Open(slot);
    if (!remote) break;
    bool lost = false;
    try {
      lost = Work(*remote);
    } catch (...) {
      // Work reports its own failures; nothing may escape a worker.
    }
    {
      std::lock_guard lock(m);
      cancels[static_cast<size_t>(slot)] = nullptr;
      --alive;
    }
    cv.notify_all();
    try {
      remote.reset();
    } catch (...) {
    }
    if (!lost || cancelled) break;
  }
  bool last;
  {
    std::lock_guard lock(m);
    last = --slots_running == 0;
  }
  cv.notify_all();
  if (last) Finalize();
}

bool PublishRun::Shared::Work(transfer::RemoteFiles& remote) {
  uint32_t nonce = std::random_device{}();
  for (;;) {
    std::unique_lock lock(m);
    int index = -1;
    bool prepare_free = false;
    cv.wait(lock, [&] {
      if (cancelled) return true;
      prepare_free = !prepare_done && !prepare_held;
      if (prepare_free) return true;
      index = TakeReady();
      return index >= 0 || (queue.empty() && in_flight == 0 && prepare_done);
    });
    if (cancelled) break;
    if (prepare_free) {
      // The first phase on one connection; another takes over the steps
      // left when it breaks.
      prepare_held = true;
      lock.unlock();
      const bool ok = RunPrepare(remote);
      lock.lock();
      prepare_held = false;
      if (ok) prepare_done = true;
      cv.notify_all();
      if (!ok) return true;
      continue;
    }
    if (index < 0) break;
    ++in_flight;
    lock.unlock();
    const bool lost = UploadOne(remote, index, nonce);
    lock.lock();
    --in_flight;
    cv.notify_all();
    if (lost) return true;
  }

  {
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return in_flight == 0; });
    if (finish_held) return false;
    finish_held = true;
  }
  if (!Finish(remote)) return false;
  // Broken mid-way: whoever connects next takes the rest.
  std::lock_guard lock(m);
  finish_held = false;
  return true;
}

int PublishRun::Shared::TakeReady() {
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    const std::string parent = ParentOf(plan.files[static_cast<size_t>(*it)].wire);
    // Into a folder that is there: at once, while the first phase still
    // creates others. Anything else the first phase removes comes first.
    const bool ready = prepare_done || (only_new_folders && !pending_folders.count(parent));
    if (!ready) continue;
    const int index = *it;
    queue.erase(it);
    return index;
  }
  return -1;
}

bool PublishRun::Shared::RunPrepare(transfer::RemoteFiles& remote) {
  for (;;) {
    Step step;
    {
      std::lock_guard lock(m);
      if (prepare_next >= prepare.size()) return true;
      if (cancelled) return true;
      step = prepare[prepare_next];
    }
    const std::string abs = Join(plan.remote_root, step.wire);
    try {
      switch (step.kind) {
        case Step::Kind::kRestoreAside:
          // The old page back under its name before anything replaces it.
          remote.RenamePlain(abs, Join(plan.remote_root, step.to));
          break;
        case Step::Kind::kDeleteTemporary:
          remote.DeleteFile(abs);
          Log(Operation::Kind::kDeleteTemporary, step.wire);
          break;
        case Step::Kind::kRemoveTree:
          RemoveTree(remote, step.wire);
          break;
        case Step::Kind::kDeleteFile:
          remote.DeleteFile(abs);
          Log(Operation::Kind::kDelete, step.wire);
          break;
        case Step::Kind::kMakeFolder:
          remote.MakeFolder(abs);
          Log(Operation::Kind::kMakeFolder, step.wire);
          FolderReady(step.wire);
          End(step.result_index, Outcome::kDone);
          break;
      }
    } catch (...) {
      const auto e = std::current_exception();
      if (IsLost(e)) return false;
      if (cancelled) return true;
      const std::string msg = MessageOf(e);
      // The wire name may be Shift-JIS; the author reads the plan's name.
      const std::string& shown = step.path.empty() ? step.wire : step.path;
      if (step.kind == Step::Kind::kMakeFolder) {
        FolderReady(step.wire);  // its files fail on their own
        End(step.result_index, Outcome::kFailed,
            "ﾌｫﾙﾀﾞ" + Quote(shown) + "を作成できません: " + msg);
      } else if (step.kind == Step::Kind::kRestoreAside) {
        // Left as it is: the next run tries again, nothing deletes it.
        std::lock_guard lock(m);
        result->notes.push_back(Quote(shown) + "の退避した控え" + Quote(step.wire) +
                                "を元に戻せません: " + msg);
      } else {
        std::lock_guard lock(m);
        result->notes.push_back(Quote(shown) + "を削除できません: " + msg);
      }
    }
    std::lock_guard lock(m);
    ++prepare_next;
  }
}

void PublishRun::Shared::FolderReady(const std::string& wire) {
  {
    std::lock_guard lock(m);
    pending_folders.erase(wire);
  }
  cv.notify_all();
}

void PublishRun::Shared::RemoveTree(transfer::RemoteFiles& remote, const std::string& wire) {
  // Depth first: a folder is removed once everything in it is.
  const std::string abs = Join(plan.remote_root, wire);
  for (const auto& f : remote.List(abs)) {
    const std::string child = wire + "/" + f.name;
    if (f.kind == transfer::RemoteFact::Kind::kFolder) {
      RemoveTree(remote, child);
    } else {
      remote.DeleteFile(Join(plan.remote_root, child));
      Log(Operation::Kind::kDelete, child);
    }
  }
  remote.RemoveFolder(abs);
  Log(Operation::Kind::kRemoveFolder, wire);
  // The server-only entries below it are done with it.
  std::vector<int> done;
  {
    std::lock_guard lock(m);
    const std::string prefix = wire + "/";
    for (const auto& [i, r] : result_of_file)
      if (plan.files[static_cast<size_t>(i)].reason == Reason::kServerOnly &&
          plan.files[static_cast<size_t>(i)].wire.compare(0, prefix.size(), prefix) == 0)
        done.push_back(r);
    for (const auto& [i, r] : result_of_folder) {
      const auto& w = plan.folders[static_cast<size_t>(i)].wire;
      if (plan.folders[static_cast<size_t>(i)].reason == Reason::kServerOnly &&
          (w == wire || w.compare(0, prefix.size(), prefix) == 0))
        done.push_back(r);
    }
  }
  for (int r : done) End(r, Outcome::kDone);
}

bool PublishRun::Shared::UploadOne(transfer::RemoteFiles& remote, int index, uint32_t& nonce) {
  if (settings.in_place) return UploadInPlace(remote, index);
  const FileEntry& f = plan.files[static_cast<size_t>(index)];
  if (f.reason == Reason::kMoved)
    if (const std::optional<bool> lost = MoveOne(remote, index)) return *lost;
  const int ri = result_of_file.at(index);
  const std::string parent = ParentOf(f.wire);
  const std::string temp_name = TemporaryName(nonce++);
  const std::string temp_rel = parent.empty() ? temp_name : parent + "/" + temp_name;
  const std::string temp_abs = Join(plan.remote_root, temp_rel);
  // Where the old file goes while the new one takes its place, on servers
  // that will not rename over it.
  const std::string aside_name = AsideName(NameOf(f.wire));
  const std::string aside_rel = parent.empty() ? aside_name : parent + "/" + aside_name;
  const std::string final_abs = Join(plan.remote_root, f.wire);
  int64_t counted = 0;
  bool renaming = false;
  std::string earlier;
  {
    std::lock_guard lock(m);
    auto it = temporaries.find(index);
    if (it != temporaries.end()) earlier = it->second;
    temporaries[index] = temp_rel;
  }
  try {
    if (!earlier.empty()) {
      // Left by an attempt whose connection broke.
      try {
        remote.DeleteFile(Join(plan.remote_root, earlier));
        Log(Operation::Kind::kDeleteTemporary, earlier);
      } catch (...) {
        // Gone already; anything else ends this try.
        if (!RefusedByServer(std::current_exception())) throw;
      }
    }
    CheckLocal(f);
    try {
      remote.Upload(plan.local_root + "/" + f.path, temp_abs, [&](int64_t done, int64_t) {
        {
          std::lock_guard lock(m);
          bytes_done += done - counted;
        }
        counted = done;
        Progress(false);
      });
    } catch (...) {
      // A file changed under the upload says so, not how the read failed.
      if (remote::IsRefusal(std::current_exception())) CheckLocal(f);
      throw;
    }
    // The bytes sent are the bytes planned (and hashed for the record),
    // and the server kept all of them, before they replace the live file.
    CheckLocal(f);
    CheckRemote(remote, temp_abs, f.size, /*temporary=*/true);
    // Only after the upload's success: the time and the rename go out
    // together, and from here on a cancel leaves it unsure which file is
    // in place until the end settles it.
    renaming = true;
    const std::optional<int64_t> listed = remote.PlaceUploaded(
        temp_abs, final_abs, f.local_mtime_ns / 1'000'000'000, Join(plan.remote_root, aside_rel));
    renaming = false;
    {
      // A rename answered as done but not done leaves the temporary.
      const auto [at_final, at_temp] = remote.SizesAfterPlace(temp_abs, final_abs);
      if (at_temp && *at_temp >= 0)
        throw remote::Refused("サーバは名前を変えたと答えましたが、変わっていません");
      if (at_final && *at_final != f.size)
        throw remote::Refused("置き換えた後のサーバのファイルが " + std::to_string(*at_final) +
                              " バイトで、送った " + std::to_string(f.size) + " バイトと違います");
    }
    {
      std::lock_guard lock(m);
      temporaries.erase(index);
      bytes_done += f.size - counted;
      counted = f.size;
      result->operations.push_back({Operation::Kind::kUpload, f.wire});
      uploaded.insert(index);
      // The server told the time its listing now shows: no need to list
      // the folder again for the record.
      if (listed)
        known_facts[index] = {f.size, *listed};
      else
        touched_folders.insert(parent);
    }
    End(ri, Outcome::kDone);
    return false;
  } catch (...) {
    const auto e = std::current_exception();
    const bool lost = UploadBroke(e, counted);
    if (renaming && (lost || cancelled)) {
      // The old file may be aside: put back or removed at the end.
      std::lock_guard lock(m);
      asides.emplace_back(index, aside_rel);
    }
    if (lost && !cancelled) {
      // Another connection sends it again (and removes this temporary).
      Retry(index, e);
      return true;
    }
    if (renaming && cancelled) {
      // Cancelled while the server renamed: whether it did is settled at
      // the end, over a connection that works. (A refused rename left the
      // temporary: it goes below, and the file is named as failed.)
      std::lock_guard lock(m);
      unsure[index] = temp_rel;
      temporaries.erase(index);
      return lost;
    }
    // Refused or cancelled: our temporary goes, the old file stays whole.
    bool gone_with_connection = lost;
    if (!lost) {
      try {
        AfterCancel([&] { remote.DeleteFile(temp_abs); });
        Log(Operation::Kind::kDeleteTemporary, temp_rel);
        std::lock_guard lock(m);
        temporaries.erase(index);
      } catch (...) {
        if (IsLost(std::current_exception())) {
          gone_with_connection = true;  // removed at the end
        } else {
          // Never created (the upload was refused at once).
          std::lock_guard lock(m);
          temporaries.erase(index);
        }
      }
    }
    EndUpload(index, e);
    return gone_with_connection;
  }
}

bool PublishRun::Shared::Finish(transfer::RemoteFiles& remote) {
  if (DropMovedAway(remote)) return true;
  if (!cancelled) {
    std::vector<std::pair<int, const FileEntry*>> files;
    std::vector<std::pair<int, const FolderEntry*>> folders;
    {
      std::lock_guard lock(m);
      for (const auto& [i, r] : result_of_file) {
        const auto& f = plan.files[static_cast<size_t>(i)];
        if (f.reason == Reason::kServerOnly &&
            result->entries[static_cast<size_t>(r)].outcome == Outcome::kPending)
          files.push_back({r, &f});
      }
      for (const auto& [i, r] : result_of_folder) {
        const auto& d = plan.folders[static_cast<size_t>(i)];
        if (d.reason == Reason::kServerOnly &&
            result->entries[static_cast<size_t>(r)].outcome == Outcome::kPending)
          folders.push_back({r, &d});
      }
    }
    for (const auto& [r, f] : files) {
      if (cancelled) break;
      try {
        remote.DeleteFile(Join(plan.remote_root, f->wire));
        Log(Operation::Kind::kDelete, f->wire);
        End(r, Outcome::kDone);
      } catch (...) {
        const auto e = std::current_exception();
        if (IsLost(e)) return true;
        End(r, Outcome::kFailed, Quote(f->path) + "を削除できません: " + MessageOf(e));
      }
    }
    // Children after their parents in the plan: removed in reverse.
    for (auto it = folders.rbegin(); it != folders.rend() && !cancelled; ++it) {
      try {
        remote.RemoveFolder(Join(plan.remote_root, it->second->wire));
        Log(Operation::Kind::kRemoveFolder, it->second->wire);
        End(it->first, Outcome::kDone);
      } catch (...) {
        const auto e = std::current_exception();
        if (IsLost(e)) return true;
        End(it->first, Outcome::kFailed,
            "ﾌｫﾙﾀﾞ" + Quote(it->second->path) + "を削除できません: " + MessageOf(e));
      }
    }
  }
  const bool ok = Relist(remote);
  std::lock_guard lock(m);
  finish_done = ok;
  return !ok;
}

}  // namespace hemlo::publish
