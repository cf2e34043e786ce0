// The CP932 codec: the Windows table (checked against glibc's iconv "CP932"),
// the preferred codes of duplicates, lossless round trips of any bytes, and the
// UTF-8 boundary.
#include "text/cp932.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <random>
#include <string>
#include <vector>

namespace hemlo::text {
namespace {

using Bytes = std::string;

std::string Hex(std::string_view s) {
  std::string out;
  char buf[4];
  for (unsigned char c : s) {
    std::snprintf(buf, sizeof buf, "%02X ", c);
    out += buf;
  }
  return out;
}

// Decode, then encode with the alternates: must give the bytes back.
void ExpectRoundTrip(std::string_view bytes) {
  Decoded d = Decode(bytes);
  auto back = Encode(d.text, d.alternates, d.alternate_codes);
  ASSERT_TRUE(back.has_value()) << Hex(bytes);
  ASSERT_EQ(*back, bytes) << Hex(bytes);
}

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  // Converts the whole input; nullopt on any error.
  std::optional<std::string> Convert(std::string_view in) const {
    std::string out(in.size() * 4 + 8, '\0');
    char* ip = const_cast<char*>(in.data());
    size_t il = in.size();
    char* op = out.data();
    size_t ol = out.size();
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) return std::nullopt;
    out.resize(out.size() - ol);
    return out;
  }

 private:
  iconv_t cd_;
};

std::string Utf16Le(char16_t u) { return {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)}; }

TEST(Cp932Table, EveryDoubleByteCodeDecodesAsGlibcCp932) {
  Iconv to_utf16("UTF-16LE", "CP932");
  if (!to_utf16.ok()) GTEST_SKIP() << "glibc CP932 converter not installed";
  int assigned = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
    for (int trail = 0; trail <= 0xFF; ++trail) {
      Bytes pair{static_cast<char>(lead), static_cast<char>(trail)};
      auto glibc = to_utf16.Convert(pair);
      bool glibc_pair = glibc && glibc->size() == 2;
      Decoded ours = Decode(pair);
      if (glibc_pair) {
        ++assigned;
        ASSERT_EQ(ours.text.size(), 1u) << Hex(pair);
        EXPECT_EQ(Utf16Le(ours.text[0]), *glibc) << Hex(pair);
        EXPECT_EQ(CharLength(pair, 0), 2u);
      } else {
        // Unassigned: the lead byte stands alone as a raw byte.
        ASSERT_GE(ours.text.size(), 1u);
        EXPECT_EQ(ours.text[0], kRawByteBase + lead) << Hex(pair);
        EXPECT_EQ(CharLength(pair, 0), 1u);
      }
    }
  }
  // JIS X 0208 + NEC row 13 + NEC-selected IBM + IBM + user-defined area.
  EXPECT_EQ(assigned, 9604);
}

TEST(Cp932Table, PreferredCodeIsGlibcsEncoding) {
  Iconv to_cp932("CP932", "UTF-16LE");
  Iconv to_utf16("UTF-16LE", "CP932");
  if (!to_cp932.ok() || !to_utf16.ok()) GTEST_SKIP() << "glibc CP932 converter not installed";
  int encodable = 0;
  for (char32_t u = 0; u <= 0xFFFF; ++u) {
    if (u >= 0xD800 && u < 0xE000) continue;
    auto unit = static_cast<char16_t>(u);
    auto glibc = to_cp932.Convert(Utf16Le(unit));
    // glibc also maps a few characters one way (U+00A5 -> 0x5C, U+301C ->
    // 0x8160, ...): those do not decode back, so we do not take them.
    bool exact = glibc && to_utf16.Convert(*glibc) == Utf16Le(unit);
    if (IsRawByteCodePoint(u)) {
      EXPECT_FALSE(glibc.has_value());
      continue;
    }
    int code = PreferredCode(unit);
    if (!exact) {
      EXPECT_EQ(code, -1) << std::hex << static_cast<unsigned>(u);
      if (glibc) {
        // One-way mappings: ToCp932Twin gives the character that has that code.
        std::string twin_bytes = *Encode(std::u16string(1, ToCp932Twin(unit)));
        EXPECT_EQ(twin_bytes, *glibc) << std::hex << static_cast<unsigned>(u);
      } else {
        EXPECT_EQ(ToCp932Twin(unit), unit);
      }
      EXPECT_FALSE(CanEncode(u)) << std::hex << static_cast<unsigned>(u);
      EXPECT_EQ(EncodedLength(unit), 0);
      continue;
    }
    ++encodable;
    int glibc_code = glibc->size() == 1 ? static_cast<unsigned char>((*glibc)[0])
                                        : static_cast<unsigned char>((*glibc)[0]) << 8 |
                                              static_cast<unsigned char>((*glibc)[1]);
    EXPECT_EQ(code, glibc_code) << std::hex << static_cast<unsigned>(u);
    EXPECT_TRUE(CanEncode(u));
    EXPECT_EQ(EncodedLength(unit), static_cast<int>(glibc->size()));
  }
  // 128 ASCII + 63 katakana + 9604 codes - 398 duplicates.
  EXPECT_EQ(encodable, 128 + 63 + 9604 - 398);
}

