// The builder dialog's thin handlers: controls reach the model, the model's
// results reach the controls, the dialog opens and closes as its buttons say.
#include <gtest/gtest.h>

#include <QAccessible>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QWebEngineView>

#include "authoring/messages.h"
#include "base/atomic_file.h"
#include "text/sjis_bridge.h"
#include "form_test_support.h"

#include "webview/ui_web_browser.h"

namespace hemlo::authoring::testing {
namespace {

using namespace std::chrono_literals;

class SettingFormTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    prompts_.answers.assign(20, Answer::Ok);
  }
  TfrmSetting& f() { return *form_; }
};

TEST_F(SettingFormTest, StartsOnColourTabAndEscapeEmptiesResultKeepingTabAndValues) {
  EXPECT_EQ(c<QTabWidget>("PageControl1")->currentIndex(), kColorSizeTab);
  EXPECT_EQ(f().windowTitle(), QStringLiteral("設定"));
  EXPECT_EQ(c<QComboBox>("ComboBox1")->currentText(), "2");
  EXPECT_EQ(c<QComboBox>("ComboBox1")->count(), 10);
  EXPECT_EQ(c<QComboBox>("Cmbcellspacing")->itemText(9), "40");
  EXPECT_EQ(c<QComboBox>("ComboBox3")->currentText(), "4");
  EXPECT_EQ(c<QComboBox>("cmbstyleLeft")->currentText(), QStringLiteral("実線"));
  EXPECT_EQ(c<QLabel>("LblS")->text(), "$000000");
  EXPECT_EQ(c<QButtonGroup>("RadioGroup1Buttons")->checkedId(), -1);

  // A command's earlier result, then the user types a Japanese title and
  // leaves with Escape.
  f().Model().SettingResult = "#FF8000";
  WhenModal([&](QWidget* w) {
    EXPECT_EQ(w, form_.get());
    // Still modal once the test view's engine has its render widget (which,
    // built inside a shown dialog, would drop the modality): the frame
    // behind must not take input while the dialog is up.
    auto* view = c<QWebEngineView>("UIWebBrowser1");
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->focusProxy() != nullptr; }, 20000));
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), form_.get());
    c<QLineEdit>("EdTitle")->setText(QStringLiteral("売上表"));
    QTest::keyClick(w, Qt::Key_Escape);
  });
  f().ShowModal(std::nullopt);
  EXPECT_TRUE(f().Model().SettingResult.empty());
  EXPECT_EQ(f().Model().currentTab, kColorSizeTab);
  EXPECT_EQ(f().Model().table.EdTitle, S("売上表"));
  EXPECT_FALSE(f().Model().TableAccepted);

  // A command switches the tab and sets check boxes; the next opening shows
  // them, and the title typed before is still there.
  f().Model().colorSize.CheckColor = true;
  WhenModal([&](QWidget*) {
    EXPECT_EQ(c<QTabWidget>("PageControl1")->currentIndex(), kTableTab);
    EXPECT_TRUE(c<QCheckBox>("CheckColor")->isChecked());
    EXPECT_EQ(c<QLineEdit>("EdTitle")->text(), QStringLiteral("売上表"));
    c<QPushButton>("Button2")->click();
  });
  f().ShowModal(kTableTab);
  EXPECT_FALSE(f().isVisible());

  // The title bar's close box leaves the last 設定's colour in place.
  f().Model().SettingResult = "#FF8000";
  WhenModal([&](QWidget* w) { w->close(); });
  f().ShowModal(std::nullopt);
  EXPECT_FALSE(f().isVisible());
  EXPECT_EQ(f().Model().SettingResult, "#FF8000");
}

TEST_F(SettingFormTest, TableSettingChecksFieldsBelowOne) {
  c<QTabWidget>("PageControl1")->setCurrentIndex(kTableTab);
  for (const char* rows : {"0", ""}) {
    c<QComboBox>("ComboBox1")->setEditText(QString::fromUtf8(rows));
    c<QPushButton>("Button1")->click();
    EXPECT_EQ(LastAsked("message"), "未記入の項目があります") << rows;
    EXPECT_FALSE(f().Model().TableAccepted) << rows;
  }
  // "10" does not sort below "1"; "abc" is caught only where it is converted.
  prompts_.asked.clear();
  WhenModal([&](QWidget*) {
    c<QComboBox>("ComboBox1")->setEditText("10");
    c<QComboBox>("ComboBox2")->setEditText("abc");
    c<QPushButton>("Button1")->click();
  });
  f().ShowModal(kTableTab);
  EXPECT_TRUE(prompts_.asked.empty());
  EXPECT_TRUE(f().Model().TableAccepted);
  EXPECT_EQ(f().Model().table.ComboBox1, "10");
  EXPECT_EQ(f().Model().table.ComboBox2, "abc");

  // Escape typed in a field closes the dialog like 閉じる and keeps
  // TableAccepted.
  f().Model().SettingResult = "RGB(1,2,3)";
  WhenModal([&](QWidget*) {
    c<QComboBox>("ComboBox1")->lineEdit()->setFocus();
    QTest::keyClick(c<QComboBox>("ComboBox1")->lineEdit(), Qt::Key_Escape);
  });
  f().ShowModal(std::nullopt);
  EXPECT_TRUE(f().Model().SettingResult.empty());
  EXPECT_TRUE(f().Model().TableAccepted);
  EXPECT_EQ(f().Model().table.ComboBox2, "abc");
}

