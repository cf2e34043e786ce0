#include "shell/document_file.h"

#include "base/atomic_file.h"
#include "text/byte_text.h"

namespace hemlo {

FileResult ReadDocument(const std::filesystem::path& path, std::string& bytes) {
  std::string raw;
  if (FileResult read = ReadWholeFile(path, raw); !read) return read;
  bytes = text::NormalizeLineBreaks(raw);
  return {};
}

text::EncodingGuess LoadIntoPane(text::EditPane& pane, std::string_view bytes,
                                 std::string& refusal) {
  const text::EncodingGuess guess = text::DetectEncoding(bytes);
  refusal = pane.LoadDocument(bytes, guess.encoding);
  return guess;
}

FileResult WriteDocument(const std::filesystem::path& path, std::string_view bytes,
                         VersionResult* kept) {
  // The rename would replace it regardless; the protection is the user's word.
  if (IsWriteProtected(path))
    return FileFailed("読み取り専用のファイルです。書き込みを許可してから保存してください。");
  // The old file is set aside in the version store (a hard link, as a rule)
  // before the rename replaces it; the store's real work comes after.
  const VersionFoldHold hold;  // the new page before the fold
  const VersionResult stored = KeepBeforeWrite(path, "上書き保存");
  WriteResult r = WriteFileAtomically(path, bytes);
  if (kept) *kept = stored;
  if (!r) return FileFailed(r.error);
  return {};
}

}  // namespace hemlo
