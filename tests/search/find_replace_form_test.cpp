#include "search/find_replace_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <stdexcept>

#include "text/cp932.h"
#include "text/memory_edit_pane.h"
#include "text/qt_edit_pane.h"
#include "support/scripted_prompts.h"

namespace hemlo::search {
namespace {

using text::MemoryEditPane;
using text::Sjis;

struct FakeHost : SearchHost {
  text::EditPane* pane = nullptr;
  text::EditPane* ActiveEditPane() override { return pane; }
};

// A control of the dialog by its object name.
template <class W>
W* In(const QObject& dialog, const char* name) {
  W* w = dialog.findChild<W*>(QString::fromLatin1(name));
  if (w == nullptr) throw std::logic_error(std::string("no control ") + name);
  return w;
}

class FindReplaceFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame.setGeometry(100, 80, 680, 440);
    frame.show();
  }
  QWidget frame;
  FakeHost host;
  ScriptedPrompts prompts;
};

TEST_F(FindReplaceFormTest, StartsHiddenWithItsControlsAsDesigned) {
  TFindReplace dialog(&frame, host, prompts);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("検索・置換"));
  EXPECT_EQ(dialog.size(), QSize(351, 140));
  EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(In<QCheckBox>(dialog, "CheckBox1")->isChecked());
  EXPECT_FALSE(In<QCheckBox>(dialog, "CheckBox2")->isChecked());
  EXPECT_FALSE(In<QCheckBox>(dialog, "CheckBox3")->isChecked());
  EXPECT_TRUE(In<QPushButton>(dialog, "Button1")->isDefault());
  EXPECT_EQ(In<QPushButton>(dialog, "Button2")->property("tag").toInt(), 1);
  EXPECT_EQ(In<QPushButton>(dialog, "Button3")->property("tag").toInt(), 2);
}

TEST_F(FindReplaceFormTest, OpeningTakesTheSelectionAndSitsBelowTheFrameTop) {
  TFindReplace dialog(&frame, host, prompts);
  dialog.Find1Click();  // no document window: nothing
  EXPECT_FALSE(dialog.isVisible());

  MemoryEditPane pane(Sjis("日本語のページ"));
  host.pane = &pane;
  pane.SetSelStart(2);
  pane.SetSelLength(4);
  dialog.Find1Click();
  ASSERT_TRUE(dialog.isVisible());
  EXPECT_EQ(In<QLineEdit>(dialog, "Edit1")->text(), QStringLiteral("本語"));
  EXPECT_EQ(In<QLineEdit>(dialog, "Edit1")->selectedText(), QStringLiteral("本語"));
  const QRect f = frame.frameGeometry();
  const QRect d = dialog.frameGeometry();
  EXPECT_EQ(d.top(), f.top() + 220);
  EXPECT_EQ(d.left(), f.left() + (f.width() - d.width()) / 2);

  pane.SetSelStart(0);  // nothing selected: the search text stays
  dialog.Find1Click();
  EXPECT_EQ(In<QLineEdit>(dialog, "Edit1")->text(), QStringLiteral("本語"));
  EXPECT_EQ(dialog.Options()->search, Sjis("本語"));
}

// "∵" has three codes (JIS row 1, NEC row 13, IBM); the selected one is searched.
TEST_F(FindReplaceFormTest, SelectedCharacterKeepsItsOwnCode) {
  TFindReplace dialog(&frame, host, prompts);
  MemoryEditPane pane("\x87\x9a \x81\xe6");
  host.pane = &pane;
  pane.SetSelLength(2);
  dialog.Find1Click();
  EXPECT_EQ(dialog.Options()->search, "\x87\x9a");
  prompts.answers = {Answer::Cancel};
  In<QPushButton>(dialog, "Button1")->click();  // the other code is another character here
  EXPECT_EQ(pane.SelStart(), 0u);
  EXPECT_EQ(prompts.asked.size(), 1u);
}

