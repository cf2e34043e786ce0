#pragma once
// Code page 932 (Windows Shift-JIS): lead-byte test, character iteration and a
// lossless codec to and from UTF-16.
//
// Lossless means: every byte string, valid CP932 or not, decodes to UTF-16
// that encodes back to the identical bytes. Bytes that do not form a CP932
// character decode to private-use code points reserved for raw bytes.
// Characters with two CP932 codes (NEC row 13 / NEC-selected IBM duplicates)
// decode to the same Unicode character as their preferred twin; their UTF-16
// index is reported in Decoded::alternates so an editor can keep the original
// code when it encodes the text again.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::text {

// True for bytes that open a double-byte character (0x81-0x9F, 0xE0-0xFC).
bool IsLeadByte(unsigned char b);

// Length in bytes (1 or 2) of the character that starts at byte i of s.
// A lead byte at the very end counts 1.
std::size_t CharLength(std::string_view s, std::size_t i);

// Start offset of the character that contains byte offset i, scanning from
// the start of s (so a trail byte is never taken for a lead byte).
std::size_t CharStart(std::string_view s, std::size_t i);

// First private-use code point of the raw-byte range: byte b that is not part
// of a valid character decodes to kRawByteBase + b.
inline constexpr char16_t kRawByteBase = 0xF700;

// True for the raw-byte code points that Decode can produce: kRawByteBase + b
// for the bytes b that can stand outside a character (0x80-0xA0, 0xE0-0xFF).
bool IsRawByteCodePoint(char32_t cp);

struct Decoded {
  std::u16string text;
  // UTF-16 indices of characters whose bytes were the non-preferred code of
  // a character with two codes.
  std::vector<std::size_t> alternates;
  // The code each of those characters had (parallel to `alternates`). Needed
  // for the two characters with three codes (U+2235 and U+FFE2).
  std::vector<std::uint16_t> alternate_codes;
};

Decoded Decode(std::string_view bytes);

// Encodes UTF-16 text. Characters at the indices in `alternates` (sorted
// ascending) take their non-preferred code when they have one. Returns
// nullopt when a character cannot be represented (use CanEncode to find it).
// A character with three codes takes its lowest non-preferred code.
std::optional<std::string> Encode(std::u16string_view text,
                                  const std::vector<std::size_t>& alternates = {});
// Same, with the exact code for each alternate (parallel to `alternates`, as in
// Decoded). A code that is not a code of the character is ignored (the
// preferred code is used), so stale indices never produce other characters.
std::optional<std::string> Encode(std::u16string_view text,
                                  const std::vector<std::size_t>& alternates,
                                  const std::vector<std::uint16_t>& alternate_codes);

// CP932 code of one UTF-16 unit: its preferred code (a byte value below 0x100
// for single-byte characters and raw bytes, else lead << 8 | trail), or -1
// when it has none (also for surrogates).
int PreferredCode(char16_t unit);
// The UTF-16 unit a code decodes to (single byte or double byte), or 0 when it
// does not decode to one character (also for 0x00 itself: test it apart).
char16_t DecodeCode(std::uint16_t code);
// True when `code` decodes to a character whose preferred code is another one.
bool IsNonPreferredCode(std::uint16_t code);

// True when the Unicode code point has a CP932 code (or is a raw-byte code point).
bool CanEncode(char32_t cp);

// The character CP932 holds in place of one it has only as a near twin, the
// way Windows and glibc encode them: U+301C WAVE DASH -> U+FF5E, U+2212 ->
// U+FF0D, U+2014 -> U+2015, U+2016 -> U+2225, U+00A2/U+00A3/U+00AC ->
// U+FFE0/U+FFE1/U+FFE2, U+00A5 -> U+005C, U+203E -> U+007E. Any other unit
// comes back unchanged. Editors apply it to typed and pasted text.
char16_t ToCp932Twin(char16_t unit);

// Bytes of one character in CP932 (preferred code); empty when none.
// Used to count byte offsets without encoding whole strings.
int EncodedLength(char16_t unit);

// For editors that separate lines by one character (Qt): decodes like Decode,
// but every CR, LF and CRLF becomes one u'\n'. `out` needs room for
// bytes.size() units; returns the units written. Alternates are reported as in
// Decoded, as indices into `out` (either vector may be null). When
// `line_bytes` is not null, it receives the byte length of every line of the
// CRLF-normalised text, its line break excluded (so at least one entry), and
// `line_units` (when not null) the number of UTF-16 units of every line.
std::size_t DecodeLines(std::string_view bytes, char16_t* out, std::vector<std::size_t>* alternates,
                        std::vector<std::uint16_t>* alternate_codes,
                        std::vector<std::uint32_t>* line_bytes,
                        std::vector<std::uint32_t>* line_units = nullptr);

// The reverse for editors: every `separator` unit (u'\n' or U+2029) becomes
// CRLF. Units with no CP932 code are skipped (EncodedLength counts them 0), so
// byte offsets computed with EncodedLength always match the result.
// `alternate_codes` is parallel to `alternates`, as in Encode.
std::string EncodeLines(std::u16string_view text, char16_t separator,
                        const std::vector<std::size_t>& alternates = {},
                        const std::vector<std::uint16_t>& alternate_codes = {});

// Conversions at the file-system boundary: UTF-8 (local names) <-> CP932.
// nullopt when the text has no exact counterpart: invalid UTF-8, characters
// CP932 lacks, and bytes that are not CP932 characters (no raw-byte code
// points cross this boundary). Non-preferred codes come back preferred.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);

// CP932 bytes of a UTF-8 literal known to be representable (program texts and
// fragments). Aborts on a programming error.
std::string Sjis(std::string_view utf8_literal);

}  // namespace hemlo::text
