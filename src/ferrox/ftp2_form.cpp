#include "ferrox/ftp2_form.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "text/sjis_bridge.h"
#include "transfer/transfer_ops.h"

namespace hemlo::transfer {

namespace {}  // namespace

TFtp2::TFtp2(QWidget* parent) : QDialog(parent) {
  setObjectName("Ftp2");
  setWindowTitle(QStringLiteral("パーミション設定"));
  setModal(true);

  auto* top = new QVBoxLayout(this);
  auto* name_row = new QHBoxLayout;
  Label6 = new QLabel(QStringLiteral("ファイル名＝"), this);
  Label4 = new QLabel(this);
  Label4->setObjectName("Label4");
  name_row->addWidget(Label6);
  name_row->addWidget(Label4, 1);
  top->addLayout(name_row);

  auto* groups = new QHBoxLayout;
  const char* group_titles[3] = {"本人", "グループ", "他人"};
  const char* box_titles[3] = {"R:読込可能", "W:書込可能", "X:実行可能"};
  std::array<QLabel**, 3> digit_labels = {&Label1, &Label2, &Label3};
  std::array<QGroupBox**, 3> boxes = {&GroupBox1, &GroupBox2, &GroupBox3};
  for (int g = 0; g < 3; ++g) {
    auto* column = new QVBoxLayout;
    auto* box = new QGroupBox(QString::fromUtf8(group_titles[g]), this);
    *boxes[g] = box;
    auto* inner = new QVBoxLayout(box);
    for (int j = 0; j < 3; ++j) {
      const int k = g * 3 + j;
      auto* cb = new QCheckBox(QString::fromUtf8(box_titles[j]), box);
      cb->setObjectName(QStringLiteral("CheckBox%1").arg(k + 1));
      cb->setProperty("tag", kPermissionWeights[static_cast<size_t>(k)]);
      CheckBoxes[static_cast<size_t>(k)] = cb;
      inner->addWidget(cb);
      connect(cb, &QCheckBox::toggled, this, [this, k](bool) { CheckBoxClick(k); });
    }
    column->addWidget(box);
    auto* digit = new QLabel(QStringLiteral("0"), this);
    digit->setObjectName(QStringLiteral("Label%1").arg(g + 1));
    digit->setAlignment(Qt::AlignCenter);
    *digit_labels[g] = digit;
    column->addWidget(digit);
    groups->addLayout(column);
  }
  top->addLayout(groups);

  auto* direct = new QHBoxLayout;
  Label5 = new QLabel(QStringLiteral("属性直接指定"), this);
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  direct->addWidget(Label5);
  direct->addWidget(Edit1, 1);
  top->addLayout(direct);
  connect(Edit1, &QLineEdit::textEdited, this,
          [this](const QString& t) { model_.SetEdit1(t.toStdString()); });

  auto* buttons = new QHBoxLayout;
  Button1 = new QPushButton(QStringLiteral("変更"), this);
  Button2 = new QPushButton(QStringLiteral("閉じる"), this);
  Button1->setObjectName("Button1");
  Button2->setObjectName("Button2");
  Button1->setAutoDefault(false);
  Button2->setAutoDefault(false);
  buttons->addStretch(1);
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  top->addLayout(buttons);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  // QDialog already answers Escape with reject(), like 閉じる.
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TFtp2::Prepare(const std::string& name_sjis, const std::string& letters,
                    const QString& shown) {
  model_.Prepare(name_sjis, letters);
  shown_ = shown.isEmpty() ? sjis::Decode(model_.Name()) : shown;
  ShowModel();
}

void TFtp2::ShowModel() {
  updating_ = true;
  for (int k = 0; k < 9; ++k) CheckBoxes[static_cast<size_t>(k)]->setChecked(model_.Box(k));
  Label1->setText(QString::fromStdString(model_.DigitLabel(0)));
  Label2->setText(QString::fromStdString(model_.DigitLabel(1)));
  Label3->setText(QString::fromStdString(model_.DigitLabel(2)));
  Edit1->setText(QString::fromStdString(model_.Edit1()));
  Label4->setText(shown_);
  updating_ = false;
}

void TFtp2::CheckBoxClick(int k) {
  if (updating_) return;
  model_.SetBox(k, CheckBoxes[static_cast<size_t>(k)]->isChecked());
  ShowModel();
}

void TFtp2::Button1Click() {
  model_.SetEdit1(Edit1->text().toStdString());
  if (send_) {
    if (model_.ChmodText()) send_(model_);
    return;
  }
  if (!ftp_ || !prompts_) return;
  if (ApplyPermission(model_, *ftp_, *prompts_, refresh_)) {
    accept();
  } else if (!ftp_->Connected()) {
    reject();  // nothing more can be sent; the transfer window says why
  }
}

int TFtp2::Run(ftp::TIdFTP& ftp, Prompts& prompts, std::function<void()> refresh_remote_list) {
  ftp_ = &ftp;
  prompts_ = &prompts;
  refresh_ = std::move(refresh_remote_list);
  const int result = Show();
  ftp_ = nullptr;
  prompts_ = nullptr;
  refresh_ = nullptr;
  return result;
}

int TFtp2::Run(Sender send) {
  send_ = std::move(send);
  const int result = Show();
  send_ = nullptr;
  return result;
}

void TFtp2::Finish(bool applied, bool connected) {
  if (applied)
    accept();
  else if (!connected)
    reject();  // nothing more can be sent; the transfer window says why
}

int TFtp2::Show() {
  adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  return exec();
}

}  // namespace hemlo::transfer