TEST_F(SettingFormTest, TestButtonWritesHalfSizeTableAndRendersItIn180By150View) {
  // A program folder with a Japanese name: its characters reach the view intact.
  folder_ /= "プログラム";
  std::filesystem::create_directories(folder_);
  SetProgramFolder(folder_);
  f().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  c<QTabWidget>("PageControl1")->setCurrentIndex(kTableTab);
  c<QLineEdit>("Edit1")->setText("321");
  c<QCheckBox>("CheckTitle")->setChecked(true);
  c<QLineEdit>("EdTitle")->setText(QStringLiteral("表題"));
  c<QCheckBox>("Checkcellpadding")->setChecked(true);
  c<QComboBox>("Cmbcellpadding")->setCurrentIndex(2);  // "12"

  QSignalSpy loaded(c<QWebEngineView>("UIWebBrowser1"), &QWebEngineView::loadFinished);
  c<QPushButton>("Button4")->click();
  EXPECT_TRUE(prompts_.asked.empty());

  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(folder_ / "TABLEFILE.$$$", bytes));
  EXPECT_EQ(bytes, S("<table border=\"1\" cellpadding=12 width=\"160\" height=\"75\"> "
                     "<caption>表題</caption>\r\n"
                     "<TR><TD>data</TD><TD>data</TD></TR>\r\n"
                     "<TR><TD>data</TD><TD>data</TD></TR>\r\n</table>\r\n"));

  ASSERT_TRUE(QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 60000));
  EXPECT_TRUE(loaded.first().at(0).toBool());
  EXPECT_EQ(c<QWebEngineView>("UIWebBrowser1")->size(), QSize(180, 150));
  EXPECT_EQ(c<QWebEngineView>("UIWebBrowser1")->url().toLocalFile(),
            QString::fromStdString((folder_ / "TABLEFILE.$$$").string()));

  // What the view shows: the table with its cells and the Shift-JIS caption.
  QString shown;
  bool done = false;
  c<QWebEngineView>("UIWebBrowser1")
      ->page()
      ->runJavaScript(
          "(function(){var t=document.querySelector('table');"
          "return t ? t.getAttribute('width')+'|'+t.rows.length+'x'+t.rows[0].cells.length+'|'+"
          "t.caption.textContent+'|'+t.getBoundingClientRect().width : document.contentType;})()",
          [&](const QVariant& v) {
            shown = v.toString();
            done = true;
          });
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
  EXPECT_EQ(shown, QStringLiteral("160|2x2|表題|160"));

  // A count that is no integer: the error box, the file and the view unchanged.
  c<QComboBox>("ComboBox2")->setEditText("abc");
  loaded.clear();
  c<QPushButton>("Button4")->click();
  EXPECT_EQ(LastAsked("error"), "'abc' は整数ではありません");
  std::string after;
  ASSERT_TRUE(ReadWholeFile(folder_ / "TABLEFILE.$$$", after));
  EXPECT_EQ(after, bytes);
  EXPECT_FALSE(f().Model().TableAccepted);
  // A load of our own after the click: a reload the click had started
  // would finish (or be cut short) before it.
  c<QWebEngineView>("UIWebBrowser1")->setHtml(QStringLiteral("<p>after</p>"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 60000));
  EXPECT_EQ(loaded.count(), 1);
  EXPECT_TRUE(loaded.first().at(0).toBool());
}