TEST(Cp932Table, WindowsSpecificMappings) {
  EXPECT_EQ(Decode("\x5C\x7E").text, u"\\~");
  Decoded kana = Decode("\xA1\xB1\xDF");
  EXPECT_EQ(kana.text, u"\uFF61\uFF71\uFF9F");
  EXPECT_EQ(Decode("\x81\x5F\x81\x60\x81\x61\x81\x7C").text, u"＼～∥－");
  EXPECT_EQ(Decode("\x81\x91\x81\x92\x81\xCA").text, u"￠￡￢");
  // NEC row 13: circled numbers, roman numerals, units, ㈱, №.
  EXPECT_EQ(Decode("\x87\x40\x87\x54\x87\x5F\x87\x8A\x87\x82").text, u"①Ⅰ㍉㈱№");
  // IBM extensions and the last IBM code.
  EXPECT_EQ(Decode("\xFA\x40\xFA\x5C\xFC\x4B").text, u"ⅰ纊黑");
  // User-defined area: 0xF040 -> U+E000, 188 per lead, 0xF9FC -> U+E757.
  EXPECT_EQ(Decode("\xF0\x40").text, u"\uE000");
  EXPECT_EQ(Decode("\xF0\x7E\xF0\x80").text, u"\uE03E\uE03F");
  EXPECT_EQ(Decode("\xF1\x40").text, u"\uE0BC");
  EXPECT_EQ(Decode("\xF9\xFC").text, u"\uE757");
  EXPECT_EQ(Encode(u"\uE000\uE757"), Bytes("\xF0\x40\xF9\xFC"));
  EXPECT_EQ(Sjis("髙﨑"), "\xFB\xFC\xFA\xB1");
}

TEST(Cp932Duplicates, PreferredCodes) {
  // NEC row 13 symbols that JIS row 2 also has: JIS row 2 wins.
  EXPECT_EQ(Sjis("∵≒≡∫√⊥∠∩∪"),
            "\x81\xE6\x81\xE0\x81\xDF\x81\xE7\x81\xE3\x81\xDB\x81\xDA\x81\xBF\x81\xBE");
  // Roman numerals, ㈱, №, ℡: NEC row 13 wins over IBM 0xFA.
  EXPECT_EQ(Sjis("ⅠⅩ㈱№℡"), "\x87\x54\x87\x5D\x87\x8A\x87\x82\x87\x84");
  // ￢: JIS row 2 wins over 0xEEF9 and 0xFA54.
  EXPECT_EQ(Sjis("￢"), "\x81\xCA");
  // NEC-selected IBM (0xED/0xEE) vs IBM (0xFA-0xFC): IBM wins.
  EXPECT_EQ(Sjis("纊ⅰ＂"), "\xFA\x5C\xFA\x40\xFA\x57");
  // ∮ is only in NEC row 13 (no duplicate).
  EXPECT_EQ(Sjis("∮"), "\x87\x93");
  EXPECT_FALSE(IsNonPreferredCode(0x8793));
  EXPECT_TRUE(IsNonPreferredCode(0x879A));
  EXPECT_TRUE(IsNonPreferredCode(0xED40));
  EXPECT_TRUE(IsNonPreferredCode(0xFA4A));
  EXPECT_FALSE(IsNonPreferredCode(0xFA40));
}

