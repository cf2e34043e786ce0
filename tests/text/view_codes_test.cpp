// The program-wide table of codes for characters CP932 lacks, filled to the
// last code. A process of its own: the table never empties.
#include <gtest/gtest.h>

#include <string>

#include "text/memory_edit_pane.h"
#include "text/utf8.h"
#include "text/view_codes.h"

namespace hemlo::text {
namespace {

std::u16string Units(char32_t cp) {
  if (cp < 0x10000) return std::u16string(1, static_cast<char16_t>(cp));
  cp -= 0x10000;
  return {static_cast<char16_t>(0xD800 + (cp >> 10)), static_cast<char16_t>(0xDC00 + (cp & 0x3FF))};
}

TEST(ViewCodes, AFullTableRefusesNewCharactersAndKeepsEveryOldOne) {
  ViewCodes codes;
  // A genuine U+F780 first, then Extension B onwards until no code is left.
  ASSERT_EQ(codes.Admit(u"\uF780", {0}), std::u16string::npos);
  char32_t next = 0x20000;
  for (int size = 1000; size > 0 && next < 0x110000;) {  // in batches, then one by one
    std::u16string batch;
    for (int k = 0; k < size; ++k) batch += Units(next + static_cast<char32_t>(k));
    if (codes.Admit(batch) == std::u16string::npos)
      next += static_cast<char32_t>(size);
    else
      size = size == 1 ? 0 : 1;
  }
  ASSERT_EQ(codes.size(), ViewCodes::kCapacity);
  const char32_t last = next - 1;
  const char32_t fresh = next;

  // A page of admitted characters and raw bytes opens and saves as it was,
  // also a raw 0xEF before bytes a code could start with.
  const std::string old_page =
      EncodeUtf8Lines(Units(0x20000) + u"\uF780" + Units(last), u'\n', {2}) +
      "\xEF\xEF\xBD\x85"
      "A\x80";
  MemoryEditPane pane;
  ASSERT_EQ(pane.LoadDocument(old_page, Encoding::kUtf8), "");
  EXPECT_EQ(pane.DocumentBytes(), old_page);

  // A character with no code left is refused, by name; nothing changes.
  const std::string fresh_utf8 = EncodeUtf8Lines(Units(fresh), u'\n');
  EXPECT_EQ(pane.LoadDocument("a" + fresh_utf8, Encoding::kUtf8),
            "扱える文字の種類が上限に達したため、この文字は使えません（" + fresh_utf8 + "）");
  EXPECT_EQ(pane.DocumentBytes(), old_page);
  EXPECT_EQ(codes.Admit(u"ab" + Units(fresh)), 2u);
  EXPECT_EQ(codes.size(), ViewCodes::kCapacity);
}

}  // namespace
}  // namespace hemlo::text
