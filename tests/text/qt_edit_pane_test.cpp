// The Qt edit pane Memo1: the shared EditPane contract, plus what only a real
// QPlainTextEdit has: user input (typing, input methods, paste, drop) with
// refusal of characters CP932 lacks, the undo stack, alternates against
// format inheritance, and the block cache under random edits.
#include "text/qt_edit_pane.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <functional>
#include <random>

#include "edit_pane_contract.h"
#include "text/byte_text.h"
#include "text/completion_popup.h"
#include "text/memory_edit_pane.h"

namespace hemlo::text {
namespace {

// Qt lays out a whole line at once (about 2 s per million characters here),
// so the contract's long line is 1 MB, the longest a page may open with.
INSTANTIATE_TEST_SUITE_P(Qt, EditPaneContract,
                         EditPaneParams([] { return std::make_unique<QtEditPane>(); }, 1u << 20),
                         EditPaneParamName);

class QtEditPaneTest : public ::testing::Test {
 protected:
  void Type(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
      // One key per character: a surrogate pair goes as one.
      const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text.mid(i, n));
      QApplication::sendEvent(&pane_, &press);
      i += n - 1;
    }
  }
  void Key(Qt::Key key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(&pane_, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(&pane_, &release);
  }
  void Commit(const QString& text, const QString& preedit = {}) {
    QInputMethodEvent event(preedit, {});
    event.setCommitString(text);
    QApplication::sendEvent(&pane_, &event);
  }
  void Drop(const QString& text) {
    QMimeData mime;
    mime.setText(text);
    // Drop at the caret: the drop position decides where the text goes.
    QPoint at = pane_.cursorRect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane_.viewport(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane_.viewport(), &move);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane_.viewport(), &drop);
  }
  // The byte offsets agree with the encoded text everywhere.
  void ExpectOffsetsConsistent() {
    ASSERT_TRUE(pane_.BlockCacheIsConsistent());
    const std::string text = pane_.Text();
    ASSERT_EQ(pane_.TextLength(), text.size());
    for (std::size_t offset = 0; offset <= text.size() + 1; offset += 1 + offset / 7) {
      pane_.SetSelStart(offset);
      ASSERT_EQ(pane_.SelStart(), ClampOffset(text, offset)) << offset;
    }
  }

  QtEditPane pane_;
};

TEST_F(QtEditPaneTest, TypingSetsModifiedAndIsUndoable) {
  pane_.LoadDocument("abc", Encoding::kShiftJis);
  pane_.SetSelStart(3);
  Type("de");
  EXPECT_EQ(pane_.Text(), "abcde");
  EXPECT_TRUE(pane_.Modified());
  Key(Qt::Key_Return, "\r");
  Type(QStringLiteral("日本"));
  EXPECT_EQ(pane_.Text(), Sjis("abcde\r\n日本"));
  ExpectCaret(pane_, 1, 4);
  pane_.Undo();
  pane_.Undo();
  pane_.Undo();
  EXPECT_EQ(pane_.Text(), "abc");
  ExpectOffsetsConsistent();
}

