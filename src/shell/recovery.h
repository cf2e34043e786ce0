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
// The copies, each process's in the order they were written.
std::vector<RecoveryCopy> ListRecoveryCopies(const std::filesystem::path& folder);
void RemoveRecoveryCopy(const RecoveryCopy& copy);
// The question that offers the copies, naming each page.
std::string RecoveryQuestion(const std::vector<RecoveryCopy>& copies);

// "recovery" in the program's folder.
std::filesystem::path RecoveryFolder();

}  // namespace hemlo::shell
