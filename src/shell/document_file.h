#pragma once
// Page files: read with every lone CR, lone LF and CRLF turned into CRLF, written byte for
// byte through a temporary file so a failed save leaves the old file intact.
#include <filesystem>
#include <string>
#include <string_view>

#include "base/file_result.h"
#include "base/version_store.h"
#include "text/document_encoding.h"
#include "text/edit_pane.h"

namespace hemlo {

FileResult ReadDocument(const std::filesystem::path& path, std::string& bytes);

// Opens page bytes (as ReadDocument gives them) in the encoding their content
// decides, and returns what the detector found (for the status panel).
// `refusal` gets the pane's message when it could not take the page (then
// nothing was loaded).
text::EncodingGuess LoadIntoPane(text::EditPane& pane, std::string_view bytes,
                                 std::string& refusal);
// Before the write, the file's present bytes go into the program's version
// store; `kept` (when given) says whether they could. The write never waits
// on the store.
FileResult WriteDocument(const std::filesystem::path& path, std::string_view bytes,
                         VersionResult* kept = nullptr);

}  // namespace hemlo
