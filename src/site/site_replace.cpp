#include "site/site_replace.h"

#include "base/atomic_file.h"

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

ReplaceOutcome ApplyReplacement(const SearchResult& result) {
  ReplaceOutcome outcome;
  std::vector<FileChange> changes;
  std::size_t count = 0;
  for (const FileHits& f : result.files) {
    std::size_t ticked = 0;
    for (const Hit& h : f.hits) ticked += h.included ? 1 : 0;
    if (ticked == 0) continue;
    std::string refused;
    auto after = ReplacedBytes(f, &refused);
    if (!after) {
      outcome.message = f.path.string() + " は Shift-JIS のため「" + refused +
                        "」を書き込めません。このファイルの置換を外してください。";
      return outcome;
    }
    if (*after == f.bytes) continue;
    count += ticked;
    changes.push_back({f.path, f.encoding, f.bytes, std::move(*after)});
  }
  for (const FileChange& c : changes) {
    if (!Unchanged(c.path, c.before)) {
      outcome.message =
          c.path.string() + " は検索の後で変更されています。もう一度検索してください。";
      return outcome;
    }
  }
  for (std::size_t i = 0; i < changes.size(); ++i) {
    std::string error;
    if (Write(changes[i].path, changes[i].after, error)) continue;
    std::string ignored;
    for (std::size_t k = 0; k < i; ++k) Write(changes[k].path, changes[k].before, ignored);
    outcome.message = changes[i].path.string() + " に書き込めません: " + error +
                      "\nどのファイルも置換していません。";
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
    } else if (!Write(c.path, c.before, error)) {
      kept += "\n" + c.path.string() + "（" + error + "）";
    } else {
      outcome.restored.push_back(c.path);
    }
  }
  if (!kept.empty()) outcome.message = "次のファイルは元に戻していません:" + kept;
  return outcome;
}

}  // namespace hemlo::site