// Random typing, commands, conversions, saves, undo and redo against the
// in-memory pane: the file bytes, the byte cache and the modified flag agree
// after every step, in both encodings.
TEST_F(QtEditPaneTest, UndoAndRedoFollowTheInMemoryPane) {
  for (const Encoding encoding : {Encoding::kShiftJis, Encoding::kUtf8}) {
    std::mt19937 rng(encoding == Encoding::kUtf8 ? 7 : 8);
    const std::string start =
        encoding == Encoding::kUtf8
            ? "<meta charset=\"utf-8\">\r\n\xE6\x97\xA5\xF0\x9F\x98\x80\xEE\x9E\x80\xC3"
            : Sjis("<meta charset=\"Shift_JIS\">\r\n日本");
    MemoryEditPane memory;
    pane_.LoadDocument(start, encoding);
    memory.LoadDocument(start, encoding);
    const std::u16string typed[] = {u"a", u"\u3042", u"\uFF71", u"\U0001F600", u"\u00E9"};
    const std::string fragments[] = {"<b>", Sjis("表\r\n"), "\r\n", "", Sjis("ｶﾞ")};
    bool typed_last = false;
    for (int round = 0; round < 300; ++round) {
      const std::size_t length = memory.TextLength();
      const std::size_t at = length == 0 ? 0 : rng() % (length + 1);
      const unsigned op = rng() % 9;
      if (op <= 1 && !typed_last) {
        // Typing, at a caret with nothing selected (a new run never joins the last).
        std::u16string run = typed[rng() % std::size(typed)];
        if (pane_.DocumentEncoding() == Encoding::kShiftJis && run.size() != 1) run = u"z";
        if (run == u"\u00E9" && pane_.DocumentEncoding() == Encoding::kShiftJis) run = u"z";
        pane_.SetSelStart(at);
        memory.SetSelStart(at);
        ASSERT_EQ(pane_.SelStart(), memory.SelStart());
        Type(QString::fromStdU16String(run));
        memory.TypeText(run);
        typed_last = true;
        continue;
      }
      typed_last = false;
      if (op <= 3) {
        pane_.SetSelStart(at);
        memory.SetSelStart(at);
        const std::size_t n = rng() % 8;
        pane_.SetSelLength(n);
        memory.SetSelLength(n);
        ASSERT_EQ(pane_.SelectedText().size(), memory.SelectedText().size());
        const std::string& fragment = fragments[rng() % std::size(fragments)];
        pane_.ReplaceSelection(fragment);
        memory.ReplaceSelection(fragment);
      } else if (op == 4) {
        pane_.Undo();
        memory.Undo();
      } else if (op == 5) {
        pane_.Redo();
        memory.Redo();
      } else if (op == 6) {
        pane_.SetModified(false);  // saved
        memory.SetModified(false);
      } else if (op == 7 && rng() % 4 == 0) {
        const Encoding to =
            pane_.DocumentEncoding() == Encoding::kUtf8 ? Encoding::kShiftJis : Encoding::kUtf8;
        ASSERT_EQ(pane_.ConvertEncoding(to), memory.ConvertEncoding(to));
      } else if (op == 8 && rng() % 4 == 0) {
        pane_.SetText(memory.Text().substr(0, memory.TextLength() / 2));
        memory.SetText(memory.Text().substr(0, memory.TextLength() / 2));
      }
      ASSERT_EQ(pane_.DocumentEncoding(), memory.DocumentEncoding()) << round;
      ASSERT_EQ(::testing::PrintToString(pane_.DocumentBytes()),
                ::testing::PrintToString(memory.DocumentBytes()))
          << round << " op " << op;
      ASSERT_EQ(pane_.TextLength(), memory.TextLength()) << round;
      ASSERT_EQ(pane_.LineCount(), memory.LineCount()) << round;
      ASSERT_EQ(pane_.Modified(), memory.Modified()) << round;
      ASSERT_TRUE(pane_.BlockCacheIsConsistent()) << round;
    }
  }
}

TEST_F(QtEditPaneTest, AlternatesSurviveEditsAndTypedCharactersArePreferred) {
  // ∵ as NEC row 13 (0x879A), then 纊 as NEC-selected IBM (0xED40).
  pane_.SetText("\x87\x9A\xED\x40");
  pane_.SetSelStart(2);
  // Typing right after an alternate does not inherit its code.
  Type(QStringLiteral("∵纊"));
  Commit(QStringLiteral("∵"));
  EXPECT_EQ(pane_.Text(), "\x87\x9A\x81\xE6\xFA\x5C\x81\xE6\xED\x40");
  // Paste and drop likewise.
  pane_.SetSelStart(pane_.TextLength());
  QApplication::clipboard()->setText(QStringLiteral("纊"));
  pane_.paste();
  EXPECT_EQ(pane_.Text(), "\x87\x9A\x81\xE6\xFA\x5C\x81\xE6\xED\x40\xFA\x5C");
  // Selecting over the alternate and typing replaces it with the preferred code.
  pane_.SetSelStart(0);
  pane_.SetSelLength(2);
  Type(QStringLiteral("∵"));
  EXPECT_EQ(pane_.Text().substr(0, 2), "\x81\xE6");
  // Editing elsewhere, undo and redo keep the stored code.
  pane_.SetText("a\xED\x40z");
  pane_.SetSelStart(0);
  Type("123");
  Key(Qt::Key_Return, "\r");
  pane_.Undo();
  pane_.Undo();
  EXPECT_EQ(pane_.Text(), "a\xED\x40z");
  pane_.document()->redo();
  EXPECT_EQ(pane_.Text(), "123a\xED\x40z");
  // Deleting the alternate and undoing brings its code back.
  pane_.SetSelStart(4);
  Key(Qt::Key_Delete);
  EXPECT_EQ(pane_.Text(), "123az");
  pane_.Undo();
  EXPECT_EQ(pane_.Text(), "123a\xED\x40z");
  ExpectOffsetsConsistent();
}

