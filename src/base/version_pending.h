#pragma once
// Versions set aside by a save and not yet folded in, one file each in the
// page's store folder:
// "pending.<time>.<sequence>.<size or L>.<writer in hex>", the bytes as they
// are. "L" marks a hard link to the replaced file (whole by nature); a copy
// names its size, so one torn by a crash is known.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::version_files {

inline constexpr std::string_view kPendingPrefix = "pending.";

struct Pending {
  std::filesystem::path path;
  std::int64_t time = 0;
  bool linked = false;
  std::uint64_t size = 0;
  std::string writer;
};

std::string PendingName(std::int64_t time, unsigned sequence, std::string_view size,
                        std::string_view writer);
// nullopt for any other file of the folder.
std::optional<Pending> ParsePending(const std::filesystem::path& path);
// Oldest first (the names sort by time, then by sequence).
std::vector<Pending> PendingIn(const std::filesystem::path& dir);
// Its bytes; false when it cannot be read or a copy was torn.
bool PendingBytes(const Pending& p, std::string& bytes);

}  // namespace hemlo::version_files
