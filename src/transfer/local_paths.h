#pragma once
// Path rules of the transfer tool and the walk of a local folder tree.
// Separators are found on whole characters: in Shift-JIS text a trail byte
// equal to "\\" (as in 表) is never a separator. Local paths on this system
// are UTF-8, where no byte of a multi-byte character can be a separator.
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::transfer {

enum class PathText { kShiftJis, kUtf8 };

// Every "\\" becomes "/" when target is '/', otherwise every "/" becomes "\\".
std::string SwapSeparators(std::string_view path, char target, PathText text = PathText::kShiftJis);

// Drops one trailing separator, then keeps everything up to and including
// the last separator; empty when there is none.
// "C:\\www\\site\\" and "C:\\www\\site" give "C:\\www\\", "site/sub" gives "site/".
std::string ParentPath(std::string_view path, char separator, PathText text = PathText::kShiftJis);

// `path` with one trailing separator, unless it already ends in one.
std::string WithTrailingSeparator(std::string_view path, char separator,
                                  PathText text = PathText::kShiftJis);

struct LocalTreeLists {
  std::vector<std::string> FolderList;  // root first, then breadth-first
  std::vector<std::string> FileList;    // files in the order folders were visited
};

// Breadth-first walk below `root` (a UTF-8 local folder path without a
// trailing separator): every folder and file, hidden ones included, each
// level in the order the file system lists it. A folder reached again
// through a symbolic link is not walked twice.
LocalTreeLists CollectLocalTree(const std::string& root);

}  // namespace hemlo::transfer
