#pragma once
// Page files: read with every lone CR, lone LF and CRLF turned into CRLF, written byte for
// byte through a temporary file so a failed save leaves the old file intact.
#include <filesystem>
#include <string>
#include <string_view>

namespace hemlo {

bool ReadDocument(const std::filesystem::path& path, std::string& bytes, std::string& error);
bool WriteDocument(const std::filesystem::path& path, std::string_view bytes, std::string& error);

}  // namespace hemlo
