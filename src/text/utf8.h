#pragma once
// A lossless UTF-8 codec for documents: any byte string decodes to UTF-16
// that encodes back to the identical bytes.
//
// Bytes that do not form a valid UTF-8 sequence (strictly: no overlongs, no
// surrogates, nothing past U+10FFFF) decode one by one to the raw-byte code
// points kRawByteBase + b, as in the CP932 codec. A genuine character in
// U+F780-U+F7FF read from valid UTF-8 is reported in `genuine`, so that it
// encodes back as that character and not as a raw byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::text {

// True for the UTF-16 units that stand for a raw byte of a UTF-8 document.
inline bool IsUtf8RawUnit(char16_t u) { return u >= 0xF780 && u <= 0xF7FF; }

// Decodes into `out` (room for bytes.size() units), every CR, LF and CRLF
// becoming one u'\n'; returns the units written. `genuine` (may be null)
// receives the indices into `out` of genuine U+F780-U+F7FF characters.
std::size_t DecodeUtf8Lines(std::string_view bytes, char16_t* out,
                            std::vector<std::size_t>* genuine);

// The reverse: every `separator` unit becomes CRLF; raw-byte units become
// their byte unless their index is in `genuine` (sorted ascending).
std::string EncodeUtf8Lines(std::u16string_view text, char16_t separator,
                            const std::vector<std::size_t>& genuine = {});

// Strict UTF-8 (as above). `multibyte` (may be null) is set when at least one
// sequence is longer than one byte.
bool IsValidUtf8(std::string_view bytes, bool* multibyte = nullptr);

// Length of the strict UTF-8 sequence that starts at bytes[i] (i < size), its
// code point in `cp`; 0 when none starts there. The one reader of UTF-8 every
// codec and check shares.
inline std::size_t Utf8SequenceAt(std::string_view bytes, std::size_t i, char32_t& cp) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned b = at(i);
  if (b < 0x80) {
    cp = b;
    return 1;
  }
  std::size_t len = 0;
  char32_t min = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2, cp = b & 0x1F, min = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3, cp = b & 0x0F, min = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4, cp = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (bytes.size() - i < len) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    if ((at(i + k) & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (at(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

// Appends the UTF-8 form of the code point `cp`.
inline void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | cp >> 6));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | cp >> 12));
    out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | cp >> 18));
    out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace hemlo::text
