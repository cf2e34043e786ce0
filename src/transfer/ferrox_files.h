#pragma once
// The transfer tool's two state files in the program's folder:
// "Ferrox.ini" (connection profiles, one comma-text line each, passwords
// included, so owner-only) and "LastDir.ini" (the last local folder).
// Both are Shift-JIS with CR LF line ends and are replaced atomically.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace hemlo::transfer {

inline constexpr const char* kProfileFileName = "Ferrox.ini";
inline constexpr const char* kLastDirFileName = "LastDir.ini";

struct FileOutcome {
  bool ok = true;
  std::string error;  // UTF-8 text for the user
};

// Lines of Ferrox.ini; an absent file gives none. A file that exists but
// cannot be read gives none and an error.
std::vector<std::string> ReadProfileFile(const std::filesystem::path& folder,
                                         FileOutcome* outcome = nullptr);
// Replaces Ferrox.ini with `lines`, readable by its owner only.
FileOutcome WriteProfileFile(const std::filesystem::path& folder,
                             const std::vector<std::string>& lines);

// The folder named by the first line of LastDir.ini, as a UTF-8 local path;
// nullopt when the file is absent or its line cannot be a local name.
std::optional<std::string> ReadLastDir(const std::filesystem::path& folder);
// Stores a UTF-8 local path. A path Shift-JIS cannot spell is not written
// (the previous file stays) and reported.
FileOutcome WriteLastDir(const std::filesystem::path& folder, const std::string& local_path);

}  // namespace hemlo::transfer
