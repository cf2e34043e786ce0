#include "site/link_rewrite.h"

#include <system_error>

#include "base/atomic_file.h"
#include "site/link_paths.h"
#include "site/link_write.h"

namespace hemlo::site {

namespace fs = std::filesystem;

MoveUndoOutcome UndoLinkUpdate(const MoveRecord& record) {
  MoveUndoOutcome outcome;
  std::error_code ec;
  std::vector<std::string> edited;
  RedirectsIntact(record.redirects, edited);
  for (const FileChange& c : record.files)
    if (!HoldsBytes(Mapped(c.path, record.from, record.to), c.after))
      edited.push_back(Mapped(c.path, record.from, record.to).string());
  if (!edited.empty()) {
    outcome.message =
        Listed("次のファイルは移動の後で変更されているため、何も元に戻していません。", edited);
    return outcome;
  }
  // The redirect pages stand where the old name goes back.
  RemoveRedirects(record.redirects);
  if (fs::exists(record.from, ec) || fs::is_symlink(record.from, ec)) {
    outcome.message = record.from.string() + " がすでにあるため元に戻せません。" +
                      PutRedirectsBack(record.redirects);
    return outcome;
  }
  fs::rename(record.to, record.from, ec);
  if (ec) {
    outcome.message = record.to.string() + " を元の場所へ戻せません: " + ec.message() +
                      PutRedirectsBack(record.redirects);
    return outcome;
  }
  std::vector<std::pair<fs::path, const std::string*>> writes;
  std::vector<const std::string*> previous;
  for (const FileChange& c : record.files) {
    writes.emplace_back(c.path, &c.before);
    previous.push_back(&c.after);
  }
  if (FileResult written =
          WriteAllOrNone(writes, previous, "リンクの更新の取り消し", &outcome.version_notice);
      !written) {
    fs::rename(record.from, record.to, ec);
    outcome.message =
        written.message + "\n何も元に戻していません。" + PutRedirectsBack(record.redirects);
    return outcome;
  }
  outcome.ok = true;
  return outcome;
}

}  // namespace hemlo::site