TEST_F(QtEditPaneTest, CopyAndPasteWithinTheProgramKeepTheBytes) {
  // ∵ as 0x879A, a raw lead byte, 纊 as 0xED40.
  const std::string line = "\x87\x9A\x81\x0D\x0A\xED\x40";
  pane_.SetText(line);
  pane_.SelectAll();
  pane_.copy();
  pane_.SetSelStart(pane_.TextLength());
  pane_.paste();
  EXPECT_EQ(pane_.Text(), line + line);
  // A foreign clipboard whose bytes do not match its text: the text wins.
  auto* mime = new QMimeData;
  mime->setText(QStringLiteral("abc"));
  mime->setData(QString::fromLatin1(QtEditPane::kCp932MimeType), QByteArray("xyz"));
  QApplication::clipboard()->setMimeData(mime);
  pane_.SetText("");
  pane_.paste();
  EXPECT_EQ(pane_.Text(), "abc");
}

TEST_F(QtEditPaneTest, InputCp932CannotHoldIsRefused) {
  QSignalSpy refused(&pane_, &QtEditPane::inputRefused);
  pane_.SetText("ab");
  pane_.SetSelStart(1);
  // A key press.
  QKeyEvent emoji(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("😀"));
  QApplication::sendEvent(&pane_, &emoji);
  Type(QStringLiteral("é한"));
  // An input method commit.
  Commit(QStringLiteral("漢字😀"));
  // Paste and drop.
  QApplication::clipboard()->setText(QStringLiteral("مرحبا"));  // (Cyrillic and Greek are in CP932)
  pane_.paste();
  Drop(QStringLiteral("ñ"));
  EXPECT_EQ(pane_.Text(), "ab");
  EXPECT_FALSE(pane_.Modified());
  ASSERT_EQ(refused.count(), 6);
  const QString message = refused.at(0).at(0).toString();
  EXPECT_TRUE(message.contains(QStringLiteral("Shift-JIS で表せない文字は入力できません")));
  EXPECT_TRUE(message.contains(QStringLiteral("😀")));
  // Acceptable input still goes in, by every path.
  Type(QStringLiteral("ｱ"));
  Commit(QStringLiteral("漢字"));
  QApplication::clipboard()->setText(QStringLiteral("①\n②"));
  pane_.paste();
  Drop(QStringLiteral("\t"));
  EXPECT_EQ(pane_.Text(), Sjis("aｱ漢字①\r\n②\tb"));
  EXPECT_EQ(refused.count(), 6);
  ExpectOffsetsConsistent();
}

// U+F780-U+F7FF stand for raw bytes of a file; entered by the user they are
// characters (a Shift-JIS page refuses them), and half a surrogate pair is
// refused by both kinds of page. Every path of input, each with a message.
TEST_F(QtEditPaneTest, PrivateUseAndHalfPairsEnteredByTheUser) {
  const QString pua = QString(QChar(0xF780)) + QChar(0xF7FF);
  const QString half = QString(QChar(0xD800));
  const std::function<void(const QString&)> paths[] = {
      [&](const QString& t) { Type(t); },
      [&](const QString& t) { Commit(t); },
      [&](const QString& t) {
        QApplication::clipboard()->setText(t);
        pane_.paste();
      },
      [&](const QString& t) { Drop(t); },
  };
  // A raw byte of the file stays a byte beside what the user enters.
  const std::string file =
      "ÿ"
      "a";
  for (const auto& enter : paths) {
    QSignalSpy refused(&pane_, &QtEditPane::inputRefused);
    pane_.LoadDocument(file, Encoding::kUtf8);
    pane_.SetSelStart(pane_.TextLength());
    enter(pua);
    enter(half);
    const std::string saved = pane_.DocumentBytes();
    EXPECT_EQ(saved, file + "\xEF\x9E\x80\xEF\x9F\xBF");
    ASSERT_EQ(refused.count(), 1);
    EXPECT_EQ(refused.at(0).at(0).toString(),
              QStringLiteral("UTF-8 で表せない文字は入力できません（U+D800）"));
    const std::string view = pane_.Text();
    pane_.LoadDocument(saved, Encoding::kUtf8);
    EXPECT_EQ(pane_.Text(), view);

    pane_.LoadDocument("a", Encoding::kShiftJis);
    pane_.SetSelStart(1);
    enter(pua);
    enter(half);
    EXPECT_EQ(pane_.DocumentBytes(), "a");
    ASSERT_GE(refused.count(), 3);  // typed: one message per key
    EXPECT_EQ(refused.at(1).at(0).toString(),
              QStringLiteral("Shift-JIS で表せない文字は入力できません（") + QChar(0xF780) +
                  QStringLiteral("）"));
    EXPECT_EQ(refused.last().at(0).toString(),
              QStringLiteral("Shift-JIS で表せない文字は入力できません（U+D800）"));
  }
}

