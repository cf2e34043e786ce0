// ComputePlan: the local walk, the remote walk and the sorting of every
// entry into its reason.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "base/preview_record.h"
#include "base/remote_errors.h"
#include "publish/plan.h"

namespace hemlo::publish {

namespace fs = std::filesystem;
using transfer::RemoteFact;

namespace {

// Seconds a remote time may lag the local one and still count as "not
// older": servers keep whole seconds and the probe's own rounding.
constexpr int64_t kClockSlackSeconds = 2;

struct LocalFile {
  std::string rel;  // UTF-8
  int64_t size = 0;
  int64_t mtime_ns = 0;
  bool outside_link = false;  // a link to a file outside the site folder
};

struct LocalTree {
  std::vector<std::string> folders;  // relative, parents first (root left out)
  std::vector<LocalFile> files;
  // Names the walk could not read or chose not to follow ("" for the
  // site folder itself): what the server has there, and below, is not
  // known to be gone, so it is never planned for deletion.
  std::vector<std::string> unread;
};

int64_t MtimeNs(const struct stat& st) {
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

bool Below(const fs::path& path, const fs::path& folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p)
    if (p == path.end() || *p != *f) return false;
  return true;
}

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

struct RemoteTree {
  std::map<std::string, RemoteFact> entries;  // wire relative path -> fact
  std::vector<std::string> order;             // walk order
  bool exact_times = true;
  std::map<std::string, RemoteFact> asides;  // old pages moved aside, by wire path
};

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

// The remote time of a file as a true time, for the rule without a record.
std::optional<int64_t> ExactRemoteTime(transfer::RemoteFiles& remote, const RemoteTree& tree,
                                       const std::string& root, const std::string& rel) {
  if (tree.exact_times) {
    auto it = tree.entries.find(rel);
    if (it != tree.entries.end() && it->second.modified_utc) return it->second.modified_utc;
  }
  return remote.ModifiedTime(Join(root, rel));
}

// The server's clock minus ours: a small temporary file is uploaded to the
// root, its time read the same way the files' times are read, and removed.
std::optional<int64_t> MeasureClockOffset(transfer::RemoteFiles& remote, const RemoteTree& tree,
                                          const std::string& root) {
  char local[] = "/tmp/hemlo2-clock-XXXXXX";
  const int fd = ::mkstemp(local);
  if (fd < 0) return std::nullopt;
  ::close(fd);
  std::random_device rd;
  const std::string name = TemporaryName(rd());
  const std::string remote_path = Join(root, name);
  std::optional<int64_t> offset;
  try {
    remote.Upload(local, remote_path, nullptr);
    const int64_t after = std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    std::optional<int64_t> t;
    if (tree.exact_times) {
      for (const auto& f : remote.List(root))
        if (f.name == name) t = f.modified_utc;
    } else {
      t = remote.ModifiedTime(remote_path);
    }
    if (t) offset = *t - after;
    remote.DeleteFile(remote_path);
  } catch (const remote::RemoteError& e) {
    // A server that refuses the probe: files without a record then count
    // as changed, which sends too much rather than too little. A cancel or
    // a connection gone ends the plan.
    if (dynamic_cast<const remote::Cancelled*>(&e) || remote::IsQuietLoss(e)) {
      ::unlink(local);
      throw;
    }
  }
  ::unlink(local);
  return offset;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

}  // namespace

// Listed times of the same kind compared as far as both go: a listing for
// people gives the minute, and only the day for files older than half a
// year (read as the day's first minute; the parser's rounding may add a
// second), so a page published when it was recent still matches its record.
bool SameListedTime(const std::optional<int64_t>& a, const std::optional<int64_t>& b, bool exact) {
  if (!a || !b) return !a && !b;
  if (exact) return *a == *b;
  const auto date_only = [](int64_t t) { return t - FloorDiv(t, 86400) * 86400 < 60; };
  if (date_only(*a) || date_only(*b)) return FloorDiv(*a, 86400) == FloorDiv(*b, 86400);
  return FloorDiv(*a, 60) == FloorDiv(*b, 60);
}

namespace {

std::string NameOf(const std::string& rel) {
  const size_t slash = rel.rfind('/');
  return slash == std::string::npos ? rel : rel.substr(slash + 1);
}

// Files sent as new or changed whose content we published under a path
// that is gone from the site, while the server still holds our copy there
// (`leave` says which server paths must stay as they are): each becomes a
// rename on the server, its old path never deleted. One old copy serves
// one new path; a new path with the old one's name is served first.
void PlanMoves(Plan& plan, const SyncRecord& record, const RemoteTree& tree,
               const text::RemoteNames& names, const std::set<std::string>& local_files,
               const std::set<std::string>& local_wire,
               const std::function<bool(const std::string&)>& leave,
               std::set<std::string>& moved_away) {
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> gone;  // sha -> (rel, wire)
  for (const auto& [rel, rec] : record.files) {
    if (local_files.count(rel) || rec.sha256.empty()) continue;
    const auto w = names.ToWire(rel);
    if (!w || local_wire.count(*w) || leave(*w)) continue;
    const auto it = tree.entries.find(*w);
    if (it == tree.entries.end() || it->second.kind != RemoteFact::Kind::kFile) continue;
    const RemoteFact& rf = it->second;
    const bool ours = (rec.remote_size < 0 && !rec.remote_mtime) ||
                      (rf.size == rec.remote_size &&
                       SameListedTime(rf.modified_utc, rec.remote_mtime, tree.exact_times));
    if (ours) gone[rec.sha256].emplace_back(rel, *w);
  }
  if (gone.empty()) return;
  for (const bool same_name_only : {true, false}) {
    for (auto& e : plan.files) {
      if (!e.include || e.replaces_folder || e.outside_link ||
          (e.reason != Reason::kNew && e.reason != Reason::kChanged))
        continue;
      auto g = gone.find(e.sha256);
      if (g == gone.end()) continue;
      auto& olds = g->second;
      auto old = std::find_if(olds.begin(), olds.end(), [&](const auto& o) {
        return !same_name_only || NameOf(o.first) == NameOf(e.path);
      });
      if (old == olds.end()) continue;
      e.reason = Reason::kMoved;
      e.moved_from = old->first;
      e.moved_from_wire = old->second;
      moved_away.insert(old->second);
      olds.erase(old);
    }
  }
}

}  // namespace

Plan ComputePlan(transfer::RemoteFiles& remote, const PlanInput& input) {
  Plan plan;
  plan.local_root = input.local_root;
  while (plan.local_root.size() > 1 && plan.local_root.back() == '/') plan.local_root.pop_back();
  plan.remote_root = input.remote_root;
  while (plan.remote_root.size() > 1 && plan.remote_root.back() == '/') plan.remote_root.pop_back();
  plan.encoding = input.names.Encoding();
  const auto& names = input.names;
  static const SyncRecord kNoRecord;
  const SyncRecord& record = input.record ? *input.record : kNoRecord;

  LocalTree local = WalkLocal(plan.local_root, input.exclusions, plan, input.stop);
  {
    std::error_code ec;
    if (!fs::is_directory(plan.local_root, ec))
      plan.local_site = LocalSite::kMissing;
    else if (local.files.empty())
      plan.local_site = LocalSite::kEmpty;
  }

  // Wire names; a name the connection cannot carry is reported and left
  // out, with everything below it.
  std::map<std::string, std::string> wire_of;  // local rel -> wire rel
  auto wire = [&](const std::string& rel) -> std::optional<std::string> {
    const std::string parent = ParentOf(rel);
    if (!parent.empty() && !wire_of.count(parent)) return std::nullopt;
    auto w = names.ToWire(rel);
    if (!w) {
      plan.problems.push_back("「" + rel + "」は " + names.EncodingName() +
                              " で表せない文字を含むため送れません");
      return std::nullopt;
    }
    wire_of[rel] = *w;
    return w;
  };
  std::vector<std::string> folders;
  for (const auto& d : local.folders)
    if (wire(d)) folders.push_back(d);
  std::vector<LocalFile> files;
  for (auto& f : local.files) {
    const std::string parent = ParentOf(f.rel);
    if (!parent.empty() && !wire_of.count(parent)) continue;
    if (wire(f.rel)) files.push_back(f);
  }

  // Hashes, and for publish on save the files worth a look.
  std::vector<std::string> sha(files.size());
  std::vector<LocalFile> kept;
  std::vector<std::string> kept_sha;
  const auto stopped = [&] {
    if (input.stop && input.stop()) throw remote::Cancelled();
  };
  for (size_t i = 0; i < files.size(); ++i) {
    stopped();
    auto h = FileSha256(plan.local_root + "/" + files[i].rel, input.stop);
    if (!h) {
      stopped();  // given up rather than unreadable
      plan.problems.push_back("「" + files[i].rel + "」を読めません");
      local.unread.push_back(files[i].rel);
      continue;
    }
    if (input.changed_only) {
      auto r = record.files.find(files[i].rel);
      if (r != record.files.end() && r->second.sha256 == *h) {
        ++plan.unchanged_unplanned;
        continue;
      }
    }
    kept.push_back(files[i]);
    kept_sha.push_back(*h);
  }
  files.swap(kept);
  sha.swap(kept_sha);

  RemoteTree tree;
  if (!input.changed_only) {
    std::vector<std::string> queue{""};
    for (size_t k = 0; k < queue.size(); ++k) {
      const std::string folder = queue[k];  // the queue grows while it is listed
      ListInto(remote, plan.remote_root, folder, names, input.exclusions, tree, &queue, plan);
    }
  } else {
    // The folders on the way to each file, from the root down, each once;
    // a folder the server lacks ends its branch.
    std::set<std::string> listed;
    for (const auto& f : files) {
      const std::string parent_wire = ParentOf(wire_of[f.rel]);
      std::vector<std::string> chain{""};
      for (size_t p = parent_wire.find('/'); p != std::string::npos;
           p = parent_wire.find('/', p + 1))
        chain.push_back(parent_wire.substr(0, p));
      if (!parent_wire.empty()) chain.push_back(parent_wire);
      for (const auto& c : chain) {
        if (!c.empty()) {
          auto it = tree.entries.find(c);
          if (it == tree.entries.end() || it->second.kind != RemoteFact::Kind::kFolder) break;
        }
        if (listed.insert(c).second)
          ListInto(remote, plan.remote_root, c, names, input.exclusions, tree, nullptr, plan);
      }
    }
  }

  for (const auto& [w, fact] : tree.entries)
    if (fact.kind != RemoteFact::Kind::kFolder) ++plan.server_files;
  std::sort(plan.excluded.begin(), plan.excluded.end());
  plan.excluded.erase(std::unique(plan.excluded.begin(), plan.excluded.end()), plan.excluded.end());

  {
    std::set<std::string> known;  // every page whose old copy may be aside
    for (const auto& [rel, w] : wire_of) known.insert(w);
    for (const auto& [rel, rec] : record.files)
      if (auto w = names.ToWire(rel)) known.insert(*w);
    ResolveAsides(tree, known, names, !input.changed_only, plan);
  }

  std::set<std::string> local_wire;  // every local path, wire form
  for (const auto& d : folders) local_wire.insert(wire_of[d]);
  for (const auto& f : files) local_wire.insert(wire_of[f.rel]);

  // Remote entries below a remote folder a local file replaces, or below
  // a server-only folder, are server-only too.
  if (input.changed_only) {
    // Only the folders on the way to the files planned.
    std::set<std::string> needed;
    for (const auto& f : files)
      for (std::string p = ParentOf(f.rel); !p.empty(); p = ParentOf(p)) needed.insert(p);
    std::erase_if(folders, [&](const std::string& d) { return !needed.count(d); });
  }
  for (const auto& d : folders) {
    FolderEntry e;
    e.path = d;
    e.wire = wire_of[d];
    auto it = tree.entries.find(e.wire);
    if (it != tree.entries.end() && it->second.kind == RemoteFact::Kind::kFolder) {
      e.reason = Reason::kUnchanged;
    } else {
      e.reason = Reason::kNew;
      e.include = true;
      e.replaces_file = it != tree.entries.end();
    }
    plan.folders.push_back(std::move(e));
  }

  std::vector<size_t> no_record_same_size;  // candidates for the clock rule
  for (size_t i = 0; i < files.size(); ++i) {
    const LocalFile& lf = files[i];
    FileEntry e;
    e.path = lf.rel;
    e.wire = wire_of[lf.rel];
    e.size = lf.size;
    e.local_mtime_ns = lf.mtime_ns;
    e.sha256 = sha[i];
    auto rit = tree.entries.find(e.wire);
    const RemoteFact* rf = rit == tree.entries.end() ? nullptr : &rit->second;
    if (rf && rf->kind != RemoteFact::Kind::kFolder) {
      e.remote_size = rf->size;
      e.remote_mtime = rf->modified_utc;
    }
    auto rec_it = record.files.find(lf.rel);
    const RecordEntry* rec = rec_it == record.files.end() ? nullptr : &rec_it->second;
    if (rf && rf->kind == RemoteFact::Kind::kFolder) {
      e.reason = rec ? Reason::kChanged : Reason::kNew;
      e.replaces_folder = true;
    } else if (rec) {
      if (!rf) {
        // We put it there and it is gone: someone removed it on the server.
        e.reason = Reason::kConflict;
      } else if (rec->remote_size < 0 && !rec->remote_mtime) {
        // The server's facts were not known after the upload: what it
        // lists now is taken as ours.
        e.reason = rec->sha256 == e.sha256 ? Reason::kUnchanged : Reason::kChanged;
      } else if (rf->size != rec->remote_size ||
                 !SameListedTime(rf->modified_utc, rec->remote_mtime, tree.exact_times)) {
        e.reason = Reason::kConflict;
      } else {
        e.reason = rec->sha256 == e.sha256 ? Reason::kUnchanged : Reason::kChanged;
      }
    } else if (!rf) {
      e.reason = Reason::kNew;
    } else if (rf->size == lf.size) {
      e.reason = Reason::kChanged;  // until the clock says otherwise
      no_record_same_size.push_back(plan.files.size());
    } else {
      e.reason = Reason::kChanged;
    }
    e.include = e.reason == Reason::kNew || e.reason == Reason::kChanged;
    if (lf.outside_link) {
      // Sent only when the author ticks it: the link may have been meant
      // for this machine only.
      e.outside_link = true;
      if (e.include)
        plan.problems.push_back("「" + lf.rel + "」はサイトフォルダの外を指すリンクです");
      e.include = false;
    }
    plan.files.push_back(std::move(e));
  }

  if (!no_record_same_size.empty()) {
    plan.clock_offset = MeasureClockOffset(remote, tree, plan.remote_root);
    if (plan.clock_offset) {
      for (size_t idx : no_record_same_size) {
        FileEntry& e = plan.files[idx];
        const auto t = ExactRemoteTime(remote, tree, plan.remote_root, e.wire);
        if (!t) continue;
        const int64_t local_s = e.local_mtime_ns / 1'000'000'000;
        if (*t - *plan.clock_offset >= local_s - kClockSlackSeconds) {
          e.reason = Reason::kNoRecordSameSize;
          e.include = false;
        }
      }
    }
  }

  // What the walk could not read stays on the server, and below it.
  bool all_unread = false;
  std::set<std::string> unread_wire;
  for (const auto& rel : local.unread) {
    if (rel.empty()) all_unread = true;
    if (auto w = names.ToWire(rel)) unread_wire.insert(*w);
  }
  auto kept_on_server = [&](const std::string& w) {
    if (all_unread) return true;
    if (unread_wire.empty()) return false;
    for (std::string p = w; !p.empty(); p = ParentOf(p))
      if (unread_wire.count(p)) return true;
    return false;
  };

  if (!input.changed_only) {
    // Records of files gone from both sides would make a new file of the
    // same name look deleted on the server.
    std::set<std::string> local_files;
    for (const auto& f : files) local_files.insert(f.rel);
    for (const auto& [rel, rec] : record.files) {
      if (local_files.count(rel)) continue;
      auto w = names.ToWire(rel);
      if (w && (tree.entries.count(*w) || kept_on_server(*w))) continue;
      plan.record_drop.push_back(rel);
    }
    // Server-only entries, in the walk's order (parents before children).
    std::set<std::string> replaced_folders;
    for (const auto& f : plan.files)
      if (f.replaces_folder) replaced_folders.insert(f.wire);
    auto below_replaced = [&](const std::string& w) {
      for (std::string p = ParentOf(w); !p.empty(); p = ParentOf(p))
        if (replaced_folders.count(p)) return true;
      return false;
    };
    std::set<std::string> moved_away;  // renamed, not deleted
    PlanMoves(plan, record, tree, names, local_files, local_wire,
              [&](const std::string& w) { return kept_on_server(w) || below_replaced(w); },
              moved_away);
    for (const auto& w : tree.order) {
      if (local_wire.count(w) || kept_on_server(w) || moved_away.count(w)) continue;
      const RemoteFact& rf = tree.entries[w];
      const bool required = below_replaced(w);
      if (rf.kind == RemoteFact::Kind::kFolder) {
        FolderEntry e;
        e.path = names.Display(w);
        e.wire = w;
        e.reason = Reason::kServerOnly;
        e.required = required;
        e.include = required;
        plan.folders.push_back(std::move(e));
      } else {
        FileEntry e;
        e.path = names.Display(w);
        e.wire = w;
        e.reason = Reason::kServerOnly;
        e.size = rf.size < 0 ? 0 : rf.size;
        e.remote_size = rf.size;
        e.remote_mtime = rf.modified_utc;
        e.required = required;
        e.include = required;
        plan.files.push_back(std::move(e));
      }
    }
  }
  return plan;
}

}  // namespace hemlo::publish
