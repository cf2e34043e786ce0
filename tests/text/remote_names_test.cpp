// The name codec of an FTP connection, for both encodings.
#include "text/remote_names.h"

#include <gtest/gtest.h>

namespace hemlo::text {
namespace {

const RemoteNames kSjis(NameEncoding::kShiftJis);
const RemoteNames kUtf8(NameEncoding::kUtf8);

std::u16string U16(const RemoteNames& n, std::string_view wire) { return n.Decode(wire); }

TEST(RemoteNames, LocalNamesToTheWireAndBack) {
  struct Row {
    const RemoteNames* names;
    std::string local;
    std::optional<std::string> wire;  // nullopt: reported, never sent
    std::string refused;              // FirstUnrepresentable
  } const rows[] = {
      {&kSjis, "写真1.png", "\x8E\xCA\x90\x5E\x31.png", ""},
      {&kSjis, "表.htm", "\x95\x5C.htm", ""},  // trail byte 0x5C
      {&kSjis, "①", "\x87\x40", ""},
      {&kSjis, "a😀b", std::nullopt, "😀"},
      {&kSjis, "한.htm", std::nullopt, "한"},
      {&kSjis, "\xEF\x9E\x80", std::nullopt, "\xEF\x9E\x80"},  // a raw-byte stand-in
      {&kUtf8, "写真1.png", "写真1.png", ""},
      {&kUtf8, "a😀b", "a😀b", ""},
      {&kUtf8, "bad\xFF", std::nullopt, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.local);
    EXPECT_EQ(r.names->ToWire(r.local), r.wire);
    EXPECT_EQ(r.names->FirstUnrepresentable(r.local), r.refused);
    if (r.wire) {
      EXPECT_EQ(r.names->ToLocal(*r.wire), r.local);
    }
  }
}

TEST(RemoteNames, ServerBytesShowAndComeBackExactly) {
  struct Row {
    const RemoteNames* names;
    std::string wire;
    std::optional<std::string> local;
    std::string display;
  } const rows[] = {
      {&kSjis, "\x95\x5C.htm", "表.htm", "表.htm"},
      {&kSjis, "a\xA0\x80", std::nullopt, "a??"},
      {&kUtf8, "索引.htm", "索引.htm", "索引.htm"},
      {&kUtf8, "\x95\x5C.htm", std::nullopt, "?\\.htm"},  // Shift-JIS bytes on a UTF-8 server
      {&kUtf8, "x\xE6\x97", std::nullopt, "x??"},         // cut-off sequence
      {&kUtf8, "\xC0\xAF", std::nullopt, "??"},           // overlong "/"
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.wire);
    EXPECT_EQ(r.names->ToLocal(r.wire), r.local);
    EXPECT_EQ(r.names->Display(r.wire), r.display);
    // Lossless for lists: any bytes decode and encode back unchanged.
    EXPECT_EQ(r.names->Encode(U16(*r.names, r.wire)), r.wire);
  }
  EXPECT_EQ(kUtf8.Decode("索"), u"索");
  EXPECT_EQ(kSjis.Encode(u"\u301C"), "\x81\x60");  // WAVE DASH takes its twin
  EXPECT_EQ(kSjis.Encode(u"😀"), std::nullopt);
  EXPECT_EQ(kUtf8.Encode(u"😀"), "😀");
  EXPECT_EQ(kUtf8.Encode(std::u16string(1, u'\xD800')), std::nullopt);
}

TEST(RemoteNames, UnsafeNamesForEachEncoding) {
  struct Row {
    std::string wire;
    bool sjis, utf8;
  } const rows[] = {
      {"", true, true},           {"..", true, true},
      {"a/b", true, true},        {"a\\b", true, true},
      {"a\nb", true, true},       {"tab\there", true, true},
      {"..hidden", false, false}, {"a\x7F", true, true},
      {"\x95\x5C", false, true},  // 表 in Shift-JIS; a bare "\" after a stray byte in UTF-8
      {"索引", false, false},     {"\xE7\xB4\xA2", false, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.wire);
    EXPECT_EQ(kSjis.Unsafe(r.wire), r.sjis);
    EXPECT_EQ(kUtf8.Unsafe(r.wire), r.utf8);
  }
}

}  // namespace
}  // namespace hemlo::text
