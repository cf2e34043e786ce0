#include "base/program_folder.h"

namespace hemlo {
namespace {
std::filesystem::path& Folder() {
  static std::filesystem::path folder = std::filesystem::current_path();
  return folder;
}
}  // namespace

std::filesystem::path ProgramFolder() { return Folder(); }
void SetProgramFolder(const std::filesystem::path& folder) { Folder() = folder; }

}  // namespace hemlo
