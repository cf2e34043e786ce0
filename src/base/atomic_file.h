#pragma once
// Whole-file replacement that never leaves a half-written file behind: the
// bytes go to a temporary file in the target's folder, are flushed to disk
// and renamed over the target. On failure the previous file is untouched.
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>

#include "base/file_result.h"
#include "base/spare_files.h"

namespace hemlo {

struct WriteResult {
  bool ok = true;
  std::string error;  // strerror text when !ok
  int code = 0;       // errno when !ok
  explicit operator bool() const { return ok; }
};

// `mode` applies to a new file; an existing target keeps its permissions and,
// where the process may set them, its owner and group, unless `force_mode` is
// set (files holding passwords). A symbolic link is followed: its final
// target is replaced and the link stays.
WriteResult WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                                mode_t mode = 0644, bool force_mode = false);

// The same write in two steps, for changing several files together: Stage
// puts the bytes, flushed, in a temporary file beside the target (the step
// that needs room on the disk and may fail), Commit renames it into place,
// Abandon removes it. The target is untouched until Commit.
struct StagedFile {
  std::filesystem::path target;  // the final target, links followed
  std::string temporary;
};
WriteResult StageFile(const std::filesystem::path& target, std::string_view bytes,
                      StagedFile& staged, mode_t mode = 0644, bool force_mode = false);
WriteResult CommitStaged(const StagedFile& staged);
// For many files: Stage without waiting for the disk (the writing is started),
// then FlushStaged each once all are written, so the disk takes them together.
// The temporary is one of `spares` where one is to be had.
WriteResult StageFileUnflushed(const std::filesystem::path& target, std::string_view bytes,
                               StagedFile& staged, SpareFiles* spares = nullptr);
WriteResult FlushStaged(const StagedFile& staged);
// For many files: the rename alone; the caller then makes each folder's new
// names durable once with SyncFolderOf (one flush per folder, not per file).
WriteResult CommitStagedUnsynced(const StagedFile& staged);
void SyncFolderOf(const std::filesystem::path& file);
void AbandonStaged(const StagedFile& staged);

// True when the file exists and its permissions forbid this process to write
// it (for root: no write bit at all), so a save must not replace it.
bool IsWriteProtected(const std::filesystem::path& path);

// Creates `target` with `bytes`, complete or not at all, and never over an
// existing file: fails with code EEXIST when the name is taken.
WriteResult CreateFileExclusively(const std::filesystem::path& target, std::string_view bytes,
                                  mode_t mode);

// The path a write to `path` lands on: symbolic links followed to their final
// target (which need not exist yet). `path` itself when it is no link.
std::filesystem::path FinalTarget(const std::filesystem::path& path);

// Reads a whole file; fails with the strerror text when it cannot be read.
FileResult ReadWholeFile(const std::filesystem::path& path, std::string& bytes);

}  // namespace hemlo
