#pragma once
// Pages that are open while their files are replaced across the site. No Qt here.
#include <filesystem>
#include <vector>

#include "site/site_host.h"
#include "site/site_replace.h"

namespace hemlo::site {

// Open pages with unsaved edits among the files the replacement would write:
// writing their files would leave the window and the file apart.
std::vector<std::filesystem::path> UnsavedOpenPages(const SearchResult& result, SiteHost& host);

// Gives every open page of the record its file's new bytes (or, for an undo,
// the old ones) as one undo step of its own, the caret kept where it was.
void RefreshOpenPages(const ReplaceRecord& record, bool undo, SiteHost& host);

// Undoes the replacement and gives the open pages among the files put back
// their old bytes (as RefreshOpenPages does).
UndoOutcome UndoReplacementInOpenPages(const ReplaceRecord& record, SiteHost& host);

// The hit's line as it reads after its replacement (UTF-8, for the preview).
std::string LineAfter(const FileHits& file, const Hit& hit);

}  // namespace hemlo::site
