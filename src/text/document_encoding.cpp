#include "text/document_encoding.h"

#include <algorithm>
#include <cctype>

#include "base/ascii_case.h"
#include "text/cp932.h"
#include "text/utf8.h"

namespace hemlo::text {

namespace {

constexpr std::size_t kDeclarationWindow = 1024;

std::optional<Encoding> EncodingOfName(std::string_view name) {
  const std::string n = AsciiLowered(std::string(name));
  if (n == "utf-8" || n == "utf8") return Encoding::kUtf8;
  if (n == "shift_jis" || n == "shift-jis" || n == "sjis" || n == "x-sjis" || n == "windows-31j" ||
      n == "cp932" || n == "ms_kanji" || n == "csshiftjis" || n == "ms932")
    return Encoding::kShiftJis;
  return std::nullopt;
}

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' ||
         c == ':';
}

}  // namespace

std::optional<CharsetDeclaration> FindCharsetDeclaration(std::string_view bytes) {
  const std::string_view head = bytes.substr(0, std::min(bytes.size(), kDeclarationWindow));
  static constexpr std::string_view kWord = "charset";
  for (std::size_t i = 0; i + kWord.size() <= head.size(); ++i) {
    bool match = true;
    for (std::size_t k = 0; k < kWord.size() && match; ++k)
      match = AsciiLower(head[i + k]) == kWord[k];
    if (!match) continue;
    std::size_t j = i + kWord.size();
    auto skip_space = [&] {
      while (j < head.size() &&
             (head[j] == ' ' || head[j] == '\t' || head[j] == '\r' || head[j] == '\n'))
        ++j;
    };
    skip_space();
    if (j < head.size() && head[j] == '=') ++j;
    skip_space();
    if (j < head.size() && (head[j] == '"' || head[j] == '\'')) ++j;
    std::size_t end = j;
    while (end < head.size() && IsNameChar(head[end])) ++end;
    if (end == j) continue;
    return CharsetDeclaration{j, end - j, EncodingOfName(head.substr(j, end - j))};
  }
  return std::nullopt;
}

bool IsValidIn(std::string_view bytes, Encoding encoding) {
  if (encoding == Encoding::kUtf8) return IsValidUtf8(bytes);
  std::u16string units(bytes.size(), u'\0');
  const std::size_t n = DecodeLines(bytes, units.data(), nullptr, nullptr, nullptr);
  for (std::size_t i = 0; i < n; ++i)
    if (IsRawByteCodePoint(units[i])) return false;
  return true;
}

EncodingGuess DetectEncoding(std::string_view bytes) {
  EncodingGuess g;
  const auto declared = FindCharsetDeclaration(bytes);
  const std::optional<Encoding> named = declared ? declared->encoding : std::nullopt;
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    g.encoding = Encoding::kUtf8;
    g.bom = true;
    g.declaration_disagrees =
        (named && *named != Encoding::kUtf8) || !IsValidUtf8(bytes.substr(kUtf8Bom.size()));
    return g;
  }
  if (named) {
    g.encoding = *named;
    g.declaration_disagrees = !IsValidIn(bytes, *named);
    return g;
  }
  bool multibyte = false;
  if (IsValidUtf8(bytes, &multibyte) && multibyte) g.encoding = Encoding::kUtf8;
  return g;
}

std::string RenameDeclaredCharset(std::string_view bytes, Encoding encoding) {
  std::string out(bytes);
  if (const auto d = FindCharsetDeclaration(bytes))
    out.replace(d->offset, d->length, encoding == Encoding::kUtf8 ? "UTF-8" : "Shift_JIS");
  return out;
}

std::string EncodingLabel(Encoding encoding, bool bom, bool declaration_disagrees) {
  std::string label = encoding == Encoding::kUtf8 ? (bom ? "UTF-8 BOM" : "UTF-8") : "Shift-JIS";
  if (declaration_disagrees) label += "（宣言と内容が食い違っています）";
  return label;
}

}  // namespace hemlo::text
