// What a run checks around each file: that the local file is still the
// one planned (its bytes are what the record will say was sent), and that
// the server holds what it said it stored and renamed.
#include "publish/publish_run_internal.h"

namespace hemlo::publish {

void PublishRun::Shared::CheckLocal(const FileEntry& f) {
  // Plans without times (the folder upload) rely on the upload's own check.
  if (f.local_mtime_ns == 0) return;
  const auto now = transfer::StampOf(plan.local_root + "/" + f.path);
  if (!now || now->size != f.size || now->mtime_ns != f.local_mtime_ns)
    throw remote::LocalFileError(
        "公開の準備の後にローカルで変更されたため送りませんでした"
        "（もう一度公開してください）");
}

void PublishRun::Shared::CheckRemote(transfer::RemoteFiles& remote, const std::string& path,
                                     int64_t size, bool temporary) {
  const std::optional<int64_t> shown = remote.FileSize(path);
  if (!shown || *shown == size) return;
  if (*shown < 0 && temporary)
    throw remote::Refused(
        "送った一時ファイルがサーバから消えていました"
        "（同じフォルダへ別の公開が同時に実行されていませんか）");
  throw remote::Refused(*shown < 0 ? std::string("サーバにファイルが見つかりません")
                                   : "サーバにあるのは " + std::to_string(*shown) +
                                         " バイトで、送った " + std::to_string(size) +
                                         " バイトと違います");
}

}  // namespace hemlo::publish
