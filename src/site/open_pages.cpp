#include "site/open_pages.h"

#include <set>

#include "text/view_codes.h"

namespace hemlo::site {

std::vector<std::filesystem::path> UnsavedOpenPages(const SearchResult& result, SiteHost& host) {
  std::vector<std::filesystem::path> out;
  for (const FileHits& f : result.files) {
    bool ticked = false;
    for (const Hit& h : f.hits) ticked = ticked || h.included;
    text::EditPane* pane = ticked ? host.OpenPane(f.path) : nullptr;
    if (pane && pane->Modified()) out.push_back(f.path);
  }
  return out;
}

void RefreshOpenPages(const ReplaceRecord& record, bool undo, SiteHost& host) {
  for (const FileChange& c : record.files) {
    text::EditPane* pane = host.OpenPane(c.path);
    if (!pane) continue;
    std::string_view bytes = undo ? c.before : c.after;
    const std::size_t caret = pane->SelStart();
    if (pane->DocumentEncoding() == Encoding::kUtf8) {
      if (bytes.substr(0, text::kUtf8Bom.size()) == text::kUtf8Bom)
        bytes.remove_prefix(text::kUtf8Bom.size());
      pane->SetText(text::Utf8ToView(bytes));
    } else {
      pane->SetText(bytes);
    }
    pane->SetSelStart(caret);
  }
}

UndoOutcome UndoReplacementInOpenPages(const ReplaceRecord& record, SiteHost& host) {
  UndoOutcome out = UndoReplacement(record);
  const std::set<std::filesystem::path> back(out.restored.begin(), out.restored.end());
  ReplaceRecord restored;
  for (const FileChange& c : record.files)
    if (back.count(c.path)) restored.files.push_back(c);
  RefreshOpenPages(restored, true, host);
  return out;
}

std::string LineAfter(const FileHits& file, const Hit& hit) {
  constexpr std::size_t kSide = 200;
  const std::string_view bytes = file.bytes;
  std::size_t from = hit.line_start;
  std::string out;
  if (hit.offset - from > kSide) {
    // Keep the text just before the hit, starting at a character.
    from = hit.offset;
    for (std::size_t k = hit.line_start; k < hit.offset;) {
      if (hit.offset - k <= kSide) {
        from = k;
        break;
      }
      k += CharAt(bytes, k, file.encoding).size;
    }
    out = "…";
  }
  out += DisplayText(bytes.substr(from, hit.offset - from), file.encoding);
  for (char c : hit.replacement) out.push_back(c == '\r' || c == '\n' ? ' ' : c);
  const std::size_t rest = hit.offset + hit.length;
  std::size_t to = rest;
  while (to < hit.line_end && to - rest < kSide) to += CharAt(bytes, to, file.encoding).size;
  out += DisplayText(bytes.substr(rest, to - rest), file.encoding);
  if (to < hit.line_end) out += "…";
  return out;
}

}  // namespace hemlo::site
