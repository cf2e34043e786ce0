#include "shell/preview.h"

#include <filesystem>
#include <system_error>

#include "base/ascii_case.h"
#include "base/atomic_file.h"
#include "base/dialog_folder.h"
#include "base/percent_path.h"
#include "base/program_folder.h"
#include "text/cp932.h"

namespace hemlo::shell {

namespace fs = std::filesystem;

void MakePreviewPath(PreviewState& state, std::string_view document_path) {
  const std::size_t slash = document_path.rfind('/');
  const std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  std::string_view name = document_path.substr(name_start);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  state.PreviewFolder = std::string(document_path.substr(0, name_start));
  state.PreviewPath = state.PreviewFolder + std::string(name) + "bak.htm";
}

std::string ReplaceSeparators(std::string_view text, char target) {
  const char other = target == '\\' ? '/' : '\\';
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = text::CharLength(text, i);
    if (n == 1 && text[i] == other) {
      out.push_back(target);
    } else {
      out.append(text.substr(i, n));
    }
    i += n;
  }
  return out;
}

std::string FileUrlForPath(std::string_view path) { return "file://" + PercentEscapePath(path); }

// --- charset --------------------------------------------------------------

namespace {

// Case-insensitive search of an ASCII needle.
std::size_t FindNoCase(std::string_view hay, std::string_view needle, std::size_t from = 0) {
  if (needle.size() > hay.size()) return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
    std::size_t k = 0;
    while (k < needle.size() && AsciiLower(hay[i + k]) == needle[k]) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

bool StartsNoCase(std::string_view s, std::size_t at, std::string_view prefix) {
  return s.size() - at >= prefix.size() && FindNoCase(s.substr(at, prefix.size()), prefix) == 0;
}

}  // namespace

bool DeclaresCharset(std::string_view page) {
  if (page.starts_with("\xEF\xBB\xBF") || page.starts_with("\xFE\xFF") ||
      page.starts_with("\xFF\xFE"))
    return true;
  // The browser honours a declaration anywhere in the head, also past a long
  // comment: look up to the body (or the first 64 KiB of a page without one).
  const std::size_t body = FindNoCase(page, "<body");
  const std::string_view head = page.substr(0, body != std::string_view::npos ? body : 64 * 1024);
  for (std::size_t at = FindNoCase(head, "<meta"); at != std::string_view::npos;
       at = FindNoCase(head, "<meta", at + 5)) {
    const std::size_t end = head.find('>', at);
    const std::string_view tag =
        head.substr(at, end == std::string_view::npos ? head.npos : end - at);
    if (FindNoCase(tag, "charset") != std::string_view::npos) return true;
  }
  return false;
}

std::string PreviewBytes(std::string_view page, text::Encoding encoding) {
  if (DeclaresCharset(page)) return std::string(page);
  std::size_t at = 0;
  for (;;) {
    std::size_t i = at;
    while (i < page.size() && (page[i] == ' ' || page[i] == '\t' || page[i] == '\r' ||
                               page[i] == '\n' || page[i] == '\f'))
      ++i;
    std::size_t end = std::string_view::npos;
    bool doctype = false;
    if (page.compare(i, 4, "<!--") == 0) {
      end = page.find("-->", i + 4);
      if (end != std::string_view::npos) end += 3;
    } else if (page.compare(i, 2, "<?") == 0) {
      end = page.find('>', i);
      if (end != std::string_view::npos) end += 1;
    } else if (StartsNoCase(page, i, "<!doctype")) {
      end = page.find('>', i);
      if (end != std::string_view::npos) end += 1;
      doctype = true;
    }
    if (end == std::string_view::npos) break;
    at = end;
    if (doctype) break;
  }
  std::string out;
  out.reserve(page.size() + 32);
  out.append(page.substr(0, at));
  out.append(encoding == text::Encoding::kUtf8 ? "<meta charset=\"UTF-8\">"
                                               : "<meta charset=\"Shift_JIS\">");
  out.append(page.substr(at));
  return out;
}

// --- preview ----------------------------------------------------------------

namespace {

std::string FileName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void UseFallback(PreviewState& state) {
  std::string folder = TemporaryFolder().string();
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  state.PreviewFolder = folder;
  state.PreviewPath = folder + std::string(kFallbackPreviewName);
}

}  // namespace

PreviewResult Image1Click(PreviewContext& c) {
  using Outcome = PreviewResult::Outcome;
  PreviewResult result;
  if (c.pane == nullptr || c.caption == nullptr) return result;
  if (c.pane->TextLength() == 0) return result;
  // The file's own bytes: a UTF-8 page previews as UTF-8.
  const std::string text = c.pane->DocumentBytes();
  PreviewRegistry& registry = c.registry ? *c.registry : PreviewRegistry::Shared();
  PreviewState& state = *c.state;

  bool failed = false;
  std::string document = *c.caption;
  if (document.empty()) {
    c.prompts->Message("確認", "ﾌｧｲﾙ名を付けてください。", Buttons::Ok, Icon::None);
    std::optional<std::string> chosen = c.prompts->SaveFile(c.save_dialog);
    if (!chosen) {
      result.outcome = Outcome::Cancelled;
      return result;
    }
    DialogFolder::Chosen(*chosen);
    // A failed save must not look like one that worked: the page stays
    // untitled and modified, the error is shown, and the preview goes on
    // through the fallback file.
    if (WriteResult w = WriteFileAtomically(*chosen, text); w) {
      c.pane->SetModified(false);
      *c.caption = *chosen;
      result.caption_changed = true;
      document = *chosen;
    } else {
      c.prompts->Error("'" + *chosen + "' に書き込めません。\n" + w.error);
      failed = true;
    }
  }

  if (!failed) {
    MakePreviewPath(state, document);
    std::error_code ec;
    fs::current_path(fs::path(state.PreviewFolder), ec);
    failed = static_cast<bool>(ec);
    // The page's folder is now the one relative links are made from.
    if (!failed)
      DialogFolder::Set(fs::path(state.PreviewFolder).lexically_normal().parent_path().string());
  }
  if (!failed) {
    // A file of the preview name that this program did not write is the
    // user's own: never overwrite it (nor delete it later).
    std::error_code ec;
    const bool present = fs::exists(fs::symlink_status(state.PreviewPath, ec));
    if (present && !registry.IsOurs(state.PreviewPath)) {
      result.status = "同名のﾌｧｲﾙ " + FileName(state.PreviewPath) + " があるので、" +
                      std::string(kFallbackPreviewName) + " でﾌﾟﾚﾋﾞｭｰしています。";
      failed = true;
    }
  }
  if (failed) {
    UseFallback(state);
    result.used_fallback = true;
  }

  if (WriteResult w =
          WriteFileAtomically(state.PreviewPath, PreviewBytes(text, c.pane->DocumentEncoding()));
      !w) {
    c.prompts->Error("'" + state.PreviewPath + "' に書き込めません。\n" + w.error);
    result.outcome = Outcome::WriteFailed;
    return result;
  }
  if (!result.used_fallback)
    registry.Written(state.PreviewPath, c.owner);  // itiji.htm is never deleted

  result.url = FileUrlForPath(state.PreviewPath);
  result.outcome = Outcome::Navigated;
  if (c.navigate) c.navigate(result.url);
  return result;
}

int DocumentWindowDestroyed(PreviewState& state, std::string_view caption, const void* owner,
                            PreviewRegistry* registry) {
  if (!caption.empty()) MakePreviewPath(state, caption);
  return (registry ? *registry : PreviewRegistry::Shared()).Release(owner);
}

}  // namespace hemlo::shell
