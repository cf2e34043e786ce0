// The bridge every form uses between its strings and Shift-JIS.
#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>

#include "text/cp932.h"
#include "text/sjis_bridge.h"

namespace hemlo::sjis {
namespace {

TEST(SjisBridge, EncodeGivesAllTheBytesOrTheCharacterThatStopsIt) {
  struct Case {
    QString text;
    std::string bytes;
    QString refused;
  } cases[] = {
      {QStringLiteral("表題 abc"), text::Sjis("表題 abc"), {}},
      {QString(QChar(0x301C)), "\x81\x60", {}},  // WAVE DASH takes its twin
      {QStringLiteral("café 😀 ①"), {}, QStringLiteral("é")},
      {QStringLiteral("caf 😀 ①"), {}, QStringLiteral("😀")},
  };
  for (const Case& c : cases) {
    const Encoded e = Encode(c.text);
    EXPECT_EQ(e.refused, c.refused) << c.text.toStdString();
    if (c.refused.isEmpty()) {
      EXPECT_EQ(e.bytes, c.bytes) << c.text.toStdString();
    }
  }
  // Any bytes, characters or not, come back unchanged through the display text.
  for (const std::string& bytes : {std::string("a\x80\xff\x82"), text::Sjis("ｶﾅ∵")})
    EXPECT_EQ(Encode(Decode(bytes)).bytes, bytes);
  EXPECT_EQ(EncodeLines(DecodeLines("a\r\nb\rc")).bytes, "a\r\nb\r\nc");
}

TEST(SjisBridge, GuardedFieldsRefuseAtTheFieldWithTheStatusMessage) {
  QMainWindow frame;
  QStatusBar* status = frame.statusBar();
  QDialog dialog(&frame);
  auto* edit = new QLineEdit(&dialog);
  auto* box = new QPlainTextEdit(&dialog);
  GuardField(edit);
  GuardField(box);

  QTest::keyClicks(edit, QStringLiteral("caf"));
  edit->insert(QStringLiteral("é"));
  edit->insert(QString(QChar(0x2212)));  // MINUS SIGN takes its twin
  EXPECT_EQ(edit->text(), QStringLiteral("caf") + QChar(0xFF0D));
  EXPECT_EQ(status->currentMessage(),
            QStringLiteral("Shift-JIS で表せない文字は入力できません（é）"));

  status->clearMessage();
  box->insertPlainText(QStringLiteral("a\n😀b") + QChar(0x301C));
  EXPECT_EQ(box->toPlainText(), QStringLiteral("a\nb") + QChar(0xFF5E));
  EXPECT_EQ(status->currentMessage(),
            QStringLiteral("Shift-JIS で表せない文字は入力できません（😀）"));
}

// U+F780-U+F7FF the program puts in a field stand for raw bytes and stay;
// entered by the user they are refused for Shift-JIS and taken for UTF-8
// (as characters); half a surrogate pair is refused for both.
TEST(SjisBridge, PrivateUseAndHalfPairsInFields) {
  QMainWindow frame;
  QStatusBar* status = frame.statusBar();
  text::Encoding bound = text::Encoding::kShiftJis;
  auto* edit = new QLineEdit(&frame);
  auto* box = new QPlainTextEdit(&frame);
  GuardField(edit, [&] { return bound; });
  GuardField(box, [&] { return bound; });
  const QString raw = Decode("\x80");  // the stand-in of byte 0x80
  const QString half(QChar(0xDC00));
  struct Case {
    text::Encoding bound;
    QString typed;
    QString kept;
    QString message;
  } cases[] = {
      {text::Encoding::kShiftJis, raw, {}, RefusedMessage(raw)},
      {text::Encoding::kShiftJis, half, {}, RefusedMessage(QStringLiteral("U+DC00"))},
      {text::Encoding::kUtf8, raw, raw, {}},
      {text::Encoding::kUtf8,
       half,
       {},
       RefusedMessage(QStringLiteral("U+DC00"), text::Encoding::kUtf8)},
  };
  for (const Case& c : cases) {
    bound = c.bound;
    status->clearMessage();
    edit->setText(raw + QStringLiteral("a"));
    edit->setCursorPosition(2);
    edit->insert(c.typed);
    EXPECT_EQ(edit->text(), raw + QStringLiteral("a") + c.kept);
    EXPECT_EQ(status->currentMessage(), c.message);
    status->clearMessage();
    box->setPlainText(raw);
    box->moveCursor(QTextCursor::End);
    box->insertPlainText(c.typed);
    EXPECT_EQ(box->toPlainText(), raw + c.kept);
    EXPECT_EQ(status->currentMessage(), c.message);
  }
  // The program's stand-in still comes back as its byte.
  EXPECT_EQ(EncodeFor(raw + QStringLiteral("a"), text::Encoding::kShiftJis).bytes,
            "\x80"
            "a");
  EXPECT_FALSE(EncodeFor(half, text::Encoding::kUtf8).ok());
}

}  // namespace
}  // namespace hemlo::sjis