TEST_F(QtEditPaneTest, TwinsAreConvertedNotRefused) {
  QSignalSpy refused(&pane_, &QtEditPane::inputRefused);
  Commit(QStringLiteral("〜−"));  // WAVE DASH, MINUS SIGN from an input method
  Type(QStringLiteral("¥"));
  EXPECT_EQ(pane_.Text(), "\x81\x60\x81\x7C\x5C");
  EXPECT_EQ(refused.count(), 0);
}

TEST_F(QtEditPaneTest, PreeditIsNotText) {
  pane_.SetText("ab");
  pane_.SetSelStart(1);
  Commit(QString(), QStringLiteral("かんじ"));
  EXPECT_EQ(pane_.Text(), "ab");
  EXPECT_EQ(pane_.TextLength(), 2u);
  Commit(QStringLiteral("漢字"));
  EXPECT_EQ(pane_.Text(), Sjis("a漢字b"));
  ExpectCaret(pane_, 0, 5);
}

TEST_F(QtEditPaneTest, KeyAndMouseSignals) {
  QSignalSpy down(&pane_, &QtEditPane::keyDown);
  QSignalSpy up(&pane_, &QtEditPane::keyUp);
  QSignalSpy mouse(&pane_, &QtEditPane::mouseDown);
  pane_.SetText("abc\r\ndef");
  pane_.SetSelStart(2);
  std::size_t caret_at_key_down = 99;
  QObject::connect(&pane_, &QtEditPane::keyDown, [&] { caret_at_key_down = pane_.SelStart(); });
  Key(Qt::Key_Right);
  EXPECT_EQ(caret_at_key_down, 2u);  // KeyDown runs before the pane moves the caret
  EXPECT_EQ(pane_.SelStart(), 3u);
  Key(Qt::Key_Return, "\r");
  ASSERT_EQ(up.count(), 2);
  EXPECT_EQ(up.at(1).at(0).toInt(), static_cast<int>(Qt::Key_Return));
  EXPECT_EQ(down.count(), 2);
  pane_.resize(300, 200);
  QTest::mouseClick(pane_.viewport(), Qt::LeftButton, {}, QPoint(2, 2));
  EXPECT_EQ(mouse.count(), 1);
  EXPECT_EQ(pane_.SelStart(), 0u);
}

TEST_F(QtEditPaneTest, SelectedTextUsesCrlfNotParagraphSeparators) {
  pane_.SetText(Sjis("一\r\n二\r\n"));
  pane_.SelectAll();
  EXPECT_EQ(pane_.SelectedText(), Sjis("一\r\n二\r\n"));
  EXPECT_EQ(pane_.SelLength(), 8u);
}

