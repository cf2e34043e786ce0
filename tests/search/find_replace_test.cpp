#include "search/find_replace.h"

#include <gtest/gtest.h>

#include <random>

#include "support/scripted_prompts.h"
#include "text/cp932.h"
#include "text/memory_edit_pane.h"

namespace hemlo::search {
namespace {

using text::MemoryEditPane;
using text::Sjis;

const char* const kSearchEnded = "検索終了しました。\r\n最初から検索しますか？";
const char* const kReplaceDone = "置換処理完了";

FindReplaceOptions Options(std::string search, std::string replace = "") {
  FindReplaceOptions o;
  o.search = std::move(search);
  o.replace = std::move(replace);
  return o;
}

std::size_t CountAsked(const ScriptedPrompts& p, const std::string& text) {
  std::size_t n = 0;
  for (const auto& a : p.asked) n += a.text == text;
  return n;
}

// --- FindFrom and the case folding -----------------------------------------

TEST(FindFromTest, NeverMatchesOnATrailByte) {
  // "表" is 0x95 0x5C: its second byte is a backslash.
  EXPECT_EQ(FindFrom(Sjis("表"), "\\", 0), -1);
  // "ャ" 0x83 0x83 followed by "A": bytes 1-2 spell "ア" (0x83 0x41).
  const std::string text = Sjis("ャ") + "A" + Sjis("ア");
  ASSERT_EQ(Sjis("ア"), std::string("\x83\x41"));
  EXPECT_EQ(FindFrom(text, Sjis("ア"), 0), 3);
  EXPECT_EQ(LatinFoldMatcher(Sjis("ア")).FindFrom(text, 0), 3);
  EXPECT_EQ(ReplaceAllText(text, Sjis("ア"), "x"), Sjis("ャ") + "Ax");
}

TEST(FindFromTest, StartOffsetAndTheEndOfTheText) {
  EXPECT_EQ(FindFrom("abcabc", "abc", 0), 0);
  EXPECT_EQ(FindFrom("abcabc", "abc", 1), 3);
  EXPECT_EQ(FindFrom("abcabc", "abc", 4), -1);
  EXPECT_EQ(FindFrom("abc", "c", 0), 2);
  EXPECT_EQ(FindFrom("abc", "cd", 0), -1);  // the zero padding never equals 'd'
  EXPECT_EQ(FindFrom("abc", "x", 3), -1);
  // A lead byte alone at the very end does not step past the text.
  EXPECT_EQ(FindFrom("ab\x82", "b", 0), 1);
  EXPECT_EQ(FindFrom("ab\x82", "\x82", 0), 2);
}

TEST(LowerLatinTest, OnlySingleByteLatinCapitalsChange) {
  EXPECT_EQ(LowerLatin("AbZ@[`{"), "abz@[`{");
  const std::string kana = Sjis("アＡｶ");  // 0x83 0x41 keeps its 'A' trail byte
  EXPECT_EQ(LowerLatin(kana), kana);
  EXPECT_EQ(LowerLatin(Sjis("Xア") + "Y"), Sjis("xア") + "y");
}

// Plain oracle: walk the original text's characters, compare the lowered
// texts byte by byte with zero padding. (Stepping over the lowered text would
// be wrong: lowering can turn an invalid byte pair into a valid character.)
std::ptrdiff_t ReferenceFind(const std::string& text, const std::string& search, std::size_t k,
                             bool fold = true) {
  const std::string lt = fold ? LowerLatin(text) : text;
  const std::string ls = fold ? LowerLatin(search) : search;
  for (;;) {
    bool equal = true;
    for (std::size_t j = 0; j < ls.size() && equal; ++j)
      equal = (k + j < lt.size() ? lt[k + j] : '\0') == ls[j];
    if (equal) return static_cast<std::ptrdiff_t>(k);
    if (k >= text.size()) return -1;
    k += text::CharLength(text, k);
    if (k >= text.size()) return -1;
  }
}

std::string ReferenceReplaceAll(const std::string& text, const std::string& search,
                                const std::string& replacement) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::ptrdiff_t m = ReferenceFind(text, search, pos);
    if (m < 0) break;
    out += text.substr(pos, m - pos) + replacement;
    pos = std::min(text.size(), static_cast<std::size_t>(m) + search.size());
  }
  return out + text.substr(pos);
}

