// The end of a publish run: listing the folders uploaded into again for
// the record, and cleaning up after a cancel or a broken line.
#include "publish/publish_run_internal.h"

namespace hemlo::publish {

bool PublishRun::Shared::Relist(transfer::RemoteFiles& remote) {
  // The remote facts of what was sent, for the next plan's comparison.
  std::set<std::string> folders;
  {
    std::lock_guard lock(m);
    folders = touched_folders;
  }
  for (const auto& folder : folders) {
    try {
      std::vector<transfer::RemoteFact> facts;
      AfterCancel([&] { facts = remote.List(Join(plan.remote_root, folder)); });
      std::lock_guard lock(m);
      for (auto& f : facts) relisted[folder.empty() ? f.name : folder + "/" + f.name] = f;
    } catch (...) {
      if (IsLost(std::current_exception())) return false;
      // A folder that cannot be listed: its files' facts stay unknown, and
      // the next plan takes what the server then shows.
    }
  }
  return true;
}

void PublishRun::Shared::RestoreAside(transfer::RemoteFiles& remote, int index,
                                      const std::string& aside) {
  // The old file moved aside and nothing in its place: it goes back, so a
  // cut-short replacement never leaves the page missing.
  const FileEntry& f = plan.files[static_cast<size_t>(index)];
  const std::string parent = ParentOf(f.wire);
  try {
    bool aside_there = false, final_there = false;
    for (const auto& fact : remote.List(Join(plan.remote_root, parent))) {
      const std::string rel = parent.empty() ? fact.name : parent + "/" + fact.name;
      if (rel == aside) aside_there = true;
      if (rel == f.wire) final_there = true;
    }
    if (!aside_there) return;
    if (final_there) {
      remote.DeleteFile(Join(plan.remote_root, aside));
      Log(Operation::Kind::kDeleteTemporary, aside);
    } else {
      remote.RenamePlain(Join(plan.remote_root, aside), Join(plan.remote_root, f.wire));
    }
  } catch (...) {
    std::lock_guard lock(m);
    result->notes.push_back("一時ファイル" + Quote(aside) + "が残りました（次の公開で削除します）");
  }
}

void PublishRun::Shared::Settle() {
  std::map<int, std::string> unsure_now, temps;
  std::vector<std::pair<int, std::string>> asides_now;
  bool relist;
  {
    std::lock_guard lock(m);
    unsure_now = unsure;
    temps = temporaries;
    asides_now = asides;
    relist = !finish_done && !uploaded.empty();
  }
  if (unsure_now.empty() && temps.empty() && asides_now.empty() && !relist) return;
  // The run's own connections are gone (cancelled or broken): one more,
  // which no cancel stops, does the cleaning up.
  std::unique_ptr<transfer::RemoteFiles> remote;
  std::string why;
  try {
    remote = factory(0, [](std::function<void()>) {});
  } catch (...) {
    why = MessageOf(std::current_exception());
  }
  for (const auto& [index, temp] : unsure_now) {
    const FileEntry& f = plan.files[static_cast<size_t>(index)];
    const int ri = result_of_file.at(index);
    std::optional<bool> renamed;
    if (remote) {
      try {
        bool temp_there = false, final_there = false;
        const std::string parent = ParentOf(f.wire);
        for (const auto& fact : remote->List(Join(plan.remote_root, parent))) {
          const std::string rel = parent.empty() ? fact.name : parent + "/" + fact.name;
          if (rel == temp) temp_there = true;
          if (rel == f.wire && fact.size == f.size) final_there = true;
        }
        if (temp_there) {
          renamed = false;
          temps[index] = temp;
        } else if (final_there) {
          renamed = true;
        }
      } catch (...) {
      }
    }
    if (renamed && *renamed) {
      {
        std::lock_guard lock(m);
        result->operations.push_back({Operation::Kind::kUpload, f.wire});
        touched_folders.insert(ParentOf(f.wire));
        uploaded.insert(index);
      }
      End(ri, Outcome::kDone);
      relist = true;
    } else if (renamed) {
      End(ri, Outcome::kCancelled, "中止しました");
    } else {
      End(ri, Outcome::kFailed,
          Quote(f.path) + "が置き換わったかどうかを確かめられません" +
              (why.empty() ? std::string() : ": " + why));
    }
  }
  if (remote) {
    for (const auto& [index, aside] : asides_now) RestoreAside(*remote, index, aside);
  }
  for (const auto& [index, temp] : temps) {
    try {
      if (!remote) throw remote::RemoteError(why);
      remote->DeleteFile(Join(plan.remote_root, temp));
      Log(Operation::Kind::kDeleteTemporary, temp);
    } catch (...) {
      // Gone already: the server said so.
      if (RefusedByServer(std::current_exception())) continue;
      std::lock_guard lock(m);
      result->notes.push_back("一時ファイル" + Quote(temp) +
                              "が残りました（次の公開で削除します）");
    }
  }
  if (remote && relist) {
    const bool ok = Relist(*remote);
    std::lock_guard lock(m);
    finish_done = ok;
  }
}

}  // namespace hemlo::publish