TEST(Cp932Duplicates, AlternatesAreKept) {
  const Bytes bytes =
      "a\xED\x40"
      "b\x87\x9A\xFA\x5B\x81\xE6\xEE\xF9\xFA\x54\xFA\x4A";
  Decoded d = Decode(bytes);
  EXPECT_EQ(d.text, u"a纊b∵∵∵￢￢Ⅰ");
  EXPECT_EQ(d.alternates, (std::vector<std::size_t>{1, 3, 4, 6, 7, 8}));
  EXPECT_EQ(d.alternate_codes,
            (std::vector<std::uint16_t>{0xED40, 0x879A, 0xFA5B, 0xEEF9, 0xFA54, 0xFA4A}));
  EXPECT_EQ(Encode(d.text, d.alternates, d.alternate_codes), bytes);
  // Without alternates every character takes its preferred code.
  EXPECT_EQ(Encode(d.text), Bytes("a\xFA\x5C"
                                  "b\x81\xE6\x81\xE6\x81\xE6\x81\xCA\x81\xCA\x87\x54"));
  // Indices only: the lowest non-preferred code.
  EXPECT_EQ(Encode(d.text, d.alternates),
            Bytes("a\xED\x40"
                  "b\x87\x9A\x87\x9A\x81\xE6\xEE\xF9\xEE\xF9\xFA\x4A"));
}

TEST(Cp932Duplicates, StaleAlternatesNeverChangeCharacters) {
  // An index at a character without a twin, a code of another character, a
  // preferred code given as alternate: all fall back to the preferred code.
  EXPECT_EQ(Encode(u"a∵b", {0, 1, 2}, {0xED40, 0xEEF9, 0x879A}), Bytes("a\x81\xE6"
                                                                       "b"));
  EXPECT_EQ(Encode(u"∵", {0}, {0x81E6}), Bytes("\x81\xE6"));
  EXPECT_EQ(Encode(u"∵", {5}, {0x879A}), Bytes("\x81\xE6"));
}