// The scanners skip ahead with memchr and resynchronise on bytes below 0x40;
// they must agree with a plain character walk everywhere.
TEST(LatinFoldMatcherTest, AgreesWithLoweredComparisonOnRandomText) {
  const std::string alphabet[] = {"A",    "a",    "B",    "b",        " ",  "\x83", "\x41",
                                  "\x61", "\x82", "\x60", "\x95\x5c", "\\", "\xb1"};
  std::mt19937 rng(12345);
  auto random_text = [&](std::size_t max_pieces) {
    std::string s;
    const std::size_t n = rng() % (max_pieces + 1);
    for (std::size_t i = 0; i < n; ++i) s += alphabet[rng() % std::size(alphabet)];
    return s;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string text = random_text(round % 4 == 0 ? 60 : 12);
    std::string search = random_text(3);
    if (search.empty()) search = "a";
    const std::size_t start = text.empty() ? 0 : rng() % text.size();
    const std::size_t boundary = text::CharStart(text, start);
    ASSERT_EQ(LatinFoldMatcher(search).FindFrom(text, boundary),
              ReferenceFind(text, search, boundary))
        << "round " << round << " text " << ::testing::PrintToString(text) << " search "
        << ::testing::PrintToString(search) << " at " << boundary;
    ASSERT_EQ(FindFrom(text, search, boundary), ReferenceFind(text, search, boundary, false))
        << "round " << round;
    ASSERT_EQ(ReplaceAllText(text, search, "<>"), ReferenceReplaceAll(text, search, "<>"))
        << "round " << round;
  }
}

// --- Replace all on text ------------------------------------------------------

TEST(ReplaceAllTextTest, LeftToRightWithoutOverlapOrRescan) {
  std::size_t count = 0;
  EXPECT_EQ(ReplaceAllText("aaa", "aa", "b", &count), "ba");
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(ReplaceAllText("aaa", "a", "aa", &count), "aaaaaa");
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(ReplaceAllText("Word word WORD wOrD", "word", "x"), "x x x x");
  EXPECT_EQ(ReplaceAllText("abc", "zz", "x", &count), "abc");
  EXPECT_EQ(count, 0u);
}

TEST(ReplaceAllTextTest, FullWidthLettersMatchOnlyInTheirOwnCase) {
  const std::string text = Sjis("ａｂｃとＡＢＣ");
  EXPECT_EQ(ReplaceAllText(text, Sjis("ａｂｃ"), "x"), "x" + Sjis("とＡＢＣ"));
  EXPECT_EQ(ReplaceAllText(Sjis("日本語です"), Sjis("本語"), Sjis("文")), Sjis("日文です"));
}

// --- The dialog's buttons ------------------------------------------------------

TEST(FindNextTest, StartsAtTheTopWhenNothingIsSelected) {
  MemoryEditPane pane("foo bar foo bar");
  pane.SetSelStart(12);  // caret inside the last "bar", nothing selected
  ScriptedPrompts prompts;
  Button1Click(kFindNext, Options("bar"), &pane, prompts);
  EXPECT_EQ(pane.SelStart(), 4u);
  EXPECT_EQ(pane.SelLength(), 3u);
  EXPECT_TRUE(prompts.asked.empty());
  // Again (as F3 does): from the end of the selection.
  Button1Click(kFindNext, Options("bar"), &pane, prompts);
  EXPECT_EQ(pane.SelStart(), 12u);
  EXPECT_GT(pane.scroll_calls(), 0);
}

TEST(FindNextTest, LatinCaseIgnoredFullWidthCaseKept) {
  MemoryEditPane pane(Sjis("前 HTML と ＨＴＭＬ と ｈｔｍｌ"));
  ScriptedPrompts prompts;
  Button1Click(kFindNext, Options("html"), &pane, prompts);
  EXPECT_EQ(pane.SelectedText(), "HTML");

  pane.SetSelStart(0);
  Button1Click(kFindNext, Options(Sjis("ｈｔｍｌ")), &pane, prompts);
  EXPECT_EQ(pane.SelectedText(), Sjis("ｈｔｍｌ"));
  EXPECT_TRUE(prompts.asked.empty());
}

TEST(FindNextTest, EndOfSearchAsksAndYesStartsFromTheTop) {
  MemoryEditPane pane("one two one");
  pane.SetSelStart(8);
  pane.SetSelLength(3);  // the last "one"
  ScriptedPrompts prompts;
  prompts.answers = {Answer::Yes};
  Button1Click(kFindNext, Options("one"), &pane, prompts);
  ASSERT_EQ(CountAsked(prompts, kSearchEnded), 1u);
  EXPECT_EQ(prompts.asked[0].caption, "確認");
  EXPECT_EQ(pane.SelStart(), 0u);
  EXPECT_EQ(pane.SelLength(), 3u);
}

