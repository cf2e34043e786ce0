#pragma once
// The folder the file dialogs and relative links work from. The desktop's
// file dialogs leave the process's current folder alone, so the program keeps
// the folder of the file last chosen in an open or save dialog itself; it is
// the base of the links ファイル名... inserts into an untitled page and where
// dialogs start when no page is active. Paths are UTF-8 local paths.
#include <optional>
#include <string>

namespace hemlo {

class DialogFolder {
 public:
  // The folder of the file last chosen in an open or save dialog this run.
  static std::optional<std::string> Last();
  // An open or save dialog confirmed `file`: its folder becomes the last one.
  static void Chosen(const std::string& file);
  // Sets (or with nullopt forgets) the last folder outright.
  static void Set(std::optional<std::string> folder);

  // Base folder of relative links in an untitled page: the last folder, else
  // the process's current folder (empty when neither can be had).
  static std::string LinkBase();
  // Where a file dialog opens: the active page's folder (`active_document`
  // is its path, empty for none or an untitled page), else the last folder,
  // else the user's home folder.
  static std::string StartFor(const std::string& active_document);
};

// Whether two existing paths lie on one mount (the same device id); paths
// that do not exist are judged by their nearest existing parent. True when
// either cannot be examined at all.
bool OnSameMount(const std::string& a, const std::string& b);

}  // namespace hemlo