TEST_F(QtEditPaneTest, BlockCacheFollowsRandomEdits) {
  std::mt19937 rng(1234);
  const QString pieces[] = {QStringLiteral("a"),
                            QStringLiteral("あ"),
                            QStringLiteral("\n"),
                            QStringLiteral("x\ny"),
                            QStringLiteral("漢\n\n字"),
                            QStringLiteral("ｱ\uF7FD"),
                            QString(5000, QLatin1Char('w'))};
  pane_.SetText(Sjis("start\r\n二行目\r\nend"));
  for (int round = 0; round < 400; ++round) {
    const int length = pane_.document()->characterCount() - 1;
    QTextCursor cursor(pane_.document());
    const int a = static_cast<int>(rng() % static_cast<unsigned>(length + 1));
    const int b = static_cast<int>(rng() % static_cast<unsigned>(length + 1));
    switch (rng() % 6) {
      case 0:
      case 1:
        cursor.setPosition(a);
        cursor.insertText(pieces[rng() % std::size(pieces)]);
        break;
      case 2:
        cursor.setPosition(a);
        cursor.setPosition(b, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        break;
      case 3:
        pane_.document()->undo();
        break;
      case 4:
        pane_.document()->redo();
        break;
      case 5:
        pane_.SetSelStart(rng() % 40);
        pane_.SetSelLength(rng() % 10);
        // An alternate (from the second half on) leaves the kept bytes unused.
        pane_.ReplaceSelection(round < 200 || rng() % 2 ? "\x82\xA0\r\nb" : "\xED\x40");
        break;
    }
    ASSERT_TRUE(pane_.BlockCacheIsConsistent()) << "round " << round;
    // What the typing rules keep of the text before the caret follows too.
    ASSERT_TRUE(pane_.RawCacheIsConsistent()) << "round " << round;
    // Reads of several widths up to the caret and after it: a wider one
    // grows the stretch.
    const std::size_t caret = rng() % (pane_.TextLength() + 1);
    const std::size_t width = std::min<std::size_t>(caret, 1 + rng() % 6000);
    pane_.SetSelStart(caret - width);
    const auto read_matches = [&] {
      return pane_.SelectedText() == pane_.Text().substr(pane_.SelStart(), pane_.SelLength());
    };
    pane_.SetSelLength(width);
    ASSERT_TRUE(read_matches()) << "round " << round;
    pane_.SetSelStart(caret);
    pane_.SetSelLength(std::min<std::size_t>(pane_.TextLength() - caret, rng() % 3000));
    ASSERT_TRUE(read_matches()) << "round " << round;
    if (round % 50 == 0) ExpectOffsetsConsistent();
  }
}

// A key costs a bounded scan for colours wherever it is typed and whatever
// changed above it; the colours of the view catch up between events.
TEST_F(QtEditPaneTest, ColouringScansABoundedRegionPerKey) {
  const std::string line(1000, 'x');
  std::string page = "<!--";
  for (int i = 0; i < 2500; ++i) page += "\r\n" + line;
  pane_.SetText(page);
  pane_.SetHighlighting(true);
  pane_.resize(400, 300);
  pane_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane_));
  const auto last_formats = [&] { return pane_.document()->lastBlock().layout()->formats(); };
  const auto settle = [&] {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !pane_.SyntaxScanPending(); }, 30000));
    pane_.viewport()->repaint();
  };
  struct Step {
    const char* what;
    std::function<void()> change;
    bool comment_at_end;
  } steps[] = {
      {"a key at the end",
       [&] {
         pane_.SetSelStart(pane_.TextLength());
         pane_.ScrollCaretIntoView();
         Type(QStringLiteral("y"));
       },
       true},
      {"the comment's opening taken away at the top",
       [&] {
         QTextCursor top(pane_.document());
         top.setPosition(4, QTextCursor::KeepAnchor);
         top.removeSelectedText();
         Type(QStringLiteral("y"));
       },
       false},
      {"put back",
       [&] {
         QTextCursor top(pane_.document());
         top.insertText(QStringLiteral("<!--"));
         Type(QStringLiteral("y"));
       },
       true},
      {"two edits above the view, the lower one closing the comment",
       [&] {
         QTextCursor cursor(pane_.document()->findBlockByNumber(1));
         cursor.insertText(QStringLiteral("a"));
         cursor = QTextCursor(pane_.document()->findBlockByNumber(1000));
         cursor.insertText(QStringLiteral("-->"));
         Type(QStringLiteral("y"));
       },
       false},
  };
  for (const Step& step : steps) {
    const std::size_t before = pane_.SyntaxUnitsScanned();
    step.change();
    pane_.viewport()->repaint();
    EXPECT_LT(pane_.SyntaxUnitsScanned() - before, 600000u) << step.what;
    settle();
    const auto formats = last_formats();
    ASSERT_EQ(formats.size(), step.comment_at_end ? 1 : 0) << step.what;
    if (step.comment_at_end) {
      EXPECT_EQ(formats[0].length, pane_.document()->lastBlock().length() - 1);
    }
  }
}

// The line a key edits carries its colours as soon as the key is handled, so
// the paint does not lay the line out a second time.
TEST_F(QtEditPaneTest, ATypedLineIsColouredBeforeThePaint) {
  pane_.SetText("<p>x\r\n<!-- a\r\nb\r\n-->\r\n");
  pane_.SetHighlighting(true);
  pane_.resize(400, 300);
  pane_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane_));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !pane_.SyntaxScanPending(); }, 5000));
  pane_.viewport()->repaint();
  const struct {
    const char* what;
    int line, column;
    const char* keys;
  } cases[] = {
      {"a tag and its attribute on the first line", 0, 3, "<i class=\"y\">"},
      {"inside a comment opened above", 2, 1, "<b>"},
  };
  for (const auto& c : cases) {
    const QTextBlock block = pane_.document()->findBlockByNumber(c.line);
    QTextCursor at(block);
    at.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, c.column);
    pane_.setTextCursor(at);
    for (const char* key = c.keys; *key; ++key) {
      Type(QString(QChar(*key)));
      const auto typed = block.layout()->formats();  // no event loop turn yet
      ASSERT_FALSE(typed.empty()) << c.what << " " << *key;
      pane_.viewport()->repaint();
      EXPECT_EQ(block.layout()->formats(), typed) << c.what << " " << *key;
    }
  }
}

