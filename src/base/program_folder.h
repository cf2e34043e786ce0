#pragma once
// The program's folder: where Rireki.ini, favorite.ini, Ferrox.ini and the
// other files the program owns live. main() sets it to the executable's
// folder; tests point it at a temporary folder.
#include <filesystem>

namespace hemlo {

std::filesystem::path ProgramFolder();
void SetProgramFolder(const std::filesystem::path& folder);

}  // namespace hemlo
