#pragma once
// Where the program keeps its own files. State files (Rireki.ini,
// favorite.ini, Ferrox.ini, LastDir.ini, ...) live in ProgramFolder(); scratch
// files (itiji.htm, TABLEFILE.$$$) in TemporaryFolder(). main() chooses both
// with ChooseStateFolders; tests point them at temporary folders.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_result.h"

namespace hemlo {

std::filesystem::path ProgramFolder();
std::filesystem::path TemporaryFolder();
// Points both the state and the scratch files at one folder.
void SetProgramFolder(const std::filesystem::path& folder);
void SetTemporaryFolder(const std::filesystem::path& folder);

// The builder's table test page: written by the table tab, removed when the
// program ends.
std::filesystem::path TableTestFile();

// Files whose presence in a writable executable folder makes it a portable install.
const std::vector<std::string_view>& StateFileNames();

// The variables the choice depends on (empty when unset).
struct FolderEnvironment {
  std::string xdg_config_home;
  std::string xdg_runtime_dir;
  std::string xdg_cache_home;
  std::string home;
  static FolderEnvironment FromProcess();
};

struct StateFolders {
  std::filesystem::path state;
  std::filesystem::path temporary;
  bool portable = false;
};

// A writable executable folder holding any state file keeps everything
// (portable). Otherwise state goes to $XDG_CONFIG_HOME/Hemlo2 (else
// ~/.config/Hemlo2) and scratch files to $XDG_RUNTIME_DIR/Hemlo2 (else the
// cache folder).
StateFolders ChooseStateFolders(const std::filesystem::path& executable_folder,
                                const FolderEnvironment& env);

// Creates the folder and its parents; a folder it creates is owner-only.
// Fails with the reason when it cannot.
FileResult MakePrivateFolder(const std::filesystem::path& folder);

}  // namespace hemlo