TEST(FindNextTest, CancelKeepsTheSelectionAndAbsentTextAsksUntilCancel) {
  MemoryEditPane pane("one two");
  pane.SetSelStart(4);
  pane.SetSelLength(3);
  ScriptedPrompts prompts;
  prompts.answers = {Answer::Cancel};
  Button1Click(kFindNext, Options("two"), &pane, prompts);
  EXPECT_EQ(pane.SelStart(), 4u);
  EXPECT_EQ(pane.SelLength(), 3u);

  ScriptedPrompts again;
  again.answers = {Answer::Yes, Answer::Yes, Answer::No};
  Button1Click(kFindNext, Options("zzz"), &pane, again);
  EXPECT_EQ(CountAsked(again, kSearchEnded), 3u);
}

TEST(FindNextTest, NothingHappensWithoutSearchTextPaneOrText) {
  ScriptedPrompts prompts;  // no answers: any question would throw
  MemoryEditPane pane("abc");
  pane.SetSelStart(1);
  Button1Click(kFindNext, Options(""), &pane, prompts);
  Button1Click(kReplaceAll, Options("a", "b"), nullptr, prompts);
  MemoryEditPane empty;
  Button1Click(kReplaceAll, Options("a", ""), &empty, prompts);
  EXPECT_EQ(pane.SelStart(), 1u);
  EXPECT_EQ(pane.Text(), "abc");
  EXPECT_TRUE(prompts.asked.empty());
}

TEST(ReplaceAndFindNextTest, ThreeOccurrencesNoneSkipped) {
  MemoryEditPane pane("cat cat cat");
  ScriptedPrompts prompts;
  prompts.answers = {Answer::Cancel};
  const auto options = Options("cat", "dog");
  Button1Click(kReplaceAndFindNext, options, &pane, prompts);  // selects the first
  EXPECT_EQ(pane.Text(), "cat cat cat");
  EXPECT_EQ(pane.SelStart(), 0u);
  EXPECT_EQ(pane.SelLength(), 3u);
  Button1Click(kReplaceAndFindNext, options, &pane, prompts);
  EXPECT_EQ(pane.Text(), "dog cat cat");
  EXPECT_EQ(pane.SelStart(), 4u);
  Button1Click(kReplaceAndFindNext, options, &pane, prompts);
  EXPECT_EQ(pane.Text(), "dog dog cat");
  EXPECT_EQ(pane.SelStart(), 8u);
  EXPECT_TRUE(prompts.asked.empty());
  Button1Click(kReplaceAndFindNext, options, &pane, prompts);
  EXPECT_EQ(pane.Text(), "dog dog dog");
  EXPECT_EQ(CountAsked(prompts, kSearchEnded), 1u);
  EXPECT_TRUE(pane.Modified());
}

TEST(ReplaceAndFindNextTest, LineBreakAndTabEndTheReplacement) {
  MemoryEditPane pane(Sjis("あxい"));
  pane.SetSelStart(2);
  pane.SetSelLength(1);
  ScriptedPrompts prompts;
  auto options = Options("x", "-");
  options.add_line_break = true;
  options.add_tab = true;
  prompts.answers = {Answer::Cancel};
  Button1Click(kReplaceAndFindNext, options, &pane, prompts);
  EXPECT_EQ(pane.Text(), Sjis("あ-\r\n\tい"));
}

TEST(ReplaceAllTest, EmptyReplacementWithLineBreakAsksNothing) {
  MemoryEditPane pane("a;b;c");
  ScriptedPrompts prompts;
  prompts.answers = {Answer::Ok};
  auto options = Options(";");
  options.warn_empty = false;
  options.add_line_break = true;
  Button1Click(kReplaceAll, options, &pane, prompts);
  EXPECT_EQ(pane.Text(), "a\r\nb\r\nc");
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].text, kReplaceDone);
  EXPECT_EQ(pane.SelStart(), 0u);
}

