#include "ferrox/profile_panel_widget.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ferrox/ftp_window_parts.h"

namespace hemlo::transfer_ui {
namespace {

QLineEdit* Edit(const char* name, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  return e;
}

}  // namespace

ProfilePanelWidget::ProfilePanelWidget(QWidget* parent) : QWidget(parent) {
  auto* top = new QHBoxLayout(this);
  top->setContentsMargins(0, 0, 0, 0);

  panel = new QFrame(this);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setAutoFillBackground(true);
  SetColour(panel, QPalette::Window, kLime);
  SetColour(panel, QPalette::WindowText, Qt::black);
  panel->setFrameShape(QFrame::StyledPanel);
  grid_ = new QGridLayout(panel);
  grid_->setContentsMargins(4, 2, 4, 4);
  grid_->setHorizontalSpacing(4);
  grid_->setVerticalSpacing(2);
  grid_->addWidget(new QLabel(QStringLiteral("接続先情報"), panel), 0, 0, 1, 4);
  next_field_row_ = 1;

  name_edit = Edit("Edit1", panel);
  host_edit = Edit("Edit2", panel);
  user_edit = Edit("Edit3", panel);
  password_edit = Edit("Edit4", panel);
  password_edit->setEchoMode(QLineEdit::Password);
  password_edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));  // "*"
  const QString captions[] = {QStringLiteral("登 録 名"), QStringLiteral("ホスト名"),
                              QStringLiteral("ユーザーＩＤ"), QStringLiteral("パスワード")};
  const auto edits = TextFields();
  for (int i = 0; i < 4; ++i) {
    grid_->addWidget(new QLabel(captions[i], panel), next_field_row_, 0);
    grid_->addWidget(edits[static_cast<size_t>(i)], next_field_row_++, 1);
  }
  // How data connections are opened; the order is DataConnectionMode's.
  data_mode_box = new QComboBox(panel);
  data_mode_box->setObjectName(QStringLiteral("cmbDataMode"));
  data_mode_box->addItems(
      {QStringLiteral("自動"), QStringLiteral("パッシブ"), QStringLiteral("アクティブ")});
  grid_->addWidget(new QLabel(QStringLiteral("データ接続"), panel), next_field_row_, 0);
  grid_->addWidget(data_mode_box, next_field_row_++, 1);
  // How names travel; the order is NameEncodingMode's.
  name_encoding_box = new QComboBox(panel);
  name_encoding_box->setObjectName(QStringLiteral("cmbNameEncoding"));
  name_encoding_box->addItems(
      {QStringLiteral("自動"), QStringLiteral("Shift-JIS"), QStringLiteral("UTF-8")});
  name_encoding_box->setToolTip(QStringLiteral(
      "サーバ上のファイル名の文字コード（自動: サーバがUTF-8に対応していればUTF-8）"));
  grid_->addWidget(new QLabel(QStringLiteral("名前の文字コード"), panel), next_field_row_, 0);
  grid_->addWidget(name_encoding_box, next_field_row_++, 1);
  last_field_ = name_encoding_box;

  add_button = MakeButton("Button6", QStringLiteral("追加"), panel);
  save_button = MakeButton("Button7", QStringLiteral("保存"), panel);
  cancel_add_button = MakeButton("Button8", QStringLiteral("追加中止"), panel);
  delete_button = MakeButton("Button9", QStringLiteral("削除"), panel);
  prev_button = MakeButton("Button4", QStringLiteral("前"), panel);
  next_button = MakeButton("Button5", QStringLiteral("次"), panel);
  grid_->addWidget(add_button, 1, 2);
  grid_->addWidget(save_button, 1, 3);
  grid_->addWidget(cancel_add_button, 2, 2);
  grid_->addWidget(delete_button, 2, 3);
  grid_->addWidget(prev_button, 3, 2);
  grid_->addWidget(next_button, 3, 3);
  auto* counter = new QHBoxLayout;
  counter_label = new QLabel(QStringLiteral("0"), panel);
  counter_label->setObjectName(QStringLiteral("LblCount"));
  counter_label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QFont cf = counter_label->font();
  cf.setPixelSize(15);
  counter_label->setFont(cf);
  SetColour(counter_label, QPalette::WindowText, kMaroon);
  counter->addWidget(counter_label, 1);
  counter->addWidget(new QLabel(QStringLiteral("件目"), panel));
  grid_->addLayout(counter, 4, 2, 1, 2);
  grid_->setColumnStretch(1, 1);
  top->addWidget(panel, 1);

  auto* connection_column = new QVBoxLayout;
  connect_button = MakeButton("Button1", QStringLiteral("接続"), this);
  disconnect_button = MakeButton("Button2", QStringLiteral("切断"), this);
  exit_button = MakeButton("Button3", QStringLiteral("終了"), this);
  connection_column->addWidget(connect_button);
  connection_column->addWidget(disconnect_button);
  connection_column->addWidget(exit_button);
  connection_column->addStretch(1);
  top->addLayout(connection_column);
}

std::array<QLineEdit*, 4> ProfilePanelWidget::TextFields() const {
  return {name_edit, host_edit, user_edit, password_edit};
}

transfer::DataConnectionMode ProfilePanelWidget::DataMode() const {
  return static_cast<transfer::DataConnectionMode>(data_mode_box->currentIndex());
}

transfer::NameEncodingMode ProfilePanelWidget::NameEncoding() const {
  return static_cast<transfer::NameEncodingMode>(name_encoding_box->currentIndex());
}

void ProfilePanelWidget::ShowProfile(const transfer::ProfilePanel& p, bool connected) {
  name_edit->setText(FromSjis(p.RegistrationName));
  host_edit->setText(FromSjis(p.HostName));
  user_edit->setText(FromSjis(p.UserId));
  password_edit->setText(FromSjis(p.Password));
  data_mode_box->setCurrentIndex(static_cast<int>(p.DataMode));
  name_encoding_box->setCurrentIndex(static_cast<int>(p.NameEncoding));
  counter_label->setText(QString::number(p.ProfileCounter));
  if (!connected) next_button->setEnabled(p.NextEnabled);
}

void ProfilePanelWidget::SetEditable(bool editable) {
  for (QWidget* w : std::initializer_list<QWidget*>{
           prev_button, next_button, add_button, save_button, cancel_add_button, delete_button,
           name_edit, host_edit, user_edit, password_edit, data_mode_box, name_encoding_box})
    w->setEnabled(editable);
  for (QWidget* w : added_fields_) w->setEnabled(editable);
}

void ProfilePanelWidget::AddField(const QString& caption, QWidget* field) {
  field->setParent(panel);
  // Below the buttons: the field may take their columns too.
  if (caption.isEmpty()) {
    grid_->addWidget(field, next_field_row_++, 0, 1, 4);
  } else {
    grid_->addWidget(new QLabel(caption, panel), next_field_row_, 0);
    grid_->addWidget(field, next_field_row_++, 1, 1, 3);
  }
  added_fields_.append(field);
  // Created after the buttons, the field would otherwise come last in the
  // window's Tab order.
  QList<QWidget*> stops;
  if (field->focusPolicy() & Qt::TabFocus) stops << field;
  for (QWidget* child : field->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (child->focusPolicy() & Qt::TabFocus) stops << child;
  for (QWidget* stop : stops) {
    QWidget::setTabOrder(last_field_, stop);
    last_field_ = stop;
  }
}

}  // namespace hemlo::transfer_ui
