#pragma once
// Many whole-file writes that change together, each as safe as
// WriteFileAtomically: every new file written beside its target, then all
// flushed to disk, then renamed into place, each folder's new names flushed
// once. Creating a file and the rename both wait on the file system per
// file, so several files are worked on at once.
#include <cstddef>
#include <filesystem>
#include <string_view>
#include <vector>

#include "base/atomic_file.h"

namespace hemlo {

struct BatchFailure {
  std::size_t index = 0;  // of the first file that failed
  WriteResult result;
  explicit operator bool() const { return !result.ok; }
};

// Stages bytes[i] for targets[i], in files taken from `spares` while it has
// any. On a failure nothing stays staged and the targets are untouched.
BatchFailure StageFiles(const std::vector<std::filesystem::path>& targets,
                        const std::vector<std::string_view>& bytes,
                        std::vector<StagedFile>& staged, SpareFiles* spares = nullptr);

// Renames every staged file into place. After a failure the files not yet
// renamed are abandoned; `renamed[i]` says which took their place (the caller
// puts those back).
BatchFailure CommitStagedFiles(const std::vector<StagedFile>& staged, std::vector<bool>& renamed);

}  // namespace hemlo