TEST(ReplaceAllTest, EmptyReplacementQuestionAnsweredNoChangesNothing) {
  MemoryEditPane pane("a;b;c");
  ScriptedPrompts prompts;
  prompts.answers = {Answer::No};
  Button1Click(kReplaceAll, Options(";"), &pane, prompts);
  EXPECT_EQ(pane.Text(), "a;b;c");
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].caption, "確認");
  EXPECT_EQ(prompts.asked[0].buttons, Buttons::YesNoCancel);
  EXPECT_EQ(CountAsked(prompts, kReplaceDone), 0u);

  ScriptedPrompts yes;
  yes.answers = {Answer::Yes, Answer::Ok};
  Button1Click(kReplaceAll, Options(";"), &pane, yes);
  EXPECT_EQ(pane.Text(), "abc");
}

TEST(ReplaceAllTest, AbsentSearchTextLeavesTextAndFlagButStillReports) {
  MemoryEditPane pane("hello\r\nworld");
  pane.SetSelStart(7);
  ScriptedPrompts prompts;
  prompts.answers = {Answer::Ok};
  Button1Click(kReplaceAll, Options("zzz", "y"), &pane, prompts);
  EXPECT_EQ(pane.Text(), "hello\r\nworld");
  EXPECT_FALSE(pane.Modified());
  EXPECT_EQ(pane.SelStart(), 7u);  // the pane was not rebuilt
  EXPECT_EQ(CountAsked(prompts, kReplaceDone), 1u);
}

// Putting the text back clears the pane's flag; the document must still count as changed.
TEST(ReplaceAllTest, ChangedTextStaysMarkedModified) {
  MemoryEditPane pane(Sjis("<B>太字</b>"));
  ASSERT_FALSE(pane.Modified());
  ScriptedPrompts prompts;
  prompts.answers = {Answer::Ok};
  Button1Click(kReplaceAll, Options("<b>", "<strong>"), &pane, prompts);
  EXPECT_EQ(pane.Text(), Sjis("<strong>太字</b>"));
  EXPECT_TRUE(pane.Modified());
}

struct RecordingFeedback : SearchFeedback {
  std::vector<std::string> events;
  void BringFrameToFront() override { events.push_back("front"); }
  void SetBusy(bool busy) override { events.push_back(busy ? "busy" : "idle"); }
};

TEST(ReplaceAllTest, BusyCursorEndsBeforeTheMessageAndOnFailure) {
  MemoryEditPane pane("aaa");
  RecordingFeedback feedback;
  ScriptedPrompts prompts;
  prompts.on_process_events = nullptr;
  prompts.answers = {};  // the closing message throws: no answer left
  EXPECT_THROW(Button1Click(kReplaceAll, Options("a", "b"), &pane, prompts, &feedback),
               std::logic_error);
  EXPECT_EQ(feedback.events, (std::vector<std::string>{"busy", "front", "idle"}));
}

// --- Jump to a line -------------------------------------------------------------

TEST(JumpToLineTest, GoesToTheLineAndClampsOutOfRangeNumbers) {
  MemoryEditPane pane("one\r\ntwo\r\nthree");
  auto jump = [&](std::optional<std::string> answer) {
    ScriptedPrompts prompts;
    prompts.inputs = {std::move(answer)};
    N47Click(&pane, prompts);
    EXPECT_EQ(prompts.asked.at(0).caption, "指定行へジャンプ");
    return prompts;
  };
  jump("2");
  EXPECT_EQ(pane.SelStart(), 5u);
  jump("3");
  EXPECT_EQ(pane.SelStart(), 10u);
  jump("4");  // one past the end
  EXPECT_EQ(pane.SelStart(), 10u);
  jump("-2147483648");
  EXPECT_EQ(pane.SelStart(), 0u);
  pane.SetSelStart(5);
  pane.SetSelLength(3);
  jump("0");
  EXPECT_EQ(pane.SelStart(), 0u);
  EXPECT_EQ(pane.SelLength(), 0u);
}

TEST(JumpToLineTest, NotAnIntegerOrCancelMovesNothing) {
  MemoryEditPane pane("one\r\ntwo");
  pane.SetSelStart(6);
  ScriptedPrompts prompts;
  prompts.inputs = {std::string("２"), std::nullopt};
  N47Click(&pane, prompts);
  ASSERT_EQ(prompts.asked.size(), 2u);
  EXPECT_EQ(prompts.asked[1].kind, "error");
  EXPECT_EQ(prompts.asked[1].text, "'２' は整数ではありません");
  N47Click(&pane, prompts);
  EXPECT_EQ(pane.SelStart(), 6u);
  ScriptedPrompts none;  // no document window: nothing is asked
  N47Click(nullptr, none);
  EXPECT_TRUE(none.asked.empty());
}

}  // namespace
}  // namespace hemlo::search
