#pragma once
// The edit pane's display choices (環境設定) and the frame's place, kept in
// Editor.ini in the program's folder as "Name=value" lines; a missing or
// unreadable file gives the defaults (colours, line numbers, end tags,
// abbreviations, completion, matching tags, web copies of large pictures and
// markup marks on, live preview and redirect pages off, the PC width, no place, half the
// window for the edit pane); a file written before a choice existed reads as
// its default.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "base/atomic_file.h"

#include "shell/frame_place.h"

namespace hemlo {

// A new document window's edit pane share of its height, in thousandths.
inline constexpr int kDefaultEditPaneShare = 500;

struct EditorSettings {
  bool highlighting = true;
  bool line_numbers = true;
  bool live_preview = false;       // the web pane follows typing
  bool web_photos = true;          // large pictures inserted are offered a web copy
  bool closing_tags = true;        // end tags put in while typing
  bool abbreviations = true;       // Tab or Ctrl+E expands "ul>li*3"
  bool completion = true;          // a list of elements, attributes, values and files
  std::optional<FrameRect> frame;  // "Frame=x,y,width,height", the unmaximised place
  bool frame_maximised = false;
  // "EditPane=": where the user last left the splitter, for new windows.
  int edit_pane_share = kDefaultEditPaneShare;
  // "VersionStoreMB=": the most the earlier versions of pages may take, in
  // MiB; 0 keeps none.
  std::uint64_t version_cap_mb = 500;
  bool markup_marks = true;  // "MarkupMarks=": markup issues marked while typing
  // "PreviewWidth=": the web pane's width in CSS pixels (375, 768), 0 for
  // the pane's own (preview_width.h).
  int preview_width = 0;
  // "SiteFolder=": the folder ファイル › サイトを開く... last opened in the
  // site panel (UTF-8); empty: none, the panel follows the profiles.
  std::string site_folder;
  // "LeaveRedirects=": リンクの更新 leaves a redirect page at a moved page's
  // old address.
  bool leave_redirects = false;
  // "MatchingTags=": the partner of the tag at the caret is highlighted.
  bool matching_tags = true;

  static EditorSettings Load(const std::filesystem::path& file);
  // Replaces the file atomically.
  WriteResult Save(const std::filesystem::path& file) const;
};

}  // namespace hemlo
