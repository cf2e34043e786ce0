#pragma once
// Recovery copies: pages still modified when the desktop session ended
// without a chance to ask. Each copy lies in a folder beside the state files,
// never over the page's own file: "<pid>.<n>-<name>" holds the page's bytes
// and "<pid>.<n>-<name>.path" the page's path ("" for an untitled page). The
// process id keeps two running frames apart; every name is claimed
// exclusively, so no copy ever replaces another. Copies named "<n>-<name>"
// by earlier versions are still listed.
#include <filesystem>
#include <string>
#include <vector>

namespace hemlo::shell {

struct RecoveryPage {
  std::string original;  // local (UTF-8) path of the page; empty when untitled
  std::string bytes;     // the edit pane's text
};

struct RecoveryCopy {
  std::string original;
  std::filesystem::path copy;
};

// Writes one copy per page (owner-only); returns one error text per page that
// could not be written.
std::vector<std::string> WriteRecoveryCopies(const std::filesystem::path& folder,
                                             const std::vector<RecoveryPage>& pages);

struct KeptCopies {
  std::vector<std::string> errors;  // every folder that refused a page, for the log
  std::size_t lost = 0;             // pages no folder took
};
// Each page in the first of `folders` that takes it.
KeptCopies KeepRecoveryCopies(const std::vector<std::filesystem::path>& folders,
                              const std::vector<RecoveryPage>& pages);
// The copies, each process's in the order they were written.
std::vector<RecoveryCopy> ListRecoveryCopies(const std::filesystem::path& folder);
void RemoveRecoveryCopy(const RecoveryCopy& copy);
// The question that offers the copies, naming each page, and saying where
// copies lie that `usual` (the first choice) could not take.
std::string RecoveryQuestion(const std::vector<RecoveryCopy>& copies,
                             const std::filesystem::path& usual = {});

// "recovery" in the program's folder.
std::filesystem::path RecoveryFolder();
// Where copies go, first choice first: RecoveryFolder(), then a folder in the
// state folder's parent, then one in the scratch (runtime) folder; a state
// folder that cannot be written must not lose the pages.
std::vector<std::filesystem::path> RecoveryFolders();

}  // namespace hemlo::shell