TEST(Cp932Invalid, RawBytesComeBack) {
  struct Case {
    Bytes bytes;
    std::u16string text;
  } cases[] = {
      {"\x80", u"\uF780"},
      {"\xA0", u"\uF7A0"},
      {"\xFD\xFE\xFF", u"\uF7FD\uF7FE\uF7FF"},
      {Bytes("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"\x82", u"\uF782"},              // lead byte at the end
      {"A\x82\xA0\x9F", u"Aあ\uF79F"},  // lead at the end after a character
      {"\x82\x0A", u"\uF782\n"},        // lead before a byte that is no trail
      {"\x82\x7F", u"\uF782\x7F"},
      {"\x85\x40", u"\uF785@"},  // unassigned row 0x85
      {"\xEB\x40", u"\uF7EB@"},  // unassigned lead 0xEB
      {"\xFC\x4C", u"\uF7FCL"},  // after the last IBM code
      {"\x81\xFD", u"\uF781\uF7FD"},
      {"\x85\x82\xA0", u"\uF785あ"},  // unassigned pair, then a character
      {"\x40\x9F\x40", u"@\u6A97"},   // a trail-range byte before a lead
      {"\x82\x82\xA0", u"ｂ\uF7A0"},  // 0x8282 is a character; 0xA0 alone is not
  };
  for (const Case& c : cases) {
    Decoded d = Decode(c.bytes);
    EXPECT_EQ(d.text, c.text) << Hex(c.bytes);
    ExpectRoundTrip(c.bytes);
  }
  EXPECT_TRUE(IsRawByteCodePoint(0xF780));
  EXPECT_TRUE(IsRawByteCodePoint(0xF7FF));
  EXPECT_FALSE(IsRawByteCodePoint(0xF741));  // 'A' is never raw
  EXPECT_FALSE(IsRawByteCodePoint(0xF7B1));  // nor half-width katakana
  EXPECT_FALSE(Encode(u"\uF741").has_value());
}

TEST(Cp932Invalid, UnencodableCharacters) {
  EXPECT_FALSE(Encode(u"😀").has_value());                          // outside the BMP
  EXPECT_FALSE(Encode(std::u16string(1, u'\xD800')).has_value());  // lone surrogate
  EXPECT_FALSE(Encode(u"é").has_value());
  EXPECT_FALSE(Encode(u"〜").has_value());  // U+301C: CP932 has only U+FF5E
  EXPECT_FALSE(Encode(u"한").has_value());
  EXPECT_FALSE(CanEncode(0x1F600));
  EXPECT_FALSE(CanEncode(0x00A0));
  EXPECT_TRUE(CanEncode(0xF7A0));  // raw byte 0xA0
  EXPECT_TRUE(CanEncode(U'あ'));
  EXPECT_EQ(EncodedLength(u'a'), 1);
  EXPECT_EQ(EncodedLength(u'ｱ'), 1);
  EXPECT_EQ(EncodedLength(u'\uF781'), 1);
  EXPECT_EQ(EncodedLength(u'あ'), 2);
  EXPECT_EQ(EncodedLength(u'\xD83D'), 0);
}

TEST(Cp932RoundTrip, RandomByteStrings) {
  std::mt19937 rng(932);
  // Mostly high bytes so lead bytes, trails and invalid pairs meet often.
  std::uniform_int_distribution<int> len(0, 40);
  for (int round = 0; round < 100000; ++round) {
    Bytes bytes(static_cast<std::size_t>(len(rng)), '\0');
    int mode = round % 3;
    for (char& c : bytes) {
      unsigned v = rng();
      c = static_cast<char>(mode == 0   ? v
                            : mode == 1 ? 0x80 | v
                                        : (v & 1 ? 0x81 + v % 0x1F : 0x40 + v % 0xC0));
    }
    ExpectRoundTrip(bytes);
    Decoded d = Decode(bytes);
    // Offsets: every character's length matches CharLength, and CharStart of
    // each byte is the start of its character.
    std::size_t pos = 0;
    for (char16_t unit : d.text) {
      std::size_t n = CharLength(bytes, pos);
      ASSERT_EQ(static_cast<int>(n), EncodedLength(unit)) << Hex(bytes);
      for (std::size_t k = pos; k < pos + n; ++k)
        ASSERT_EQ(CharStart(bytes, k), pos) << Hex(bytes) << k;
      pos += n;
    }
    ASSERT_EQ(pos, bytes.size());
  }
}

TEST(Cp932RoundTrip, AllCodesInOneText) {
  Bytes all;
  for (int b = 0; b < 0x100; ++b) all.push_back(static_cast<char>(b));
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      all.push_back(static_cast<char>(lead));
      all.push_back(static_cast<char>(trail));
    }
  }
  ExpectRoundTrip(all);
}

TEST(Cp932RoundTrip, LargeSingleLineAndNulBytes) {
  Bytes big;
  big.reserve(5 << 20);
  while (big.size() < (5u << 20)) big += Bytes("<p>\x93\xFA\x96\x7B\x8C\xEA\0\x80", 11);
  ExpectRoundTrip(big);
}