TEST_F(FindReplaceFormTest, ButtonsActOnTheActivePaneThroughTheirTags) {
  TFindReplace dialog(&frame, host, prompts);
  MemoryEditPane pane("cat cat cat");
  host.pane = &pane;
  dialog.Find1Click();
  In<QLineEdit>(dialog, "Edit1")->setText("cat");
  In<QLineEdit>(dialog, "Edit2")->setText("dog");
  prompts.answers = {Answer::Cancel};
  for (int i = 0; i < 4; ++i) In<QPushButton>(dialog, "Button2")->click();
  EXPECT_EQ(pane.Text(), "dog dog dog");
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].text, "検索終了しました。\r\n最初から検索しますか？");

  // Replace all with an empty field and 文字列 ticked asks first; No stops.
  In<QLineEdit>(dialog, "Edit1")->setText("DOG");
  In<QLineEdit>(dialog, "Edit2")->clear();
  prompts.answers.push_back(Answer::No);
  In<QPushButton>(dialog, "Button3")->click();
  EXPECT_EQ(pane.Text(), "dog dog dog");
  // With 文字列 clear and 改行キー ticked it goes ahead without asking.
  In<QCheckBox>(dialog, "CheckBox1")->setChecked(false);
  In<QCheckBox>(dialog, "CheckBox2")->setChecked(true);
  prompts.answers.push_back(Answer::Ok);
  In<QPushButton>(dialog, "Button3")->click();
  EXPECT_EQ(pane.Text(), "\r\n \r\n \r\n");
  EXPECT_TRUE(pane.Modified());
  EXPECT_EQ(prompts.asked.back().text, "置換処理完了");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the hourglass is gone
}

TEST_F(FindReplaceFormTest, F3WorksWithTheDialogHiddenAndCloseHides) {
  TFindReplace dialog(&frame, host, prompts);
  MemoryEditPane pane("one two one two");
  host.pane = &pane;
  dialog.Find1Click();
  In<QLineEdit>(dialog, "Edit1")->setText("TWO");
  In<QPushButton>(dialog, "Button4")->click();
  EXPECT_FALSE(dialog.isVisible());
  dialog.N18Click();
  EXPECT_EQ(pane.SelStart(), 4u);
  dialog.N18Click();  // from the end of the selection
  EXPECT_EQ(pane.SelStart(), 12u);
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(FindReplaceFormTest, FieldsRefuseTextWithoutAShiftJisForm) {
  TFindReplace dialog(&frame, host, prompts);
  In<QLineEdit>(dialog, "Edit1")->insert(QStringLiteral("ア"));
  In<QLineEdit>(dialog, "Edit1")->insert(QString::fromUtf8("\xF0\x9F\x98\x80"));  // an emoji
  In<QLineEdit>(dialog, "Edit1")->insert(QStringLiteral("ｈ"));
  In<QLineEdit>(dialog, "Edit1")
      ->insert(QString(QChar(0x301C)));  // WAVE DASH, as input methods type it
  EXPECT_EQ(In<QLineEdit>(dialog, "Edit1")->text(), QStringLiteral("アｈ") + QChar(0xFF5E));
  EXPECT_EQ(dialog.Options()->search, Sjis("アｈ") + "\x81\x60");
  // Text put in by other means is refused with the message, never searched as "".
  MemoryEditPane pane("caf cafe");
  host.pane = &pane;
  In<QLineEdit>(dialog, "Edit1")->setText(QStringLiteral("café"));
  In<QPushButton>(dialog, "Button1")->click();
  EXPECT_EQ(pane.SelLength(), 0u);
  ASSERT_FALSE(prompts.asked.empty());
  EXPECT_EQ(prompts.asked.back().text, "Shift-JIS で表せない文字は入力できません（é）");
}

// The fields take what the active page can hold: a UTF-8 page finds and
// replaces any character, at the offsets its commands see; a Shift-JIS page
// refuses what it cannot hold, with the message and without searching.
TEST_F(FindReplaceFormTest, FieldsTakeWhatTheActivePageCanHold) {
  using text::Encoding;
  struct Case {
    Encoding encoding;
    std::string file;
    QString find, replace;
    std::size_t first_at, first_length;  // of the first match; 0, 0: refused
    std::string saved;
    std::string refusal;
  };
  const std::string wave = "\xE3\x80\x9C";  // U+301C stays itself in a UTF-8 page
  const Case cases[] = {
      {Encoding::kUtf8, "a😀b ①😀\r\n", "😀", "🎉é", 1, 4, "a🎉éb ①🎉é\r\n", ""},
      {Encoding::kUtf8, "<p>café ①</p>", "é ①", QString(QChar(0x301C)), 6, 7,
       "<p>caf" + wave + "</p>", ""},
      {Encoding::kShiftJis, Sjis("a①b①"), "①", "Ⅰ", 1, 2, Sjis("aⅠbⅠ"), ""},
      {Encoding::kShiftJis, "a", "😀", "x", 0, 0, "a",
       "Shift-JIS で表せない文字は入力できません（😀）"},
      {Encoding::kUtf8, "a", QString(QChar(0xD800)), "x", 0, 0, "a",
       "UTF-8 で表せない文字は入力できません（U+D800）"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refusal.empty() ? c.find.toStdString() : c.refusal);
    TFindReplace dialog(&frame, host, prompts);
    MemoryEditPane pane;
    pane.LoadDocument(c.file, c.encoding);
    host.pane = &pane;
    prompts.asked.clear();
    In<QLineEdit>(dialog, "Edit1")->insert(c.find);  // typed
    In<QLineEdit>(dialog, "Edit2")->insert(c.replace);
    In<QPushButton>(dialog, "Button1")->click();
    EXPECT_EQ(pane.SelStart(), c.first_at);
    EXPECT_EQ(pane.SelLength(), c.first_length);
    if (c.first_length == 0) {
      // Refused as typed; put there past the guard, refused at the button.
      EXPECT_TRUE(In<QLineEdit>(dialog, "Edit1")->text().isEmpty());
      In<QLineEdit>(dialog, "Edit1")->setText(c.find);
      In<QPushButton>(dialog, "Button3")->click();
      ASSERT_FALSE(prompts.asked.empty());
      EXPECT_EQ(prompts.asked.back().text, c.refusal);
    } else {
      dialog.Find1Click();  // the selected match comes back as the search text
      EXPECT_EQ(In<QLineEdit>(dialog, "Edit1")->text(), c.find);
      prompts.answers.push_back(Answer::Ok);
      In<QPushButton>(dialog, "Button3")->click();
    }
    EXPECT_EQ(pane.DocumentBytes(), c.saved);
  }
}

TEST_F(FindReplaceFormTest, JumpAsksForALineNumber) {
  TFindReplace dialog(&frame, host, prompts);
  MemoryEditPane pane("a\r\nb\r\nc");
  host.pane = &pane;
  prompts.inputs = {std::string("3")};
  dialog.N47Click();
  EXPECT_EQ(pane.SelStart(), 6u);
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].text, "何行目へジャンプしますか？");
}

