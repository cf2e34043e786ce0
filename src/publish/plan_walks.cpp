// The local and the remote walk of a plan.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>

#include "base/preview_record.h"
#include "publish/plan_parts.h"

namespace hemlo::publish::plan_parts {

namespace fs = std::filesystem;
using transfer::RemoteFact;

namespace {

int64_t MtimeNs(const struct stat& st) {
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

bool Below(const fs::path& path, const fs::path& folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p)
    if (p == path.end() || *p != *f) return false;
  return true;
}

}  // namespace

// Breadth-first, names sorted per folder. Symbolic links to folders are not
// walked into (a loop could never end, a link may lead out of the site);
// links to files count as files, those leading out of the site folder
// marked. Preview copies this program wrote beside the pages stay at home.
LocalTree WalkLocal(const std::string& root, const Exclusions& exclusions, Plan& plan,
                    const std::function<bool()>& stop) {
  std::vector<std::string>& problems = plan.problems;
  LocalTree tree;
  std::error_code root_ec;
  const fs::path real_root = fs::canonical(root, root_ec);
  std::vector<std::string> queue{""};
  for (size_t k = 0; k < queue.size(); ++k) {
    if (stop && stop()) throw remote::Cancelled();
    const std::string rel = queue[k];
    const std::string dir = rel.empty() ? root : root + "/" + rel;
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
      names.push_back(it->path().filename().string());
    if (ec) {
      problems.push_back("フォルダ「" + (rel.empty() ? dir : rel) + "」を読めません");
      tree.unread.push_back(rel);
    }
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
      const std::string child = rel.empty() ? name : rel + "/" + name;
      const std::string full = root + "/" + child;
      struct stat lst {};
      if (::lstat(full.c_str(), &lst) != 0) {
        if (errno != ENOENT) problems.push_back("「" + child + "」を読めません");
        tree.unread.push_back(child);
        continue;
      }
      if (exclusions.Excludes(child, S_ISDIR(lst.st_mode))) {
        plan.excluded.push_back(S_ISDIR(lst.st_mode) ? child + "/" : child);
        continue;
      }
      if (S_ISDIR(lst.st_mode)) {
        tree.folders.push_back(child);
        queue.push_back(child);
        continue;
      }
      struct stat st {};
      const bool link = S_ISLNK(lst.st_mode);
      if (link && ::stat(full.c_str(), &st) != 0) {
        problems.push_back("「" + child + "」はリンク先を読めないため送りません");
        tree.unread.push_back(child);
        continue;
      }
      if (!link) st = lst;
      if (S_ISDIR(st.st_mode)) {
        problems.push_back("「" + child + "」はフォルダへのリンクのため送りません");
        tree.unread.push_back(child);
        continue;
      }
      if (!S_ISREG(st.st_mode)) {
        problems.push_back("「" + child + "」は普通のファイルではないため送りません");
        tree.unread.push_back(child);
        continue;
      }
      if (IsTemporaryName(name) || PreviewRecord::Shared().IsOurs(full)) continue;
      LocalFile f{child, static_cast<int64_t>(st.st_size), MtimeNs(st)};
      if (link) {
        std::error_code lec;
        const fs::path target = fs::canonical(full, lec);
        f.outside_link = lec || root_ec || !Below(target, real_root);
      }
      tree.files.push_back(std::move(f));
    }
  }
  return tree;
}

std::string Join(const std::string& root, const std::string& rel) {
  if (rel.empty()) return root;
  return root == "/" ? "/" + rel : root + "/" + rel;
}

std::string ParentOf(const std::string& rel) {
  const size_t slash = rel.rfind('/');
  return slash == std::string::npos ? std::string() : rel.substr(0, slash);
}

// Lists `rel` (wire) and records its entries; folders go onto `queue`.
void ListInto(transfer::RemoteFiles& remote, const std::string& root, const std::string& rel,
              const text::RemoteNames& names, const Exclusions& exclusions, RemoteTree& tree,
              std::vector<std::string>* queue, Plan& plan) {
  auto facts = remote.List(Join(root, rel));
  tree.exact_times = tree.exact_times && remote.ListedTimesExact();
  for (auto& f : facts) {
    const std::string child = rel.empty() ? f.name : rel + "/" + f.name;
    if (names.Unsafe(f.name)) {
      plan.problems.push_back("サーバの名前「" + names.Display(child) +
                              "」は扱えないため除きました");
      continue;
    }
    if (f.kind != RemoteFact::Kind::kFolder && IsAsideName(f.name)) {
      tree.asides[child] = std::move(f);
      continue;
    }
    if (f.kind != RemoteFact::Kind::kFolder && IsTemporaryName(f.name)) {
      plan.stale_temporaries.push_back(child);
      continue;
    }
    // Never listed, so never server-only: what the author keeps there stays.
    const bool folder = f.kind == RemoteFact::Kind::kFolder;
    if (!exclusions.Empty() && exclusions.Excludes(names.Display(child), folder)) {
      plan.excluded.push_back(names.Display(child) + (folder ? "/" : ""));
      continue;
    }
    if (f.kind == RemoteFact::Kind::kFolder && queue) queue->push_back(child);
    tree.order.push_back(child);
    tree.entries[child] = std::move(f);
  }
}

// An aside copy is the old page of a replacement cut short. Beside its
// page it is left over and goes; without it, it is the only copy: the run
// puts it back, and the plan sees it as the page. One whose page no local
// file or record names is kept and mentioned, never deleted.
void ResolveAsides(RemoteTree& tree, const std::set<std::string>& known_pages,
                   const text::RemoteNames& names, bool walk_all, Plan& plan) {
  if (tree.asides.empty()) return;
  std::map<std::string, std::set<std::string>> page_of;  // aside wire -> candidate pages
  for (const auto& page : known_pages) {
    const std::string parent = ParentOf(page);
    const std::string name = parent.empty() ? page : page.substr(parent.size() + 1);
    const std::string aside = AsideName(name);
    page_of[parent.empty() ? aside : parent + "/" + aside].insert(page);
  }
  for (auto& [aside, fact] : tree.asides) {
    auto it = page_of.find(aside);
    if (it == page_of.end() || it->second.size() != 1) {
      plan.problems.push_back("サーバの「" + names.Display(aside) +
                              "」は置き換えの途中で退避したページかもしれないため残しました");
      continue;
    }
    const std::string& page = *it->second.begin();
    if (tree.entries.count(page)) {
      plan.stale_temporaries.push_back(aside);
      continue;
    }
    plan.restore_asides.emplace_back(aside, page);
    plan.problems.push_back("サーバの「" + names.Display(page) + "」は置き換えの途中で退避された" +
                            "ままのため、退避した「" + names.Display(aside) + "」を元に戻します");
    fact.name = page.substr(ParentOf(page).empty() ? 0 : ParentOf(page).size() + 1);
    if (walk_all) tree.order.push_back(page);
    tree.entries[page] = fact;
  }
}

std::string NameOf(const std::string& rel) {
  const size_t slash = rel.rfind('/');
  return slash == std::string::npos ? rel : rel.substr(slash + 1);
}
}  // namespace hemlo::publish::plan_parts
