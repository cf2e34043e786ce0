#pragma once
// How a UTF-8 document looks to the editing commands.
//
// Every command (fragments, transforms, find and replace, jumps, the caret
// status) works on CP932 bytes with CRLF breaks. A UTF-8 document shows them
// the same bytes a Shift-JIS page with the same characters would have, so
// each command gives the same result on both. A character CP932 lacks (emoji,
// a raw byte that could be misread) appears as a 4-byte code of its own:
// 0xEF t1 L t2, with L one of the lead bytes CP932 leaves unassigned (0x85,
// 0x86, 0xEB, 0xEC) and 0xEF unassigned too. Commands treat such a code as two
// double-byte characters they never change; the document's ViewCodes maps it
// back. Offsets a command computes in this view are the "byte offsets" of a
// UTF-8 document.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::text {

// Key of a raw byte b of a UTF-8 document in a ViewCodes table.
inline constexpr char32_t kRawKeyBase = 0x110000;

// Every ViewCodes shares one table for the whole program (used from the UI
// thread only): a character has the same code in every document and in text
// encoded apart from any document (a search text, a builder field), so view
// bytes carry over between them. A code, once given, is never given to
// another character: view bytes anywhere (a search text, the clipboard, an
// undo step) may still hold it.
class ViewCodes {
 public:
  static constexpr std::size_t kCodeBytes = 4;
  // Codes there are room for; the raw bytes hold theirs from the start.
  static const std::size_t kCapacity;
  // Gives a code to every character of `text` that needs one (`genuine` as
  // in EncodeView), all or none: text whose characters cannot all have a
  // code once the table is full is refused. Returns the index of the first
  // unit that found no room, npos when all have a code. Text bound for a
  // UTF-8 document is admitted here before it enters one.
  std::size_t Admit(std::u16string_view text, const std::vector<std::size_t>& genuine = {});
  // Appends the code of `key` (a code point, or kRawKeyBase + byte),
  // assigning the next free one on first use. Keys are admitted first; one
  // that was not and finds the table full gets the code of U+FFFD.
  void Append(std::string& out, char32_t key);
  // The key of the code at p (kCodeBytes readable), or 0 when none.
  char32_t Lookup(const unsigned char* p) const;
  std::size_t size() const;
};

// "扱える文字の種類が上限に達したため、この文字は使えません（𠀀）": the
// message for text refused by ViewCodes::Admit, naming the unit at `at`.
std::string CodeTableFullMessage(std::u16string_view text, std::size_t at);

// The view length of every unit of one line (no line breaks in it): 1 or 2
// for a character CP932 has, 4 for a coded one (the high half of a pair
// carries the 4, the low half 0). `genuine` flags the units that are genuine
// U+F780-U+F7FF characters (null: none); `codes`, when not null, the
// non-preferred code each unit carries (0: none).
void ViewUnitLengths(std::u16string_view line, const std::vector<bool>* genuine,
                     std::vector<std::uint8_t>& out);

// View bytes of `text`: `separator` units become CRLF. `genuine` and
// `alternates` are sorted UTF-16 indices (alternates with their codes, as in
// the CP932 codec).
std::string EncodeView(std::u16string_view text, char16_t separator,
                       const std::vector<std::size_t>& genuine,
                       const std::vector<std::size_t>& alternates,
                       const std::vector<std::uint16_t>& alternate_codes, ViewCodes& codes);

// The reverse, every CR, LF and CRLF becoming one u'\n'.
struct ViewText {
  std::u16string text;
  std::vector<std::size_t> genuine;
  std::vector<std::size_t> alternates;
  std::vector<std::uint16_t> alternate_codes;
};
ViewText DecodeView(std::string_view view, const ViewCodes& codes);

// Start of the view character holding `offset` (clamped to the end; between
// CR and LF: the CR), for view bytes of a UTF-8 document.
std::size_t ClampViewOffset(std::string_view view, const ViewCodes& codes, std::size_t offset);

// UTF-8 text (any bytes; invalid ones kept as raw bytes) as the command view
// of a UTF-8 document, line breaks as CRLF.
std::string Utf8ToView(std::string_view utf8);

// The first character of `view` that has a code rather than CP932 bytes, as
// UTF-8 (a raw byte as "0xNN"); empty when there is none. View bytes without
// one are plain Shift-JIS.
std::string FirstCodedCharacter(std::string_view view);

}  // namespace hemlo::text

namespace hemlo::text {

// Why `text` (UTF-16 of a UTF-8 document, with its genuine U+F780-U+F7FF
// indices) cannot become Shift-JIS: a Japanese message naming the first
// character or raw byte CP932 cannot hold; empty when it can.
std::string ShiftJisRefusal(std::u16string_view text, const std::vector<std::size_t>& genuine);

// Why the bytes of a Shift-JIS document cannot become UTF-8: a Japanese
// message naming the first byte that is no CP932 character (written as it is,
// it would make the file invalid UTF-8, which then reads back as Shift-JIS);
// empty when there is none.
std::string Utf8Refusal(std::string_view sjis);

}  // namespace hemlo::text
