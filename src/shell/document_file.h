#pragma once
// Page files: read with every line break turned into CRLF, written byte for
// byte through a temporary file so a failed save leaves the old file intact.
#include <filesystem>
#include <string>
#include <string_view>

namespace hemlo {

// Lone CR, lone LF and CRLF all become CRLF.
std::string NormalizeLineBreaks(std::string_view bytes);

bool ReadDocument(const std::filesystem::path& path, std::string& bytes, std::string& error);
bool WriteDocument(const std::filesystem::path& path, std::string_view bytes, std::string& error);

}  // namespace hemlo
