#include "search/find_replace_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "text/sjis_bridge.h"

namespace hemlo::search {

TFindReplace::TFindReplace(QWidget* frame, SearchHost& host, Prompts& prompts)
    : QDialog(frame, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                         Qt::WindowTitleHint),
      frame_(frame),
      host_(host),
      prompts_(prompts) {
  setObjectName("FindReplace");
  setWindowTitle(QStringLiteral("検索・置換"));
  setModal(false);
  QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
  font.setPixelSize(12);
  setFont(font);
  setFixedSize(351, 140);

  Label1 = new QLabel(QStringLiteral("検索する文字列"), this);
  Label1->setGeometry(8, 12, 90, 16);
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  Edit1->setGeometry(100, 8, 241, 22);
  // The fields take what the active document can hold, asked as text arrives.
  const auto encoding = [this] { return ActiveEncoding(); };
  sjis::GuardField(Edit1, encoding);
  Label1->setBuddy(Edit1);

  Label2 = new QLabel(QStringLiteral("置換後の処理"), this);
  Label2->setGeometry(8, 42, 90, 16);
  Edit2 = new QLineEdit(this);
  Edit2->setObjectName("Edit2");
  Edit2->setGeometry(100, 38, 241, 22);
  sjis::GuardField(Edit2, encoding);
  Label2->setBuddy(Edit2);

  CheckBox1 = new QCheckBox(QStringLiteral("文字列"), this);
  CheckBox1->setObjectName("CheckBox1");
  CheckBox1->setGeometry(100, 66, 70, 20);
  CheckBox1->setChecked(true);
  CheckBox2 = new QCheckBox(QStringLiteral("改行キー"), this);
  CheckBox2->setObjectName("CheckBox2");
  CheckBox2->setGeometry(176, 66, 80, 20);
  CheckBox3 = new QCheckBox(QStringLiteral("タブキー"), this);
  CheckBox3->setObjectName("CheckBox3");
  CheckBox3->setGeometry(262, 66, 80, 20);

  Button1 = new QPushButton(QStringLiteral("次を検索"), this);
  Button2 = new QPushButton(QStringLiteral("置換して次へ"), this);
  Button3 = new QPushButton(QStringLiteral("すべて置換"), this);
  Button4 = new QPushButton(QStringLiteral("閉じる"), this);
  QPushButton* buttons[] = {Button1, Button2, Button3, Button4};
  for (int i = 0; i < 4; ++i) {
    buttons[i]->setObjectName(QStringLiteral("Button%1").arg(i + 1));
    buttons[i]->setGeometry(8 + i * 85, 102, 80, 26);
    buttons[i]->setProperty("tag", i);
    buttons[i]->setAutoDefault(false);
  }
  Button1->setDefault(true);  // Enter
  for (int i = 0; i < 3; ++i)
    connect(buttons[i], &QPushButton::clicked, this, &TFindReplace::Button1Click);
  connect(Button4, &QPushButton::clicked, this, &TFindReplace::Button4Click);
  // Escape reaches QDialog::reject, which hides the dialog like Button4.
}

std::optional<FindReplaceOptions> TFindReplace::Options() const {
  FindReplaceOptions o;
  const QString search = Edit1->text();
  const text::Encoding encoding = ActiveEncoding();
  const sjis::Encoded find = sjis::EncodeFor(search, encoding);
  const sjis::Encoded replace = sjis::EncodeFor(Edit2->text(), encoding);
  // The fields refuse such text as it is typed; text put there another way
  // (or typed while a UTF-8 page was active) is refused here rather than
  // searched for as something else.
  for (const sjis::Encoded* e : {&find, &replace}) {
    if (!e->ok()) {
      prompts_.Error(sjis::RefusedMessage(e->refused, encoding).toStdString());
      return std::nullopt;
    }
  }
  o.search =
      (!selection_bytes_.empty() && search == selection_text_) ? selection_bytes_ : find.bytes;
  o.replace = replace.bytes;
  o.warn_empty = CheckBox1->isChecked();
  o.add_line_break = CheckBox2->isChecked();
  o.add_tab = CheckBox3->isChecked();
  return o;
}

void TFindReplace::Find1Click() {
  text::EditPane* pane = host_.ActiveEditPane();
  if (!pane) return;
  if (pane->SelLength() != 0) {
    // Kept as bytes too: a character with two codes shows the same either way,
    // and the search must look for the code the text really has.
    selection_bytes_ = pane->SelectedText();
    selection_text_ = sjis::DecodeFor(selection_bytes_, pane->DocumentEncoding());
    Edit1->setText(selection_text_);
  }
  show();
  // Placed once shown, when the window frame's size is known.
  if (frame_) {
    const QRect f = frame_->frameGeometry();
    move(f.left() + (f.width() - frameGeometry().width()) / 2, f.top() + 220);
  }
  raise();
  activateWindow();
  Edit1->setFocus();
  Edit1->selectAll();
}

text::Encoding TFindReplace::ActiveEncoding() const {
  const text::EditPane* pane = host_.ActiveEditPane();
  return pane ? pane->DocumentEncoding() : text::Encoding::kShiftJis;
}

void TFindReplace::N18Click() { Execute(kFindNext); }

void TFindReplace::N47Click() { search::N47Click(host_.ActiveEditPane(), prompts_); }

void TFindReplace::Button1Click() {
  const QVariant tag = sender() ? sender()->property("tag") : QVariant();
  Execute(tag.isValid() ? tag.toInt() : kFindNext);
}

void TFindReplace::Execute(int tag) {
  if (const auto options = Options())
    search::Button1Click(tag, *options, host_.ActiveEditPane(), prompts_, this);
}

void TFindReplace::Button4Click() { hide(); }

void TFindReplace::BringFrameToFront() {
  if (!frame_) return;
  frame_->raise();
  frame_->activateWindow();
  if (isVisible()) raise();  // stays above the frame
}

void TFindReplace::SetBusy(bool busy) {
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

}  // namespace hemlo::search
