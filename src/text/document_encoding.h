#pragma once
// The encoding of a page: Shift-JIS (CP932) or UTF-8, decided from its bytes.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace hemlo::text {

enum class Encoding { kShiftJis, kUtf8 };

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// A charset named in the first 1024 bytes (<meta charset=...>, the content of
// an http-equiv meta, or a style sheet's @charset).
struct CharsetDeclaration {
  std::size_t offset = 0;  // of the name
  std::size_t length = 0;
  std::optional<Encoding> encoding;  // nullopt: a charset we do not read
};
std::optional<CharsetDeclaration> FindCharsetDeclaration(std::string_view bytes);

struct EncodingGuess {
  Encoding encoding = Encoding::kShiftJis;
  bool bom = false;
  // A known charset is declared, and the bytes are not valid in it (or the
  // byte-order mark says otherwise).
  bool declaration_disagrees = false;
};
// A UTF-8 byte-order mark, else a declared charset, else valid UTF-8 with at
// least one multi-byte sequence mean UTF-8; anything else is Shift-JIS.
EncodingGuess DetectEncoding(std::string_view bytes);

// True when every byte is part of a character of the encoding.
bool IsValidIn(std::string_view bytes, Encoding encoding);

// `bytes` with its declared charset (if any) renamed for `encoding`.
std::string RenameDeclaredCharset(std::string_view bytes, Encoding encoding);

// The status panel text: "Shift-JIS" or "UTF-8" (with " BOM"), and a warning
// when the declaration and the content disagree.
std::string EncodingLabel(Encoding encoding, bool bom, bool declaration_disagrees);

}  // namespace hemlo::text
