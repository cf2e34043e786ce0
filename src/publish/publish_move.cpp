// A moved file of a publish run: one rename on the server where our old
// copy lies, so none of its bytes travel again.
#include "publish/publish_run_internal.h"

namespace hemlo::publish {

std::optional<bool> PublishRun::Shared::MoveOne(transfer::RemoteFiles& remote, int index) {
  const FileEntry& f = plan.files[static_cast<size_t>(index)];
  const int ri = result_of_file.at(index);
  {
    std::lock_guard lock(m);
    if (sent_instead.count(index)) return std::nullopt;  // tried again after a refusal
  }
  const std::string from = Join(plan.remote_root, f.moved_from_wire);
  const std::string to = Join(plan.remote_root, f.wire);
  try {
    CheckLocal(f);
    // Over a file only where the plan replaces one, as an upload would.
    if (f.remote_size >= 0)
      remote.Rename(from, to);
    else
      remote.RenamePlain(from, to);
    const auto [at_to, at_from] = remote.SizesAfterPlace(from, to);
    if (at_from && *at_from >= 0)
      throw remote::Refused("サーバは名前を変えたと答えましたが、変わっていません");
    if (at_to && *at_to != f.size)
      throw remote::Refused("移動した後のサーバのファイルが " + std::to_string(*at_to) +
                              " バイトで、" + std::to_string(f.size) + " バイトと違います");
  } catch (...) {
    const auto e = std::current_exception();
    const bool lost = UploadBroke(e, 0);
    if (lost && !cancelled) {
      // Renamed or not, the next try finds out: a rename of a name that is
      // gone is refused, and the file is then sent.
      Retry(index, e);
      return true;
    }
    if (lost || cancelled || !remote::IsRefusal(e)) {
      EndUpload(index, e);
      return lost;
    }
    std::lock_guard lock(m);
    sent_instead.insert(index);
    result->entries[static_cast<size_t>(ri)].reason = Reason::kNew;
    result->notes.push_back(Quote(f.moved_from) + "から" + Quote(f.path) +
                            "へサーバで移動できないため、ファイルを送ります: " + MessageOf(e));
    return std::nullopt;
  }
  {
    std::lock_guard lock(m);
    result->operations.push_back({Operation::Kind::kMove, f.wire, f.moved_from_wire});
    uploaded.insert(index);
    moved.insert(index);
    // The relisting gives the facts; the old copy's serve when it cannot.
    touched_folders.insert(ParentOf(f.wire));
    const auto rec = settings.record.files.find(f.moved_from);
    if (rec != settings.record.files.end() && rec->second.remote_mtime)
      known_facts[index] = {rec->second.remote_size, *rec->second.remote_mtime};
  }
  End(ri, Outcome::kDone);
  return false;
}

bool PublishRun::Shared::DropMovedAway(transfer::RemoteFiles& remote) {
  if (cancelled || !plan.delete_server_only) return false;
  std::vector<int> sent;
  {
    std::lock_guard lock(m);
    for (int i : sent_instead)
      if (uploaded.count(i) && !moved.count(i)) sent.push_back(i);
  }
  for (int i : sent) {
    const FileEntry& f = plan.files[static_cast<size_t>(i)];
    try {
      remote.DeleteFile(Join(plan.remote_root, f.moved_from_wire));
      Log(Operation::Kind::kDelete, f.moved_from_wire);
      std::lock_guard lock(m);
      moved.insert(i);
    } catch (...) {
      const auto e = std::current_exception();
      if (IsLost(e)) return true;
      std::optional<int64_t> size;
      try {
        size = remote.FileSize(Join(plan.remote_root, f.moved_from_wire));
      } catch (...) {
      }
      std::lock_guard lock(m);
      if (size && *size < 0) {
        moved.insert(i);  // someone else removed it already
        continue;
      }
      result->notes.push_back(Quote(f.moved_from) + "を削除できません: " + MessageOf(e));
    }
  }
  return false;
}

}  // namespace hemlo::publish