TEST_F(SettingFormTest, SlidersDriveLabelsSwatchAndColourSetting) {
  c<QScrollBar>("ScrollBar1")->setValue(255);
  c<QScrollBar>("ScrollBar2")->setValue(128);
  c<QScrollBar>("ScrollBar3")->setValue(0);
  EXPECT_EQ(c<QLabel>("LblRGB")->text(), "RGB(255,128,0)");
  EXPECT_EQ(c<QLabel>("LblS")->text(), "$0080FF");
  EXPECT_EQ(c<QLabel>("LblH")->text(), "#FF8000");
  const QImage swatch = c<QLabel>("Image1")->pixmap().toImage();
  EXPECT_EQ(swatch.pixelColor(swatch.width() - 1, swatch.height() - 1), QColor(255, 128, 0));

  // Neither box checked: the message, the dialog stays, no result.
  WhenModal([&](QWidget* w) {
    c<QRadioButton>("RadioButton1")->click();
    c<QPushButton>("Button3")->click();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(LastAsked("message"), "色か文字サイズのどちらかを指定してください。");
    c<QCheckBox>("CheckSize")->setChecked(true);
    c<QPushButton>("Button3")->click();
  });
  f().ShowModal(kColorSizeTab);
  EXPECT_EQ(f().Model().SettingResult, "RGB(255,128,0)");

  // The model's values come back to the sliders when the dialog opens again.
  f().Model().colorSize.ScrollBar1 = 10;
  f().Model().colorSize.ScrollBar2 = 11;
  f().Model().colorSize.ScrollBar3 = 12;
  f().Model().colorSize.RadioButton1 = false;
  f().Model().colorSize.RadioButton2 = true;
  WhenModal([&](QWidget*) {
    EXPECT_EQ(c<QLabel>("LblRGB")->text(), "RGB(10,11,12)");
    EXPECT_EQ(c<QLabel>("LblH")->text(), "#0A0B0C");
    c<QPushButton>("Button3")->click();
  });
  f().ShowModal(std::nullopt);
  EXPECT_EQ(f().Model().SettingResult, "$0C0B0A");
  EXPECT_EQ(c<QScrollBar>("ScrollBar3")->value(), 12);
}

TEST_F(SettingFormTest, StyleSheetRuleBuiltLineByLine) {
  c<QTabWidget>("PageControl1")->setCurrentIndex(kStyleSheetTab);
  c<QPushButton>("Button6")->click();
  EXPECT_EQ(LastAsked("message"), "属性を選択してください");
  EXPECT_TRUE(c<QPlainTextEdit>("Memo1")->toPlainText().isEmpty());

  c<QRadioButton>("RadioSize2")->click();
  c<QButtonGroup>("RadioGroup1Buttons")->button(6)->click();  // border
  EXPECT_TRUE(c<QRadioButton>("RadioSize1")->isChecked());
  EXPECT_TRUE(c<QLineEdit>("EdSize")->isVisibleTo(form_.get()));
  EXPECT_TRUE(c<QComboBox>("cmbstyle")->isVisibleTo(form_.get()));
  EXPECT_FALSE(c<QLineEdit>("EdTop")->isVisibleTo(form_.get()));
  EXPECT_FALSE(c<QComboBox>("cmbstyleTop")->isVisibleTo(form_.get()));
  EXPECT_FALSE(c<QComboBox>("cmbAlign")->isVisibleTo(form_.get()));
  c<QPushButton>("Button6")->click();

  c<QButtonGroup>("RadioGroup1Buttons")->button(4)->click();  // margin
  EXPECT_TRUE(c<QLineEdit>("EdTop")->isVisibleTo(form_.get()));
  EXPECT_FALSE(c<QComboBox>("cmbstyle")->isVisibleTo(form_.get()));
  c<QRadioButton>("RadioSize2")->click();
  c<QPushButton>("Button6")->click();

  c<QButtonGroup>("RadioGroup1Buttons")->button(1)->click();  // border-style
  c<QComboBox>("cmbstyleRight")->setCurrentIndex(6);          // 点線
  c<QComboBox>("cmbstyleLeft")->setEditText(QStringLiteral("破線"));
  c<QPushButton>("Button6")->click();

  // Typed text that is none of the eight items: a message, nothing appended.
  c<QComboBox>("cmbstyleBottom")->setEditText(QStringLiteral("波線"));
  const QString before = c<QPlainTextEdit>("Memo1")->toPlainText();
  c<QPushButton>("Button6")->click();
  EXPECT_EQ(LastAsked("message"), kNoBorderStyleMessage);
  EXPECT_EQ(c<QPlainTextEdit>("Memo1")->toPlainText(), before);
  EXPECT_EQ(c<QComboBox>("cmbstyleBottom")->currentText(), QStringLiteral("波線"));

  WhenModal([&](QWidget*) { c<QPushButton>("Button7")->click(); });
  f().ShowModal(std::nullopt);
  EXPECT_EQ(f().Model().SettingResult, S(".MyClass00{border:4px solid 色を指定してね;\r\n"
                                         "margin:4px 8px 4px 8px;\r\n"
                                         "border-style:solid dotted solid dashed;\r\n}"));
  // The box keeps its lines after 設定; クリア empties it.
  EXPECT_EQ(c<QPlainTextEdit>("Memo1")->toPlainText(), before);
  c<QPushButton>("Button8")->click();
  EXPECT_TRUE(c<QPlainTextEdit>("Memo1")->toPlainText().isEmpty());
  EXPECT_TRUE(f().Model().style.Memo1.empty());

  // A toggle without a click (as assistive tools do it) runs the attribute
  // handler too.
  c<QButtonGroup>("RadioGroup1Buttons")->button(4)->toggle();  // margin
  c<QRadioButton>("RadioSize2")->click();
  EXPECT_FALSE(c<QComboBox>("cmbstyleTop")->isVisibleTo(form_.get()));
  c<QPushButton>("Button6")->click();
  EXPECT_EQ(c<QPlainTextEdit>("Memo1")->toPlainText().trimmed(),
            QStringLiteral(".MyClass00{margin:4px 8px 4px 8px;"));
  // Controls without a caption of their own carry a name for such tools.
  const std::pair<const char*, QString> names[] = {{"RadioButton1", "RGB表記"},
                                                   {"RadioButton3", "#表記"},
                                                   {"ScrollBar2", "緑"},
                                                   {"EdTitle", "表のタイトル"},
                                                   {"Edit1", "全体の横幅"}};
  for (const auto& [name, expected] : names)
    EXPECT_EQ(QAccessible::queryAccessibleInterface(c<QWidget>(name))->text(QAccessible::Name),
              expected)
        << name;
}