// A key that calls for an end tag goes in with it as one change to the
// document, so Qt lays the line out once for the key, not once per edit.
TEST_F(QtEditPaneTest, AKeyAndItsEndTagAreOneChange) {
  pane_.SetClosingTags(true);
  const struct {
    const char* what;
    std::string page;  // the caret at its end
    const char* first;  // typed before the key
    std::size_t selected;  // bytes before the caret selected, the key typed over them
    char key;
    std::string after;
    std::size_t caret;
  } cases[] = {
      {"'>' closes the element", Sjis("日本<ul"), "", 0, '>', Sjis("日本<ul></ul>"), 8},
      {"\"</\" completes the end tag", Sjis("<p>表"), "<", 0, '/', Sjis("<p>表</p>"), 9},
      {"\"</\" goes over the end tag there", "<p", ">x<", 0, '/', "<p>x</p>", 8},
      {"'>' typed over a selection", Sjis("<em表"), "", 2, '>', "<em></em>", 4},
  };
  for (const auto& c : cases) {
    pane_.LoadDocument(c.page, Encoding::kShiftJis);
    pane_.SetSelStart(c.page.size());
    Type(QString::fromLatin1(c.first));
    pane_.SetSelStart(pane_.SelStart() - c.selected);
    pane_.SetSelLength(c.selected);
    QSignalSpy changes(pane_.document(), &QTextDocument::contentsChange);
    Type(QString(QLatin1Char(c.key)));
    EXPECT_EQ(changes.count(), 1) << c.what;
    EXPECT_EQ(pane_.Text(), c.after) << c.what;
    EXPECT_EQ(pane_.SelStart(), c.caret) << c.what;
  }
}

// The words kept from one list are never offered in another context.
TEST_F(QtEditPaneTest, EachContextListsItsOwnWords) {
  pane_.SetCompletion(true);
  pane_.LoadDocument("", Encoding::kShiftJis);
  const struct {
    const char* typed;
    const char* has;
    const char* lacks;
  } cases[] = {
      {"<img ", "alt", "href"},
      {"><a ", "href", "alt"},
      {"><p style=\"color: ", "red", "bold"},
      {"\"><b style=\"font-weight: ", "bold", "red"},
  };
  for (const auto& c : cases) {
    Type(QString::fromLatin1(c.typed));
    ASSERT_TRUE(pane_.CompletionShown()) << c.typed;
    const QStringList labels = pane_.CompletionLabels();
    EXPECT_TRUE(labels.contains(QLatin1String(c.has))) << c.typed;
    EXPECT_FALSE(labels.contains(QLatin1String(c.lacks))) << c.typed;
  }
}

// A key after which the list would show the same items leaves the list's
// rows in place and unpainted; the choice goes back to the top.
TEST_F(QtEditPaneTest, AKeyThatLeavesTheListAsItIsKeepsItsRows) {
  pane_.SetCompletion(true);
  pane_.resize(400, 300);
  pane_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane_));
  const std::string page = "<p style=\"font-weight";
  pane_.LoadDocument(page, Encoding::kShiftJis);
  pane_.SetSelStart(page.size());
  Type(QStringLiteral(": b"));
  ASSERT_TRUE(pane_.CompletionShown());
  const QStringList labels = pane_.CompletionLabels();
  ASSERT_GE(labels.size(), 2);
  auto* list = pane_.findChild<CompletionPopup*>();
  ASSERT_NE(list, nullptr);
  Key(Qt::Key_Down);
  ASSERT_EQ(list->CurrentRow(), 1);
  Type(QStringLiteral("o"));
  EXPECT_EQ(pane_.CompletionLabels(), labels);
  EXPECT_EQ(list->CurrentRow(), 0);
  // The list is a window: its first paints follow the server's expose, and
  // later ones a timer, so each check waits a little rather than asks once.
  ASSERT_TRUE(QTest::qWaitForWindowExposed(list));
  QTest::qWait(30);
  struct Paints : QObject {
    int n = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++n;
      return false;
    }
  } paints;
  list->installEventFilter(&paints);
  Type(QStringLiteral("l"));
  QTest::qWait(30);
  EXPECT_EQ(paints.n, 0);
  Type(QStringLiteral("de"));  // only "bolder" left
  EXPECT_EQ(pane_.CompletionLabels(), QStringList{QStringLiteral("bolder")});
  EXPECT_TRUE(QTest::qWaitFor([&] { return paints.n >= 1; }, 2000));
  // The list is a window of its own: it goes when the pane's window moves.
  pane_.move(pane_.pos() + QPoint(40, 0));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !pane_.CompletionShown(); }, 2000));
}

