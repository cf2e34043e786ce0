#include "site/site_replace.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "base/atomic_batch.h"
#include "base/atomic_file.h"
#include "base/version_store.h"

namespace hemlo::site {

namespace {

bool Write(const std::filesystem::path& path, const std::string& bytes, std::string& error) {
  const WriteResult r = WriteFileAtomically(path, bytes);
  if (!r) error = r.error;
  return r.ok;
}

bool Unchanged(const std::filesystem::path& path, const std::string& expected) {
  std::string now;
  return ReadWholeFile(path, now) && now == expected;
}

}  // namespace

std::optional<std::string> ReplacedBytes(const FileHits& file, std::string* refused) {
  std::string out;
  out.reserve(file.bytes.size());
  std::size_t done = 0;
  for (const Hit& h : file.hits) {
    if (!h.included) continue;
    const auto encoded = EncodeText(h.replacement, file.encoding, refused);
    if (!encoded) return std::nullopt;
    out.append(file.bytes, done, h.offset - done);
    out += *encoded;
    done = h.offset + h.length;
  }
  out.append(file.bytes, done);
  return out;
}

namespace {

// One line per file, under a heading that says why.
std::string Listed(const char* heading, const std::vector<std::string>& lines) {
  std::string text = heading;
  for (const std::string& l : lines) text += "\n" + l;
  return text;
}

}  // namespace

ReplaceOutcome ApplyReplacement(const SearchResult& result) {
  ReplaceOutcome outcome;
  std::vector<FileChange> changes;
  std::vector<std::string> unencodable;
  std::size_t count = 0;
  for (const FileHits& f : result.files) {
    std::size_t ticked = 0;
    for (const Hit& h : f.hits) ticked += h.included ? 1 : 0;
    if (ticked == 0) continue;
    std::string refused;
    auto after = ReplacedBytes(f, &refused);
    if (!after) {
      unencodable.push_back(f.path.string() + "（「" + refused + "」）");
      continue;
    }
    if (*after == f.bytes) continue;
    count += ticked;
    changes.push_back({f.path, f.encoding, f.bytes, std::move(*after)});
  }
  if (!unencodable.empty()) {
    outcome.message = Listed(
        "次のファイルは Shift-JIS のため置換後の文字を書き込めません。"
        "これらのファイルの置換を外してください。",
        unencodable);
    return outcome;
  }
  // Each file read again, on several threads: none may have changed since the search.
  std::vector<char> state(changes.size(), 0);  // 1 edited, 2 write-protected
  std::atomic<std::size_t> next{0};
  auto look = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < changes.size();)
      state[i] = !Unchanged(changes[i].path, changes[i].before) ? 1
                 : IsWriteProtected(changes[i].path)           ? 2
                                                               : 0;
  };
  const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
  std::vector<std::thread> pool;
  for (unsigned i = 1; i < (changes.size() < 16 ? 1 : cores); ++i) pool.emplace_back(look);
  look();
  for (std::thread& t : pool) t.join();
  std::vector<std::string> edited, protected_files;
  for (std::size_t i = 0; i < changes.size(); ++i)
    if (state[i]) (state[i] == 1 ? edited : protected_files).push_back(changes[i].path.string());
  if (!edited.empty()) {
    outcome.message =
        Listed("次のファイルは検索の後で変更されています。もう一度検索してください。", edited);
    return outcome;
  }
  if (!protected_files.empty()) {
    outcome.message =
        Listed("次のファイルは読み取り専用のため置換できません。どのファイルも置換していません。",
               protected_files);
    return outcome;
  }
  // Every new file in full first: what fails here leaves every file as it was.
  std::vector<std::filesystem::path> targets;
  std::vector<std::string_view> bytes;
  for (const FileChange& c : changes) {
    targets.push_back(c.path);
    bytes.push_back(c.after);
  }
  std::vector<StagedFile> staged;
  if (const BatchFailure f = StageFiles(targets, bytes, staged, &ProgramSpareFiles())) {
    outcome.message = changes[f.index].path.string() + " に書き込めません: " + f.result.error +
                      "\nどのファイルも置換していません。";
    return outcome;
  }
  // Each file's present bytes go into the version store first; a store that
  // cannot take them is mentioned, never a reason to stop. They were just
  // found unchanged on the disk, so the store may link the file itself.
  if (const VersionResult kept = KeepBeforeWrite(targets, "サイト置換"); !kept)
    outcome.version_notice = kept.message;
  std::vector<bool> renamed;
  if (const BatchFailure f = CommitStagedFiles(staged, renamed)) {
    std::vector<std::string> stuck;
    for (std::size_t k = 0; k < changes.size(); ++k) {
      std::string ignored;
      if (!renamed[k] || Write(changes[k].path, changes[k].before, ignored)) continue;
      stuck.push_back(changes[k].path.string());
      outcome.record.files.push_back(changes[k]);
    }
    outcome.message = changes[f.index].path.string() + " に書き込めません: " + f.result.error;
    outcome.message += stuck.empty() ? "\nどのファイルも置換していません。"
                                     : "\n" + Listed(
                                                  "次のファイルは置換したままです"
                                                  "（元に戻すで戻せます）:",
                                                  stuck);
    return outcome;
  }
  outcome.ok = true;
  outcome.record.files = std::move(changes);
  outcome.record.replacements = count;
  return outcome;
}

UndoOutcome UndoReplacement(const ReplaceRecord& record) {
  UndoOutcome outcome;
  std::string kept;
  for (const FileChange& c : record.files) {
    std::string error;
    if (!Unchanged(c.path, c.after)) {
      kept += "\n" + c.path.string() + "（置換の後で変更されています）";
      continue;
    }
    if (const VersionResult stored = KeepBeforeWrite(c.path, "置換の取り消し");
        !stored && outcome.version_notice.empty())
      outcome.version_notice = stored.message;
    if (!Write(c.path, c.before, error)) {
      kept += "\n" + c.path.string() + "（" + error + "）";
    } else {
      outcome.restored.push_back(c.path);
    }
  }
  if (!kept.empty()) outcome.message = "次のファイルは元に戻していません:" + kept;
  return outcome;
}

}  // namespace hemlo::site
