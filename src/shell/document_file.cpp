#include "shell/document_file.h"

#include <future>
#include <system_error>

#include "base/atomic_file.h"
#include "text/byte_text.h"

namespace hemlo {

bool ReadDocument(const std::filesystem::path& path, std::string& bytes, std::string& error) {
  std::string raw;
  if (!ReadWholeFile(path, raw, &error)) return false;
  bytes = text::NormalizeLineBreaks(raw);
  return true;
}

text::EncodingGuess LoadIntoPane(text::EditPane& pane, std::string_view bytes,
                                 std::string& refusal) {
  const text::EncodingGuess guess = text::DetectEncoding(bytes);
  refusal = pane.LoadDocument(bytes, guess.encoding);
  return guess;
}

bool WriteDocument(const std::filesystem::path& path, std::string_view bytes, std::string& error,
                   VersionResult* kept) {
  // The rename would replace it regardless; the protection is the user's word.
  if (IsWriteProtected(path)) {
    error = "読み取り専用のファイルです。書き込みを許可してから保存してください。";
    return false;
  }
  // The old bytes go into the version store while the new ones are written
  // and flushed: the store's work is mostly hashing and copying, the write
  // mostly waiting for the disk.
  std::string old, unread;
  std::error_code ec;
  const bool existed = std::filesystem::is_regular_file(path, ec);
  const bool read = existed && ReadWholeFile(path, old, &unread);
  auto keep = [&] {
    if (!existed) return VersionResult{};
    if (!read) return VersionResult{false, "以前の版を残せませんでした（" + unread + "）"};
    return KeepBeforeWrite(path, old, "上書き保存");
  };
  std::future<VersionResult> keeping;
  try {
    keeping = std::async(std::launch::async, keep);
  } catch (const std::system_error&) {  // no thread to be had: one after the other
  }
  WriteResult r = WriteFileAtomically(path, bytes);
  const VersionResult stored = keeping.valid() ? keeping.get() : keep();
  if (kept) *kept = stored;
  if (!r) error = r.error;
  return r.ok;
}

}  // namespace hemlo
