// A run's upload straight to the file's own name, for the folder upload
// over several connections, and the steps every failed upload takes.
#include "publish/publish_run_internal.h"

namespace hemlo::publish {

std::string PublishRun::Shared::CannotUpload(int index, const std::exception_ptr& e) const {
  return Quote(plan.files[static_cast<size_t>(index)].path) +
         "をｱｯﾌﾟﾛｰﾄﾞできません: " + MessageOf(e);
}

bool PublishRun::Shared::UploadBroke(const std::exception_ptr& e, int64_t counted) {
  const bool lost = IsLost(e);
  if (IsAborted(e)) CancelAll();
  std::lock_guard lock(m);
  bytes_done -= counted;
  return lost;
}

void PublishRun::Shared::EndUpload(int index, const std::exception_ptr& e) {
  if (cancelled)
    End(result_of_file.at(index), Outcome::kCancelled, "中止しました");
  else
    End(result_of_file.at(index), Outcome::kFailed, CannotUpload(index, e));
}

void PublishRun::Shared::Retry(int index, const std::exception_ptr& e) {
  bool again;
  {
    std::lock_guard lock(m);
    again = ++attempts[index] < kMaxAttempts;
    if (again) queue.push_front(index);
  }
  if (!again) End(result_of_file.at(index), Outcome::kFailed, CannotUpload(index, e));
}

bool PublishRun::Shared::UploadInPlace(transfer::RemoteFiles& remote, int index) {
  const FileEntry& f = plan.files[static_cast<size_t>(index)];
  const int ri = result_of_file.at(index);
  int64_t counted = 0;
  try {
    // The size sent is the size the file had when read (the upload refuses
    // one that changed meanwhile), not the size planned.
    const auto stamp = transfer::StampOf(plan.local_root + "/" + f.path);
    remote.Upload(plan.local_root + "/" + f.path, Join(plan.remote_root, f.wire),
                  [&](int64_t done, int64_t) {
                    {
                      std::lock_guard lock(m);
                      bytes_done += done - counted;
                    }
                    counted = done;
                    Progress(false);
                  });
    if (stamp) CheckRemote(remote, Join(plan.remote_root, f.wire), stamp->size);
    {
      std::lock_guard lock(m);
      bytes_done += f.size - counted;
      result->operations.push_back({Operation::Kind::kUpload, f.wire});
    }
    End(ri, Outcome::kDone);
    return false;
  } catch (...) {
    const auto e = std::current_exception();
    const bool lost = UploadBroke(e, counted);
    if (lost && !cancelled) {
      Retry(index, e);
      return true;
    }
    EndUpload(index, e);
    return lost;
  }
}

}  // namespace hemlo::publish