// The tags matched at the caret are painted beneath the text, and painted
// over once the caret leaves them.
TEST_F(QtEditPaneTest, TheMatchedTagsArePaintedAndPaintedOver) {
  pane_.resize(400, 200);
  pane_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane_));
  pane_.LoadDocument(Sjis("<div>日本語</div>\r\n<p>x</p>"), Encoding::kShiftJis);
  const QRgb mark = pane_.palette().color(QPalette::Highlight).lighter(170).rgb();
  QTextCursor c(pane_.document());
  c.setPosition(8);
  const QRect from = pane_.cursorRect(c);
  c.setPosition(14);
  const QRect end_tag = from.united(pane_.cursorRect(c)).adjusted(2, 0, -2, 0);  // "</div>"
  const auto marked = [&] {
    const QImage shot = pane_.viewport()->grab().toImage();
    int n = 0;
    for (int x = end_tag.left(); x <= end_tag.right(); ++x)
      for (int y = end_tag.top(); y <= end_tag.bottom(); ++y) n += shot.pixel(x, y) == mark;
    return n;
  };
  struct Painted : QObject {
    QRegion region;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) region += static_cast<QPaintEvent*>(e)->region();
      return false;
    }
  } painted;
  pane_.viewport()->installEventFilter(&painted);
  pane_.SetSelStart(2);  // in "<div>"
  QCoreApplication::processEvents();
  ASSERT_EQ(pane_.MatchedTags().size(), 2u);
  EXPECT_TRUE(painted.region.contains(end_tag));
  EXPECT_GT(marked(), end_tag.width() * end_tag.height() / 3);
  painted.region = {};
  pane_.SetSelStart(9);  // in the text
  QCoreApplication::processEvents();
  EXPECT_TRUE(pane_.MatchedTags().empty());
  EXPECT_TRUE(painted.region.contains(end_tag));
  EXPECT_EQ(marked(), 0);
}

// Awkward files open in the encoding the detector picks, say what it found,
// and save back byte for byte.
TEST_F(QtEditPaneTest, AFarPartnerTagIsFoundOnceTheCaretRestsNotOnEveryMoveOrKey) {
  std::string page = "<div>";
  for (int i = 0; i < 120000; ++i) page += "text\r\n";  // 720 KB between the tags
  const std::size_t end_tag = page.size();
  page += "</div>";
  pane_.SetText(page);
  pane_.SetSelStart(1);
  QCoreApplication::processEvents();
  EXPECT_TRUE(pane_.MatchedTags().empty());  // a move reads only a bounded stretch
  ASSERT_TRUE(QTest::qWaitFor([&] { return pane_.MatchedTags().size() == 2; }, 5000));
  EXPECT_EQ(pane_.MatchedTags()[1].first, end_tag);
  pane_.SetSelStart(end_tag + 2);
  EXPECT_TRUE(pane_.JumpToMatchingTag());  // the command does not wait for the pause
  EXPECT_EQ(pane_.SelStart(), 0u);

  // 18 KB apart: a move finds the partner at once; a key typed in the tag
  // looks only nearby, and the partner comes back once typing pauses.
  std::string near = "<div>";
  for (int i = 0; i < 3000; ++i) near += "text\r\n";
  near += "</div>";
  pane_.SetText(near);
  pane_.SetSelStart(4);
  QCoreApplication::processEvents();
  EXPECT_EQ(pane_.MatchedTags().size(), 2u);
  Type(QStringLiteral(" "));
  QCoreApplication::processEvents();
  EXPECT_TRUE(pane_.MatchedTags().empty());
  ASSERT_TRUE(QTest::qWaitFor([&] { return pane_.MatchedTags().size() == 2; }, 5000));
  EXPECT_EQ(pane_.MatchedTags()[1].first, near.size() - 6 + 1);
}