TEST_F(SettingFormTest, TypedTextReachesModelAsShiftJis) {
  f().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  c<QTabWidget>("PageControl1")->setCurrentIndex(kStyleSheetTab);
  // A class name in Japanese, with a character Shift-JIS lacks refused.
  c<QLineEdit>("EdClassName")->clear();
  c<QLineEdit>("EdClassName")->insert(QStringLiteral("見出し"));
  c<QLineEdit>("EdClassName")->insert(QStringLiteral("ü"));
  EXPECT_EQ(c<QLineEdit>("EdClassName")->text(), QStringLiteral("見出し"));
  // The user edits the box by hand; a new line still starts on its own line.
  // A character Shift-JIS lacks, pasted into the box, leaves the box and the rule.
  c<QPlainTextEdit>("Memo1")->setPlainText(QStringLiteral(".見出し{color:red;ü"));
  c<QButtonGroup>("RadioGroup1Buttons")->button(9)->click();  // text-align
  c<QComboBox>("cmbAlign")->setCurrentIndex(2);               // right
  c<QPushButton>("Button6")->click();
  EXPECT_EQ(f().Model().style.Memo1, S(".見出し{color:red;\r\ntext-align:right;\r\n"));
  EXPECT_EQ(c<QPlainTextEdit>("Memo1")->toPlainText(),
            QStringLiteral(".見出し{color:red;\ntext-align:right;\n"));
  // The background pick selects 全体指定4方向 and writes the class opener on
  // an empty box.
  c<QPushButton>("Button8")->click();
  c<QRadioButton>("RadioSize2")->click();
  c<QButtonGroup>("RadioGroup1Buttons")->button(0)->click();
  EXPECT_TRUE(c<QRadioButton>("RadioSize1")->isChecked());
  c<QPushButton>("Button6")->click();
  EXPECT_EQ(f().Model().style.Memo1, S(".見出し{background:色を指定してね;\r\n"));

  // A title put in past the field's guard is refused with the message, and
  // the model keeps its value instead of a shortened one.
  c<QLineEdit>("EdTitle")->setText(QStringLiteral("café 😀 ①"));
  c<QPushButton>("Button1")->click();
  EXPECT_EQ(LastAsked("error"), "Shift-JIS で表せない文字は入力できません（é）");
  EXPECT_EQ(f().Model().table.EdTitle, "");
  EXPECT_FALSE(f().Model().TableAccepted);

  // Filled in for a UTF-8 page, the same title is taken as it is typed.
  f().hide();
  f().Model().document_encoding = text::Encoding::kUtf8;
  WhenModal([&](QWidget*) {
    c<QLineEdit>("EdTitle")->clear();
    c<QLineEdit>("EdTitle")->insert(QStringLiteral("café 😀 ①"));
    c<QPushButton>("Button1")->click();
  });
  f().ShowModal(kTableTab);
  EXPECT_TRUE(f().Model().TableAccepted);
  EXPECT_EQ(sjis::DecodeFor(f().Model().table.EdTitle, text::Encoding::kUtf8),
            QStringLiteral("café 😀 ①"));
}

}  // namespace
}  // namespace hemlo::authoring::testing
