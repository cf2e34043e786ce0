#include "shell/history.h"

#include <algorithm>

#include "base/atomic_file.h"
#include "text/cp932.h"

namespace hemlo {

bool History::Representable(const std::string& path) { return text::Utf8ToCp932(path).has_value(); }

bool History::Add(const std::string& path) {
  if (!Representable(path)) return false;
  for (const auto& slot : slots_)
    if (slot == path) return true;
  for (int i = kSlots - 1; i > 0; --i)
    slots_[static_cast<std::size_t>(i)] = slots_[static_cast<std::size_t>(i - 1)];
  slots_[0] = path;
  return true;
}

bool History::Promote(const std::string& path) {
  if (!Representable(path)) return false;
  auto at = std::find(slots_.begin(), slots_.end(), path);
  if (at == slots_.end()) at = slots_.end() - 1;  // the oldest drops out
  std::rotate(slots_.begin(), at, at + 1);
  *slots_.begin() = path;
  return true;
}

void History::Load(const std::filesystem::path& file) {
  slots_ = {};
  std::string bytes;
  if (!ReadWholeFile(file, bytes)) return;
  std::size_t pos = 0;
  for (int i = 0; i < kSlots; ++i) {
    if (pos >= bytes.size() && i > 0) break;
    std::size_t end = bytes.find_first_of("\r\n", pos);
    std::string line = bytes.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    auto utf8 = text::Cp932ToUtf8(line);
    slots_[static_cast<std::size_t>(i)] = utf8 ? *utf8 : std::string();
    if (end == std::string::npos) break;
    // A line ends at CRLF, CR or LF.
    pos = end + ((bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ? 2 : 1);
  }
}

WriteResult History::Save(const std::filesystem::path& file) const {
  std::string out;
  for (const auto& slot : slots_) {
    auto sjis = text::Utf8ToCp932(slot);
    if (sjis) out += *sjis;
    out += "\r\n";
  }
  return WriteFileAtomically(file, out);
}

}  // namespace hemlo