TEST_F(QtEditPaneTest, BadInputOpensAndSavesUnchanged) {
  // The longest line the pane opens, and more lines after it.
  std::string big;
  big.reserve(QtEditPane::kLongestLine + 16);
  while (big.size() < QtEditPane::kLongestLine)
    big += std::string("<p>\x93\xFA\x96\x7B\x8C\xEA\0\x80", 11);
  big.resize(QtEditPane::kLongestLine);
  big += "\r\n<p>end</p>\r\n";
  struct Case {
    const char* name;
    std::string bytes;
    Encoding encoding;
    bool disagrees;
  };
  const Case cases[] = {
      {"1 MiB line", big, Encoding::kShiftJis, false},
      {"NUL bytes", std::string("a\0b\r\n\0", 6) + "\xE6\x97\xA5", Encoding::kUtf8, false},
      {"valid in both", "\xE6\x97\xA5\xE6\x9C\xAC", Encoding::kUtf8, false},
      {"charset that lies", "<meta charset=\"utf-8\">\x93\xFA\x96\x7B\x81", Encoding::kUtf8, true},
      {"Shift-JIS declared, UTF-8 bytes",
       "<meta http-equiv=\"Content-Type\" content=\"text/html; "
       "charset=Shift_JIS\">\xF0\x9F\x98\x80",
       Encoding::kShiftJis, true},
      {"BOM, then Shift-JIS", "\xEF\xBB\xBF\x93\xFA\x96\x7B\x8C\xEA\r\n", Encoding::kUtf8, true},
      {"genuine U+F780 and raw bytes", "\xEE\x9E\x80\xF7\x80\xC3", Encoding::kShiftJis, false},
  };
  for (const Case& c : cases) {
    const EncodingGuess guess = DetectEncoding(c.bytes);
    EXPECT_EQ(guess.encoding, c.encoding) << c.name;
    EXPECT_EQ(guess.declaration_disagrees, c.disagrees) << c.name;
    for (const Encoding encoding : {Encoding::kShiftJis, Encoding::kUtf8}) {
      pane_.LoadDocument(c.bytes, encoding);
      ASSERT_TRUE(pane_.DocumentBytes() == c.bytes) << c.name;
      ASSERT_TRUE(pane_.BlockCacheIsConsistent()) << c.name;
      if (c.bytes.size() > 1000) break;  // the long line once
    }
  }
}

TEST_F(QtEditPaneTest, APageWithALongerLineIsRefusedUnread) {
  pane_.LoadDocument("kept", Encoding::kShiftJis);
  const std::string page = "<p>\r\n" + std::string(QtEditPane::kLongestLine + 1, 'x') + "\r\n";
  for (const Encoding encoding : {Encoding::kShiftJis, Encoding::kUtf8}) {
    const std::string refusal = pane_.LoadDocument(page, encoding);
    EXPECT_NE(refusal.find("2 行目が 1.0 MB"), std::string::npos) << refusal;
    EXPECT_EQ(pane_.DocumentBytes(), "kept");
  }
}

TEST_F(QtEditPaneTest, OffsetQueriesOnALargeDocument) {
  std::string text;
  for (int i = 0; i < 20000; ++i)
    text += (i % 2 ? Sjis("<p>日本語の行です。</p>\r\n") : std::string("<p>ascii line</p>\r\n"));
  pane_.SetText(text);
  EXPECT_EQ(pane_.TextLength(), text.size());
  EXPECT_EQ(pane_.LineCount(), 20001);
  pane_.SetSelStart(text.size());
  ExpectCaret(pane_, 20000, 0);
  const std::size_t line_start = pane_.LineStart(19999);
  EXPECT_EQ(line_start, text.size() - Sjis("<p>日本語の行です。</p>\r\n").size());
  pane_.SetSelStart(line_start + 5);  // after "<p>日"
  ExpectCaret(pane_, 19999, 5);
  // An edit at the top moves every later offset.
  pane_.SetSelStart(0);
  pane_.ReplaceSelection(Sjis("一\r\n"));
  EXPECT_EQ(pane_.LineStart(20000), line_start + 4);
  EXPECT_EQ(pane_.LineFromOffset(text.size() + 4), 20001);
  EXPECT_TRUE(pane_.BlockCacheIsConsistent());
}

}  // namespace
}  // namespace hemlo::text
