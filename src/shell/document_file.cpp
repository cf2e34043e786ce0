#include "shell/document_file.h"

#include "base/atomic_file.h"
#include "text/byte_text.h"

namespace hemlo {

bool ReadDocument(const std::filesystem::path& path, std::string& bytes, std::string& error) {
  std::string raw;
  if (FileResult read = ReadWholeFile(path, raw); !read) {
    error = std::move(read.message);
    return false;
  }
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
  // The old file is set aside in the version store (a hard link, as a rule)
  // before the rename replaces it; the store's real work comes after.
  const VersionResult stored = KeepBeforeWrite(path, "上書き保存");
  WriteResult r = WriteFileAtomically(path, bytes);
  if (kept) *kept = stored;
  if (!r) error = r.error;
  return r.ok;
}

}  // namespace hemlo
