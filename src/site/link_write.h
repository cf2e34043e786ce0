#pragma once
// Writing the files of a move or of its undo: all of them or none. No Qt here.
#include "base/file_result.h"
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hemlo::site {

// The file holds exactly `expected`.
bool HoldsBytes(const std::filesystem::path& path, const std::string& expected);

// "heading\nline\nline...".
std::string Listed(const char* heading, const std::vector<std::string>& lines);

// Writes every file (each atomically) or, on a failure, none: those already
// written get `previous` back; the ones that could not are named in the
// result's message.
// What each file held is kept in the version store first, as `writer`; when
// the store cannot keep it, `version_notice` says why (the write goes on).
FileResult WriteAllOrNone(
    const std::vector<std::pair<std::filesystem::path, const std::string*>>& writes,
    const std::vector<const std::string*>& previous, std::string_view writer,
    std::string* version_notice = nullptr);

}  // namespace hemlo::site
