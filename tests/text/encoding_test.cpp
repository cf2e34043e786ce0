// Page encodings without a window: strict UTF-8, what a page is detected as,
// and the byte-exact round trip of any bytes through a UTF-8 document.
#include <gtest/gtest.h>

#include <string>

#include "text/document_encoding.h"
#include "text/memory_edit_pane.h"
#include "text/utf8.h"

namespace hemlo::text {
namespace {

TEST(Encoding, StrictUtf8AndDetection) {
  struct Case {
    const char* name;
    std::string bytes;
    bool valid_utf8;
    Encoding detected;
  };
  const Case cases[] = {
      {"ASCII only", "<p>abc</p>\r\n", true, Encoding::kShiftJis},
      {"empty", "", true, Encoding::kShiftJis},
      {"Japanese in UTF-8", "\xE6\x97\xA5\xE6\x9C\xAC", true, Encoding::kUtf8},
      {"four-byte character", "a\xF0\xA0\x80\x8B", true, Encoding::kUtf8},
      {"U+F780 itself", "\xEE\x9E\x80", true, Encoding::kUtf8},
      {"encoded high surrogate", "a\xED\xA0\x80", false, Encoding::kShiftJis},
      {"encoded low surrogate", "a\xED\xBF\xBF", false, Encoding::kShiftJis},
      {"overlong slash", "\xC0\xAF", false, Encoding::kShiftJis},
      {"overlong three bytes", "\xE0\x80\xAF", false, Encoding::kShiftJis},
      {"past U+10FFFF", "\xF4\x90\x80\x80", false, Encoding::kShiftJis},
      {"cut short", "\xE6\x97", false, Encoding::kShiftJis},
      {"Shift-JIS", "\x93\xFA\x96\x7B", false, Encoding::kShiftJis},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsValidUtf8(c.bytes), c.valid_utf8) << c.name;
    EXPECT_EQ(DetectEncoding(c.bytes).encoding, c.detected) << c.name;
  }
}

// Bytes that are no UTF-8 open as raw bytes and save back as they were,
// beside genuine private-use characters and whatever else the page holds.
TEST(Encoding, AnyBytesSaveBackFromAUtf8Document) {
  const std::string cases[] = {
      "\x80\xFF\xC3",                          // lone bytes, a cut-short lead at the end
      "\xEE\x9E\x80\xF7\x80\xC3",              // genuine U+F780, then raw 0xF7 0x80 0xC3
      "a\xED\xA0\x80z",                        // an encoded surrogate
      "\xEF\x84\x83\xE6\x97\xA5\xEF",          // a raw 0xEF after a character
      "\xF0\x9F\x98\x80\xEF\x80\x85\xEB\xEC",  // emoji, then bytes like a code's own
      "x\r\n\xFE\xEF\xBB\r\n",
  };
  for (const std::string& bytes : cases) {
    std::u16string units(bytes.size(), u'\0');
    std::vector<std::size_t> genuine;
    units.resize(DecodeUtf8Lines(bytes, units.data(), &genuine));
    EXPECT_EQ(EncodeUtf8Lines(units, u'\n', genuine), bytes);
    MemoryEditPane pane;
    pane.LoadDocument(bytes, Encoding::kUtf8);
    EXPECT_EQ(pane.DocumentBytes(), bytes);
  }
}

}  // namespace
}  // namespace hemlo::text
