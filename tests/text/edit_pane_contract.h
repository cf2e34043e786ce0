#pragma once
// The EditPane contract (the edit pane's text and selection model), run against
// every implementation and for a Shift-JIS and a UTF-8 document alike (the
// commands see the same bytes in both): include this header in one test file and instantiate
//   INSTANTIATE_TEST_SUITE_P(Name, EditPaneContract, EditPaneParams(factory));
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <memory>
#include <string>

#include "text/cp932.h"
#include "text/edit_pane.h"

namespace hemlo::text {

using EditPaneFactory = std::function<std::unique_ptr<EditPane>()>;

struct EditPaneParam {
  EditPaneFactory make;
  std::size_t long_line_bytes = 5u << 20;  // LargeSingleLine's line
  Encoding encoding = Encoding::kShiftJis;
};

// Keeps test names short in CTest.
inline void PrintTo(const EditPaneParam& param, std::ostream* os) {
  *os << (param.encoding == Encoding::kUtf8 ? "UTF-8, " : "Shift-JIS, ") << param.long_line_bytes
      << " byte line";
}

inline auto EditPaneParams(EditPaneFactory make, std::size_t long_line_bytes = 5u << 20) {
  return ::testing::Values(EditPaneParam{make, long_line_bytes, Encoding::kShiftJis},
                           EditPaneParam{make, long_line_bytes, Encoding::kUtf8});
}
inline std::string EditPaneParamName(const ::testing::TestParamInfo<EditPaneParam>& info) {
  return info.param.encoding == Encoding::kUtf8 ? "utf8" : "sjis";
}

class EditPaneContract : public ::testing::TestWithParam<EditPaneParam> {
 protected:
  void SetUp() override {
    pane_ = GetParam().make();
    pane_->LoadDocument("", GetParam().encoding);
  }
  EditPane& pane() { return *pane_; }
  std::unique_ptr<EditPane> pane_;
};

inline void ExpectCaret(const EditPane& pane, int line, int column) {
  CaretPos pos = pane.CaretPosition();
  EXPECT_EQ(pos.line, line);
  EXPECT_EQ(pos.column, column);
}

TEST_P(EditPaneContract, EmptyPane) {
  EditPane& p = pane();
  EXPECT_EQ(p.Text(), "");
  EXPECT_EQ(p.TextLength(), 0u);
  EXPECT_EQ(p.LineListCount(), 0);
  EXPECT_EQ(p.LineListItem(0), "");
  EXPECT_EQ(p.LineCount(), 1);
  EXPECT_EQ(p.LineFromOffset(0), 0);
  EXPECT_EQ(p.LineFromOffset(5), 0);
  EXPECT_EQ(p.LineStart(0), 0u);
  EXPECT_EQ(p.LineStart(3), 0u);
  ExpectCaret(p, 0, 0);
  EXPECT_EQ(p.SelectedText(), "");
  EXPECT_FALSE(p.Modified());
  p.SetSelStart(10);
  p.SetSelLength(10);
  EXPECT_EQ(p.SelStart(), 0u);
  EXPECT_EQ(p.SelLength(), 0u);
}

TEST_P(EditPaneContract, SetTextNormalisesLineBreaksAndResets) {
  EditPane& p = pane();
  p.SetText("x");
  p.SetSelStart(1);
  p.ReplaceSelection("y");
  ASSERT_TRUE(p.Modified());
  p.SetText("a\rb\nc\r\nd\r\r\n\n");
  EXPECT_EQ(p.Text(), "a\r\nb\r\nc\r\nd\r\n\r\n\r\n");
  EXPECT_EQ(p.TextLength(), 16u);
  EXPECT_FALSE(p.Modified());
  EXPECT_EQ(p.SelStart(), 0u);
  EXPECT_EQ(p.SelLength(), 0u);
  EXPECT_EQ(p.LineCount(), 7);
  EXPECT_EQ(p.LineListCount(), 6);
  p.SetModified(true);
  EXPECT_TRUE(p.Modified());
  p.SetModified(false);
  EXPECT_FALSE(p.Modified());
}

TEST_P(EditPaneContract, OffsetsCountBytes) {
  EditPane& p = pane();
  // "ab" CRLF "あいう" CRLF "ｱx": line starts 0, 4, 12.
  p.SetText(Sjis("ab\r\nあいう\r\nｱx"));
  EXPECT_EQ(p.TextLength(), 14u);
  EXPECT_EQ(p.LineCount(), 3);
  EXPECT_EQ(p.LineStart(0), 0u);
  EXPECT_EQ(p.LineStart(1), 4u);
  EXPECT_EQ(p.LineStart(2), 12u);
  EXPECT_EQ(p.LineStart(3), 14u);  // beyond the last line: the end
  EXPECT_EQ(p.LineStart(-1), 0u);
  EXPECT_EQ(p.LineFromOffset(3), 0);  // inside the CRLF: its line
  EXPECT_EQ(p.LineFromOffset(4), 1);
  EXPECT_EQ(p.LineFromOffset(11), 1);
  EXPECT_EQ(p.LineFromOffset(12), 2);
  EXPECT_EQ(p.LineFromOffset(99), 2);

  p.SetSelStart(8);  // after あい
  EXPECT_EQ(p.SelStart(), 8u);
  ExpectCaret(p, 1, 4);
  p.SetSelStart(7);  // inside い: back to its start
  EXPECT_EQ(p.SelStart(), 6u);
  p.SetSelStart(3);  // between CR and LF: to the CR
  EXPECT_EQ(p.SelStart(), 2u);
  ExpectCaret(p, 0, 2);
  p.SetSelStart(13);  // after ｱ (one byte)
  ExpectCaret(p, 2, 1);
  p.SetSelStart(1000);
  EXPECT_EQ(p.SelStart(), 14u);
  ExpectCaret(p, 2, 2);
}

TEST_P(EditPaneContract, SelectionInBytes) {
  EditPane& p = pane();
  const std::string text = Sjis("ab\r\nあいう\r\nｱx");
  p.SetText(text);
  p.SetSelStart(1);
  p.SetSelLength(6);  // "b", CRLF, "あ", and the first byte of い: cut to い's start
  EXPECT_EQ(p.SelStart(), 1u);
  EXPECT_EQ(p.SelLength(), 5u);
  EXPECT_EQ(p.SelectedText(), Sjis("b\r\nあ"));
  p.SetSelLength(2);  // ends between CR and LF
  EXPECT_EQ(p.SelLength(), 1u);
  p.SetSelLength(100);
  EXPECT_EQ(p.SelLength(), 13u);
  EXPECT_EQ(p.SelectedText(), text.substr(1));
  EXPECT_EQ(p.SelStart(), 1u);
  ExpectCaret(p, 0, 1);  // the selection start
  p.SelectAll();
  EXPECT_EQ(p.SelStart(), 0u);
  EXPECT_EQ(p.SelLength(), text.size());
  EXPECT_EQ(p.SelectedText(), text);
  p.SetSelStart(4);
  EXPECT_EQ(p.SelLength(), 0u);
  EXPECT_EQ(p.SelectedText(), "");
}

TEST_P(EditPaneContract, ReplaceSelection) {
  EditPane& p = pane();
  p.SetText(Sjis("<p>本文</p>"));
  p.SetSelStart(3);
  p.SetSelLength(4);
  p.ReplaceSelection(Sjis("<b>本文</b>"));
  EXPECT_EQ(p.Text(), Sjis("<p><b>本文</b></p>"));
  EXPECT_EQ(p.SelStart(), 14u);
  EXPECT_EQ(p.SelLength(), 0u);
  EXPECT_TRUE(p.Modified());

  // At the caret, with line breaks of every kind (they arrive as CRLF).
  p.SetSelStart(0);
  p.ReplaceSelection("a\nb\rc\r\n");
  EXPECT_EQ(p.Text(), Sjis("a\r\nb\r\nc\r\n<p><b>本文</b></p>"));
  EXPECT_EQ(p.SelStart(), 9u);
  ExpectCaret(p, 3, 0);

  // At the very end; then an empty replacement deletes the selection.
  p.SetSelStart(p.TextLength());
  p.ReplaceSelection("\r\n");
  EXPECT_EQ(p.LineCount(), 5);
  EXPECT_EQ(p.LineListCount(), 4);
  p.SelectAll();
  p.ReplaceSelection("");
  EXPECT_EQ(p.Text(), "");
  EXPECT_EQ(p.LineCount(), 1);
  EXPECT_TRUE(p.Modified());
}

TEST_P(EditPaneContract, LineList) {
  EditPane& p = pane();
  p.SetText("a\r\n");
  EXPECT_EQ(p.LineListCount(), 1);
  EXPECT_EQ(p.LineCount(), 2);
  p.SetText("a\r\n\r\n");
  EXPECT_EQ(p.LineListCount(), 2);
  EXPECT_EQ(p.LineListItem(1), "");
  p.SetText("\r\n");
  EXPECT_EQ(p.LineListCount(), 1);
  p.SetText(Sjis("一行目\r\n\t二行目 \r\nlast"));
  ASSERT_EQ(p.LineListCount(), 3);
  EXPECT_EQ(p.LineListItem(0), Sjis("一行目"));
  EXPECT_EQ(p.LineListItem(1), Sjis("\t二行目 "));
  EXPECT_EQ(p.LineListItem(2), "last");
  EXPECT_EQ(p.LineListItem(3), "");
  EXPECT_EQ(p.LineListItem(-1), "");
  // Items stop at 4096 bytes, never in the middle of a character.
  std::string longline(4095, 'x');
  p.SetText(longline + Sjis("あ") + "\r\n" + std::string(5000, 'y'));
  EXPECT_EQ(p.LineListItem(0), longline);
  EXPECT_EQ(p.LineListItem(1), std::string(4096, 'y'));
}

TEST_P(EditPaneContract, BytesComeBackIntact) {
  EditPane& p = pane();
  // Every byte value except CR and LF, invalid sequences, NUL, alternates.
  std::string bytes;
  for (int b = 0; b < 256; ++b) {
    if (b != '\r' && b != '\n') bytes.push_back(static_cast<char>(b));
  }
  bytes += "\r\n\xED\x40\x87\x9A\xFA\x5B\xEE\xF9\xFA\x54\xFA\x4A\x81\xE6\r\n\x82";
  bytes += std::string("\0\0", 2) + "\xF0\x40\xF9\xFC\x85\x40";
  p.SetText(bytes);
  EXPECT_EQ(p.Text(), bytes);
  EXPECT_EQ(p.TextLength(), bytes.size());
  EXPECT_EQ(p.LineListItem(1), "\xED\x40\x87\x9A\xFA\x5B\xEE\xF9\xFA\x54\xFA\x4A\x81\xE6");
  // Alternates inserted by ReplaceSelection keep their codes too.
  p.SetSelStart(p.LineStart(1));
  p.SetSelLength(2);
  EXPECT_EQ(p.SelectedText(), "\xED\x40");
  p.ReplaceSelection("\xEE\xEF\xFA\x40");  // ⅰ twice: NEC-selected IBM, then IBM
  EXPECT_EQ(p.LineListItem(1), "\xEE\xEF\xFA\x40\x87\x9A\xFA\x5B\xEE\xF9\xFA\x54\xFA\x4A\x81\xE6");
  p.SetSelStart(p.LineStart(1));
  p.SetSelLength(4);
  EXPECT_EQ(p.SelectedText(), "\xEE\xEF\xFA\x40");
}

TEST_P(EditPaneContract, LargeSingleLine) {
  EditPane& p = pane();
  std::string big;
  const std::size_t size = GetParam().long_line_bytes;
  big.reserve(size + 11);
  while (big.size() < size) big += std::string("<p>\x93\xFA\x96\x7B\x8C\xEA\0\x80", 11);
  p.SetText(big);
  ASSERT_TRUE(p.Text() == big);
  EXPECT_EQ(p.TextLength(), big.size());
  EXPECT_EQ(p.LineCount(), 1);
  p.SetSelStart(big.size() - 3);  // the trail byte of 0x8CEA: to its lead
  EXPECT_EQ(p.SelStart(), big.size() - 4);
  p.SetSelStart(big.size() - 2);  // the NUL
  EXPECT_EQ(p.SelStart(), big.size() - 2);
  ExpectCaret(p, 0, static_cast<int>(big.size() - 2));
  p.ReplaceSelection("!");
  EXPECT_EQ(p.TextLength(), big.size() + 1);
  // (ASSERT_TRUE: a failure must not print 5 MB.)
  ASSERT_TRUE(p.Text() == big.substr(0, big.size() - 2) + "!" + big.substr(big.size() - 2));
}

TEST_P(EditPaneContract, EveryChangeIsOneUndoStep) {
  EditPane& p = pane();
  p.LoadDocument("", GetParam().encoding);
  p.SetText(Sjis("<p>本文</p>"));  // as the template does
  EXPECT_FALSE(p.Modified());
  p.SetSelStart(3);
  p.SetSelLength(4);
  p.ReplaceSelection(Sjis("<b>本文</b>"));
  p.SetModified(false);  // saved here
  p.SetSelStart(0);
  p.ReplaceSelection("\r\n");
  EXPECT_TRUE(p.Modified());
  const std::string states[] = {"", Sjis("<p>本文</p>"), Sjis("<p><b>本文</b></p>"),
                                Sjis("\r\n<p><b>本文</b></p>")};
  const bool modified[] = {true, true, false, true};
  for (int i = 3; i > 0; --i) {
    p.Undo();
    EXPECT_EQ(p.Text(), states[i - 1]) << i;
    EXPECT_EQ(p.Modified(), modified[i - 1]) << i;
  }
  p.Undo();  // nothing left: no change
  EXPECT_EQ(p.Text(), "");
  for (int i = 1; i <= 3; ++i) {
    p.Redo();
    EXPECT_EQ(p.Text(), states[i]) << i;
    EXPECT_EQ(p.Modified(), modified[i]) << i;
  }
  EXPECT_EQ(p.TextLength(), states[3].size());
  EXPECT_EQ(p.LineCount(), 2);
  // A change after undoing drops the redo steps; the saved text is gone for good.
  p.Undo();
  p.Undo();
  p.ReplaceSelection("x");
  p.Redo();
  EXPECT_EQ(p.Text().find("\r\n"), std::string::npos);
  EXPECT_TRUE(p.Modified());
  // Opening a file clears the history.
  p.LoadDocument("abc", GetParam().encoding);
  p.Undo();
  EXPECT_EQ(p.Text(), "abc");
  EXPECT_FALSE(p.Modified());
  // Marked modified on the saved text, it stays so until the next change.
  p.SetModified(true);
  EXPECT_TRUE(p.Modified());
}

}  // namespace hemlo::text
