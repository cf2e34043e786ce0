#include "shell/document_file.h"

#include "base/atomic_file.h"

namespace hemlo {

std::string NormalizeLineBreaks(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 32);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

bool ReadDocument(const std::filesystem::path& path, std::string& bytes, std::string& error) {
  std::string raw;
  if (!ReadWholeFile(path, raw, &error)) return false;
  bytes = NormalizeLineBreaks(raw);
  return true;
}

bool WriteDocument(const std::filesystem::path& path, std::string_view bytes, std::string& error) {
  WriteResult r = WriteFileAtomically(path, bytes);
  if (!r) error = r.error;
  return r.ok;
}

}  // namespace hemlo
