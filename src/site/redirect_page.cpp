#include "site/redirect_page.h"

#include <unistd.h>

#include <cerrno>
#include <map>
#include <system_error>

#include "base/ascii_case.h"
#include "base/atomic_batch.h"
#include "base/atomic_file.h"
#include "site/link_paths.h"
#include "site/link_write.h"
#include "site/page_text.h"

namespace hemlo::site {

namespace {

std::string Escaped(std::string_view s) {
  std::string out;
  for (const char c : s) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '"')
      out += "&quot;";
    else
      out.push_back(c);
  }
  return out;
}

namespace fs = std::filesystem;

// Makes `dir` and the folders above it that are missing, noting each.
bool MakeFolders(const fs::path& dir, std::vector<fs::path>& made, std::string& error) {
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return true;
  if (!dir.has_parent_path() || dir.parent_path() == dir) return false;
  if (!MakeFolders(dir.parent_path(), made, error)) return false;
  if (!fs::create_directory(dir, ec)) {
    error = ec ? ec.message() : dir.string() + " がファイルです";
    return false;
  }
  made.push_back(dir);
  return true;
}

}  // namespace

bool IsRedirectable(const std::filesystem::path& path) {
  const std::string ext = AsciiLowered(path.extension().string());
  return ext == ".htm" || ext == ".html";
}

std::string RedirectPage(const std::filesystem::path& old_path,
                         const std::filesystem::path& new_path, std::string_view moved_bytes) {
  const Encoding enc = ClassifyPage(moved_bytes).encoding;
  const std::string eol(LineBreakOf(moved_bytes));
  // %-encoded, so no checker calls the address malformed; only what HTML
  // itself reserves is left to escape.
  const std::string link = Escaped(LinkBetween(old_path, new_path));
  const std::string name = new_path.lexically_relative(old_path.parent_path()).generic_string();
  // A name the page's encoding cannot hold is shown as its link.
  const auto shown = EncodeText(Escaped(name), enc);
  // The fixed text is ASCII and characters every Shift-JIS page holds; the
  // name is in the page's encoding already, the link in ASCII.
  const auto fixed = [enc](const std::string& utf8) {
    return enc == Encoding::kUtf8 ? utf8 : EncodeText(utf8, enc).value_or(utf8);
  };
  const std::string charset = enc == Encoding::kUtf8 ? "UTF-8" : "Shift_JIS";
  std::string out = "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n";
  out += "<meta charset=\"" + charset + "\">\n";
  out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  out += fixed("<title>このページは移動しました</title>\n");
  out += "<meta http-equiv=\"refresh\" content=\"0; url=" + link + "\">\n";
  out += "<link rel=\"canonical\" href=\"" + link + "\">\n";
  out += "</head>\n<body>\n";
  out += fixed("<p>このページは ") + "<a href=\"" + link + "\">" + (shown ? *shown : link) + "</a>";
  out += fixed(" へ移動しました。</p>\n");
  out += "</body>\n</html>\n";
  if (eol == "\n") return out;
  std::string broken;
  for (const char c : out) {
    if (c == '\n')
      broken += eol;
    else
      broken.push_back(c);
  }
  return broken;
}

std::vector<fs::path> PagesMoving(const fs::path& from) {
  std::vector<fs::path> pages;
  std::error_code ec;
  if (fs::is_regular_file(fs::symlink_status(from, ec)) && IsRedirectable(from))
    pages.push_back(from);
  if (!fs::is_directory(fs::symlink_status(from, ec))) return pages;
  for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec) && !it->is_symlink(ec) && IsRedirectable(it->path()))
      pages.push_back(it->path());
  return pages;
}

RedirectPages LeaveRedirects(const std::vector<fs::path>& olds, const fs::path& from,
                             const fs::path& to, std::vector<std::string>& skipped) {
  RedirectPages left;
  std::vector<fs::path> targets;
  std::vector<std::string> pages;
  for (const fs::path& old : olds) {
    const fs::path now = Mapped(old, from, to);
    std::string moved, error;
    if (!ReadWholeFile(now, moved, &error) ||
        !MakeFolders(old.parent_path(), left.folders, error)) {
      skipped.push_back(old.string() + ": " + error);
      continue;
    }
    targets.push_back(old);
    pages.push_back(RedirectPage(old, now, moved));
  }
  // A folder moved holds many pages: flushed together, each claimed by a
  // hard link (which never replaces a file), each folder flushed once.
  std::vector<StagedFile> staged;
  const bool batch = !StageFiles(targets, {pages.begin(), pages.end()}, staged);
  std::map<fs::path, fs::path> folders;  // folder -> a page in it
  for (std::size_t i = 0; i < targets.size(); ++i) {
    WriteResult w;
    if (batch && ::link(staged[i].temporary.c_str(), targets[i].c_str()) == 0)
      folders.emplace(targets[i].parent_path(), targets[i]);
    else if (batch && errno == EEXIST)
      w = {false, "", EEXIST};
    else
      w = CreateFileExclusively(targets[i], pages[i], 0644);  // a disk without hard links
    if (batch) AbandonStaged(staged[i]);
    if (!w) {
      skipped.push_back(targets[i].string() + ": " +
                        (w.code == EEXIST ? std::string("同じ名前のファイルがあります") : w.error));
      continue;
    }
    left.pages.emplace_back(targets[i], std::move(pages[i]));
  }
  for (const auto& [folder, page] : folders) SyncFolderOf(page);
  return left;
}

bool RedirectsIntact(const RedirectPages& left, std::vector<std::string>& edited) {
  const std::size_t before = edited.size();
  // One taken away by hand is no reason to refuse.
  for (const auto& [path, bytes] : left.pages) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec)) && !HoldsBytes(path, bytes))
      edited.push_back(path.string());
  }
  return edited.size() == before;
}

void RemoveRedirects(const RedirectPages& left) {
  std::error_code ec;
  for (const auto& page : left.pages) fs::remove(page.first, ec);
  for (auto it = left.folders.rbegin(); it != left.folders.rend(); ++it) fs::remove(*it, ec);
}

std::string PutRedirectsBack(const RedirectPages& left) {
  std::string failed;
  for (const fs::path& dir : left.folders) {
    std::error_code ec;
    fs::create_directory(dir, ec);
  }
  for (const auto& [path, bytes] : left.pages)
    if (!CreateFileExclusively(path, bytes, 0644))
      failed += "\n" + path.string() + " の転送ページを戻せませんでした。";
  return failed;
}

}  // namespace hemlo::site