// The same buttons on the program's real edit pane, whose byte offsets are
// mapped onto a QPlainTextEdit.
TEST_F(FindReplaceFormTest, WorksOnTheRealEditPane) {
  text::QtEditPane pane;
  pane.SetText(Sjis("表示 <B>太字</B>\r\nｶﾅ と <b>も</b>\r\n"));
  host.pane = &pane;
  TFindReplace dialog(&frame, host, prompts);
  dialog.Find1Click();
  In<QLineEdit>(dialog, "Edit1")->setText(QStringLiteral("<b>"));
  In<QPushButton>(dialog, "Button1")->click();
  EXPECT_EQ(pane.SelStart(), 5u);
  EXPECT_EQ(pane.SelectedText(), "<B>");
  In<QPushButton>(dialog, "Button1")->click();
  EXPECT_EQ(pane.SelectedText(), "<b>");
  EXPECT_EQ(pane.SelStart(), Sjis("表示 <B>太字</B>\r\nｶﾅ と ").size());

  In<QLineEdit>(dialog, "Edit2")->setText(QStringLiteral("<strong>"));
  prompts.answers = {Answer::Ok};
  In<QPushButton>(dialog, "Button3")->click();
  EXPECT_EQ(pane.Text(), Sjis("表示 <strong>太字</B>\r\nｶﾅ と <strong>も</b>\r\n"));
  EXPECT_TRUE(pane.Modified());  // closing the window must still ask
  EXPECT_EQ(pane.SelStart(), 0u);

  // Nothing to replace: the pane keeps its caret and its flag.
  pane.SetModified(false);
  pane.SetSelStart(4);
  In<QLineEdit>(dialog, "Edit1")->setText(QStringLiteral("zzz"));
  prompts.answers.push_back(Answer::Ok);
  In<QPushButton>(dialog, "Button3")->click();
  EXPECT_EQ(pane.SelStart(), 4u);
  EXPECT_FALSE(pane.Modified());
}

}  // namespace
}  // namespace hemlo::search
