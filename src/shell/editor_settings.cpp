#include "shell/editor_settings.h"

#include <cstdio>
#include <sstream>

#include "base/atomic_file.h"
#include "shell/preview_width.h"

namespace hemlo {

EditorSettings EditorSettings::Load(const std::filesystem::path& file) {
  EditorSettings s;
  std::string bytes;
  if (!ReadWholeFile(file, bytes)) return s;
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = line.substr(0, eq);
    const bool on = line.substr(eq + 1) != "0";
    if (name == "Highlighting") {
      s.highlighting = on;
    } else if (name == "LineNumbers") {
      s.line_numbers = on;
    } else if (name == "LivePreview") {
      s.live_preview = on;
    } else if (name == "WebPhotos") {
      s.web_photos = on;
    } else if (name == "ClosingTags") {
      s.closing_tags = on;
    } else if (name == "Abbreviations") {
      s.abbreviations = on;
    } else if (name == "Completion") {
      s.completion = on;
    } else if (name == "LeaveRedirects") {
      s.leave_redirects = on;
    } else if (name == "MarkupMarks") {
      s.markup_marks = on;
    } else if (name == "MatchingTags") {
      s.matching_tags = on;
    } else if (name == "PreviewWidth") {
      int width = 0;
      char tail = 0;
      if (std::sscanf(line.c_str() + eq + 1, "%d%c", &width, &tail) == 1)
        s.preview_width = PreviewWidthFromSetting(width);
    } else if (name == "EditPane") {
      int share = 0;
      char tail = 0;
      if (std::sscanf(line.c_str() + eq + 1, "%d%c", &share, &tail) == 1 && share > 0 &&
          share < 1000)
        s.edit_pane_share = share;
    } else if (name == "VersionStoreMB") {
      unsigned long long mb = 0;
      char tail = 0;
      if (std::sscanf(line.c_str() + eq + 1, "%llu%c", &mb, &tail) == 1 && mb < (1ull << 40))
        s.version_cap_mb = mb;
    } else if (name == "SiteFolder") {
      s.site_folder = line.substr(eq + 1);
    } else if (name == "FrameMaximized") {
      s.frame_maximised = line.substr(eq + 1) == "1";
    } else if (name == "Frame") {
      FrameRect r;
      char tail = 0;
      if (std::sscanf(line.c_str() + eq + 1, "%d,%d,%d,%d%c", &r.x, &r.y, &r.width, &r.height,
                      &tail) == 4 &&
          r.width > 0 && r.height > 0 && r.width < 100000 && r.height < 100000)
        s.frame = r;
    }
  }
  return s;
}

WriteResult EditorSettings::Save(const std::filesystem::path& file) const {
  std::string bytes = std::string("Highlighting=") + (highlighting ? "1" : "0") +
                      "\r\nLineNumbers=" + (line_numbers ? "1" : "0") +
                      "\r\nLivePreview=" + (live_preview ? "1" : "0") +
                      "\r\nWebPhotos=" + (web_photos ? "1" : "0") +
                      "\r\nClosingTags=" + (closing_tags ? "1" : "0") +
                      "\r\nAbbreviations=" + (abbreviations ? "1" : "0") +
                      "\r\nEditPane=" + std::to_string(edit_pane_share) +
                      "\r\nVersionStoreMB=" + std::to_string(version_cap_mb) +
                      "\r\nCompletion=" + (completion ? "1" : "0") +
                      "\r\nMarkupMarks=" + (markup_marks ? "1" : "0") +
                      "\r\nPreviewWidth=" + std::to_string(preview_width) +
                      "\r\nLeaveRedirects=" + (leave_redirects ? "1" : "0") +
                      "\r\nMatchingTags=" + (matching_tags ? "1" : "0") + "\r\n";
  if (frame)
    bytes += "Frame=" + std::to_string(frame->x) + "," + std::to_string(frame->y) + "," +
             std::to_string(frame->width) + "," + std::to_string(frame->height) +
             "\r\nFrameMaximized=" + (frame_maximised ? "1" : "0") + "\r\n";
  // Last, and only once chosen: files without it stay as they were. A name
  // with a line break could not be read back, so it is not kept.
  if (!site_folder.empty() && site_folder.find_first_of("\r\n") == std::string::npos)
    bytes += "SiteFolder=" + site_folder + "\r\n";
  return WriteFileAtomically(file, bytes);
}

}  // namespace hemlo
