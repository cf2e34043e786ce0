#include "authoring/transforms.h"

#include "text/cp932.h"

namespace hemlo::authoring {

const std::array<KanaPair, 63> FullWidthKanaTable = {{
    {0x81, 0x42}, {0x81, 0x75}, {0x81, 0x76}, {0x81, 0x41}, {0x81, 0x45},  // 。「」、・
    {0x83, 0x92},                                                          // ヲ
    {0x83, 0x40}, {0x83, 0x42}, {0x83, 0x44}, {0x83, 0x46}, {0x83, 0x48},  // ァィゥェォ
    {0x83, 0x83}, {0x83, 0x85}, {0x83, 0x87},                              // ャュョ
    {0x83, 0x62},                                                          // ッ
    {0x81, 0x5B},                                                          // ー
    {0x83, 0x41}, {0x83, 0x43}, {0x83, 0x45}, {0x83, 0x47}, {0x83, 0x49},  // アイウエオ
    {0x83, 0x4A}, {0x83, 0x4C}, {0x83, 0x4E}, {0x83, 0x50}, {0x83, 0x52},  // カキクケコ
    {0x83, 0x54}, {0x83, 0x56}, {0x83, 0x58}, {0x83, 0x5A}, {0x83, 0x5C},  // サシスセソ
    {0x83, 0x5E}, {0x83, 0x60}, {0x83, 0x63}, {0x83, 0x65}, {0x83, 0x67},  // タチツテト
    {0x83, 0x69}, {0x83, 0x6A}, {0x83, 0x6B}, {0x83, 0x6C}, {0x83, 0x6D},  // ナニヌネノ
    {0x83, 0x6E}, {0x83, 0x71}, {0x83, 0x74}, {0x83, 0x77}, {0x83, 0x7A},  // ハヒフヘホ
    {0x83, 0x7D}, {0x83, 0x7E}, {0x83, 0x80}, {0x83, 0x81}, {0x83, 0x82},  // マミムメモ
    {0x83, 0x84}, {0x83, 0x86}, {0x83, 0x88},                              // ヤユヨ
    {0x83, 0x89}, {0x83, 0x8A}, {0x83, 0x8B}, {0x83, 0x8C}, {0x83, 0x8D},  // ラリルレロ
    {0x83, 0x8F},                                                          // ワ
    {0x83, 0x93},                                                          // ン
    {0x81, 0x4A}, {0x81, 0x4B},                                            // ゛゜
}};

bool IsHalfWidthKana(unsigned char b) { return b >= 0xA1 && b <= 0xDF; }

bool TakesVoicedMark(unsigned char b) {
  return (b >= 0xB6 && b <= 0xC4) || (b >= 0xCA && b <= 0xCE) || b == 0xB3;
}

bool TakesSemiVoicedMark(unsigned char b) { return b >= 0xCA && b <= 0xCE; }

namespace {
// Pairs are told by the lead byte alone, assigned row or not, so a kana-range
// byte after any lead byte stays the trail it is.
bool IsLeadRange(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
}  // namespace

std::string KanaToFullWidth(std::string_view s) {
  constexpr unsigned char kVoiced = 0xDE;
  constexpr unsigned char kSemiVoiced = 0xDF;
  std::string out;
  out.reserve(s.size() * 2);
  std::size_t i = 0;
  while (i < s.size()) {
    const auto cur = static_cast<unsigned char>(s[i]);
    const std::size_t len = IsLeadRange(cur) && i + 1 < s.size() ? 2 : 1;
    if (len != 1 || !IsHalfWidthKana(cur)) {
      out.append(s.substr(i, len));
      i += len;
      continue;
    }
    const unsigned char next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
    KanaPair fw = FullWidthKanaTable[cur - 0xA1];
    bool consumed = false;
    if (next == kVoiced && TakesVoicedMark(cur)) {
      if ((fw[1] >= 0x4A && fw[1] <= 0x67) || (fw[1] >= 0x6E && fw[1] <= 0x7A)) {
        ++fw[1];
      } else if (fw[0] == 0x83 && fw[1] == 0x45) {
        fw[1] = 0x94;  // ウ -> ヴ
      }
      consumed = true;
    } else if (next == kSemiVoiced && TakesSemiVoicedMark(cur)) {
      if (fw[1] >= 0x6E && fw[1] <= 0x7A) {
        fw[1] += 2;
        consumed = true;
      }
    }
    out.push_back(static_cast<char>(fw[0]));
    out.push_back(static_cast<char>(fw[1]));
    i += consumed ? 2 : 1;
  }
  return out;
}

std::string CommentFragment(std::string_view sel) {
  std::string out = "<!--";
  out.append(sel);
  out.append("-->\r\n");
  return out;
}

std::string DeleteTags(std::string_view sel) {
  // "<" and ">" never occur as the second byte of a double-byte character,
  // so a plain byte search finds only real brackets.
  std::string result;
  std::string_view rest = sel;
  for (;;) {
    const auto open = rest.find('<');
    if (open == std::string_view::npos) break;
    const auto close = rest.find('>', open + 1);
    if (close == std::string_view::npos) break;  // no tag: keep the rest as it is
    result.append(rest.substr(0, open));
    rest.remove_prefix(close + 1);
  }
  result.append(rest);
  return result;
}

}  // namespace hemlo::authoring
