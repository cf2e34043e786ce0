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

}  // namespace hemlo::text
