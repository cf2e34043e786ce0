#pragma once
// The files of one page's store folder: its index (a heading, the page's
// path, one row a version, oldest first) and the writes and flushes the
// store makes of them.
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/atomic_file.h"
#include "base/version_store.h"

namespace hemlo::version_files {

inline constexpr const char* kIndexName = "index";

VersionResult Failed(const std::string& what);

// The store's own files go through a temporary name and a rename, so none is
// ever half there; they are flushed together at the end of a fold, on the
// worker (Keep, which nothing on a save's path calls, does not flush), and a
// version torn by a crash fails its hash check.
WriteResult WriteQuickly(const std::filesystem::path& target, std::string_view bytes);
void Flush(const std::filesystem::path& path);
// Before what was set aside goes, what it was folded into must be on the
// disk: the folder's files (an unchanged one costs nothing) and names.
void FlushFolder(const std::filesystem::path& dir);

// What an append to the index needs to know of it.
struct IndexShape {
  bool sound = false;        // its heading read
  bool ends_in_line = true;  // false after a row torn by a crash
};

// Oldest first.
std::vector<StoredVersion> ReadIndex(const std::filesystem::path& dir, IndexShape* shape = nullptr);
WriteResult WriteIndex(const std::filesystem::path& dir, const std::filesystem::path& page,
                       const std::vector<StoredVersion>& entries);
// A new version is one row more: appended, not the index written anew, as
// every new file costs the file system an inode (slow to find on ext4 soon
// after many were freed). A row torn by a crash is skipped by the reader;
// the next starts on a line of its own.
WriteResult AppendIndexRow(const std::filesystem::path& dir, const IndexShape& shape,
                           const StoredVersion& v);
// The page's path as the index names it.
std::string PageLine(const std::filesystem::path& dir);

// What was set aside and already folded in, waiting only for its flush to
// be removed, is not counted twice (once as itself, once folded in).
std::uint64_t FolderBytes(const std::filesystem::path& dir,
                          const std::set<std::filesystem::path>& folded);

}  // namespace hemlo::version_files
