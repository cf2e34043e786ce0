#pragma once
// Text transforms of the edit menu: comment, tag removal and half-width kana
// to full-width kana. Pure functions over Shift-JIS (CP932) bytes.
#include <array>
#include <string>
#include <string_view>

namespace hemlo::authoring {

// Bytes 0xA1-0xDF standing as characters of their own (JIS X 0201 katakana).
bool IsHalfWidthKana(unsigned char b);
// ｶ-ﾄ, ﾊ-ﾎ and ｳ take the voiced sound mark ﾞ.
bool TakesVoicedMark(unsigned char b);
// ﾊ-ﾎ take the semi-voiced sound mark ﾟ.
bool TakesSemiVoicedMark(unsigned char b);

// Full-width (lead, trail) of half-width byte 0xA1 + i, for i in 0..62.
using KanaPair = std::array<unsigned char, 2>;
extern const std::array<KanaPair, 63> FullWidthKanaTable;

// Converts half-width katakana to full-width, joining a kana with a following
// ﾞ or ﾟ where the full-width set has the combined character. Double-byte
// characters are never split, whatever their second byte.
std::string KanaToFullWidth(std::string_view sjis);

// "<!--" + sel + "-->" + CRLF.
std::string CommentFragment(std::string_view sel);

// Removes every "<...>" tag. A "<" with no ">" after it is not a tag: the text
// from it on is kept as it stands, so nothing the user selected is lost.
std::string DeleteTags(std::string_view sel);

}  // namespace hemlo::authoring
