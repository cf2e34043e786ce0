#pragma once
// The edit pane's display choices (環境設定), kept in Editor.ini in the
// program's folder as "Name=0|1" lines; a missing or unreadable file gives
// the defaults (colours and line numbers on, live preview off).
#include <filesystem>
#include <string>

namespace hemlo {

struct EditorSettings {
  bool highlighting = true;
  bool line_numbers = true;
  bool live_preview = false;  // the web pane follows typing

  static EditorSettings Load(const std::filesystem::path& file);
  // Replaces the file atomically; false with `error` set when it cannot.
  bool Save(const std::filesystem::path& file, std::string* error = nullptr) const;
};

}  // namespace hemlo