TEST(Cp932Lines, DecodeLinesTurnsEveryBreakIntoOneNewline) {
  const Bytes bytes = "a\r\n\x82\xA0\rb\n\n\x87\x9A";
  std::u16string out(bytes.size(), u'\0');
  std::vector<std::size_t> alternates;
  std::vector<std::uint16_t> codes;
  std::vector<std::uint32_t> lines;
  out.resize(DecodeLines(bytes, out.data(), &alternates, &codes, &lines));
  EXPECT_EQ(out, u"a\nあ\nb\n\n∵");
  EXPECT_EQ(lines, (std::vector<std::uint32_t>{1, 2, 1, 0, 2}));
  std::vector<std::uint32_t> units;
  std::u16string again(bytes.size(), u'\0');
  DecodeLines(bytes, again.data(), nullptr, nullptr, nullptr, &units);
  EXPECT_EQ(units, (std::vector<std::uint32_t>{1, 1, 1, 0, 1}));
  EXPECT_EQ(alternates, std::vector<std::size_t>{7});
  EXPECT_EQ(EncodeLines(out, u'\n', alternates, codes), "a\r\n\x82\xA0\r\nb\r\n\r\n\x87\x9A");
  EXPECT_EQ(EncodeLines(u"a\u2029b\U0001F600", u'\u2029'), "a\r\nb");  // unencodable skipped
}

TEST(Cp932Helpers, CharStartWalksBackOnlyOverLeadBytes) {
  // 0x82 0x9F 0x82 0xA0: two characters whose bytes are all in the lead range.
  const Bytes s = "x\x88\x9F\x88\x9F\x82\xA0y";
  EXPECT_EQ(CharStart(s, 0), 0u);
  EXPECT_EQ(CharStart(s, 2), 1u);
  EXPECT_EQ(CharStart(s, 3), 3u);
  EXPECT_EQ(CharStart(s, 4), 3u);
  EXPECT_EQ(CharStart(s, 6), 5u);
  EXPECT_EQ(CharStart(s, 7), 7u);
  EXPECT_EQ(CharStart(s, 100), s.size());
  EXPECT_EQ(CharLength(s, 100), 0u);
  EXPECT_EQ(CharLength("\x82", 0), 1u);
  EXPECT_TRUE(IsLeadByte(0x81));
  EXPECT_TRUE(IsLeadByte(0xFC));
  EXPECT_FALSE(IsLeadByte(0xA0));
  EXPECT_FALSE(IsLeadByte(0x80));
  EXPECT_FALSE(IsLeadByte(0xFD));
}

TEST(Cp932Boundary, Utf8Conversions) {
  EXPECT_EQ(Utf8ToCp932("index.htm"), Bytes("index.htm"));
  EXPECT_EQ(Utf8ToCp932("日記ｱ①.htm"), Bytes("\x93\xFA\x8B\x4C\xB1\x87\x40.htm"));
  EXPECT_EQ(Cp932ToUtf8("\x93\xFA\x8B\x4C\xB1\x87\x40.htm"), std::string("日記ｱ①.htm"));
  EXPECT_EQ(Cp932ToUtf8("\xF0\x40"), std::string("\xEE\x80\x80"));  // U+E000
  // No exact counterpart.
  EXPECT_FALSE(Utf8ToCp932("😀.htm").has_value());
  EXPECT_FALSE(Utf8ToCp932("caf\xC3\xA9").has_value());   // é
  EXPECT_FALSE(Utf8ToCp932("\xC0\xAF").has_value());      // overlong
  EXPECT_FALSE(Utf8ToCp932("\xED\xA0\x80").has_value());  // surrogate
  EXPECT_FALSE(Utf8ToCp932("a\xE3\x81").has_value());     // truncated
  EXPECT_FALSE(Utf8ToCp932("\xEF\x9E\x81").has_value());  // U+F781, a raw-byte code point
  EXPECT_FALSE(Cp932ToUtf8("a\x81").has_value());         // lead byte alone
  EXPECT_FALSE(Cp932ToUtf8("\x80").has_value());
  // A non-preferred code converts (to the same character).
  EXPECT_EQ(Cp932ToUtf8("\xED\x40"), std::string("纊"));
}

TEST(Cp932Boundary, SjisAbortsOnProgrammingErrors) {
  EXPECT_EQ(Sjis("ファイル転送"), "\x83\x74\x83\x40\x83\x43\x83\x8B\x93\x5D\x91\x97");
  EXPECT_DEATH(Sjis("〜"), "not representable");
}

}  // namespace
}  // namespace hemlo::text
