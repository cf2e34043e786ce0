#pragma once
// Moving a local file or folder to the user's trash the way the desktop's
// trash rules (freedesktop.org Trash) lay it out, so the desktop's own
// trash window lists it and can put it back. Nothing is created outside the
// trash folders themselves: where no trash can be had, nothing moves.
#include <string>

#include "base/file_result.h"

namespace hemlo::transfer {

// The trash folder for `path` (UTF-8 absolute path): the home trash
// ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash) for a path on the same
// mount as that folder, otherwise $topdir/.Trash/$uid (when $topdir/.Trash
// is a real sticky folder) or $topdir/.Trash-$uid on the path's own mount.
// Empty when none applies.
std::string TrashFolderFor(const std::string& path);

// Moves `path` into its trash folder (creating it, and its files/ and info/
// folders, owner-only), with an info file naming where it came from and
// when. Fails with a reason when it could not; the path is then untouched.
FileResult MoveToTrash(const std::string& path);

}  // namespace hemlo::transfer
