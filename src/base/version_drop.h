#pragma once
// Dropping old versions: by the page's kept count and age, and the objects
// no kept version needs any more.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "base/version_store.h"

namespace hemlo::version_files {

// Drops what neither rule keeps: beyond the newest kept count and older than
// the kept age. True when it dropped any.
bool Prune(std::vector<StoredVersion>& entries, std::int64_t now);
// Removes objects no kept version needs, directly or as the base of one.
void CollectGarbage(const std::filesystem::path& dir, const std::vector<StoredVersion>& entries);

}  // namespace hemlo::version_files
