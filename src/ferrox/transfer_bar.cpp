#include "ferrox/transfer_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "ferrox/ftp_window_parts.h"

namespace hemlo::transfer_ui {

TransferBar::TransferBar(QWidget* parent) : QWidget(parent) {
  row_ = new QHBoxLayout(this);
  row_->setContentsMargins(0, 0, 0, 0);
  folder_upload_button = MakeButton("Button11", QStringLiteral("↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ"), this);
  row_->addWidget(folder_upload_button);
  left_commands_ = 1;
  row_->addStretch(1);
  row_->addWidget(new QLabel(QStringLiteral("転送ﾓｰﾄﾞ"), this));
  mode_box = new QComboBox(this);
  mode_box->setObjectName(QStringLiteral("ComboBox1"));
  mode_box->addItems({QStringLiteral("ｱｽｷｰ"), QStringLiteral("ﾊﾞｲﾅﾘ")});
  row_->addWidget(mode_box);
  upload_button = MakeButton("Button10", QStringLiteral("▲"), this);
  upload_button->setToolTip(QStringLiteral("アップロードします"));
  download_button = MakeButton("Button16", QStringLiteral("▼"), this);
  download_button->setToolTip(QStringLiteral("ダウンロードします"));
  // The arrows need little room; the captions beside them need it all at
  // the window's fixed width.
  for (QPushButton* arrow : {upload_button, download_button}) arrow->setMaximumWidth(32);
  row_->addWidget(upload_button);
  row_->addWidget(download_button);
  select_all_box = new QCheckBox(QStringLiteral("全選択"), this);
  select_all_box->setObjectName(QStringLiteral("CheckBox1"));
  row_->addWidget(select_all_box);
}

transfer::TransferMode TransferBar::Mode() const {
  return mode_box->currentIndex() == 0 ? transfer::TransferMode::kAscii
                                       : transfer::TransferMode::kBinary;
}

void TransferBar::SetCommandsEnabled(bool enabled) {
  for (QPushButton* b : {folder_upload_button, upload_button, download_button})
    b->setEnabled(enabled);
  for (QPushButton* b : added_) b->setEnabled(enabled);
}

void TransferBar::AddCommand(QPushButton* button) {
  button->setParent(this);
  row_->insertWidget(left_commands_++, button);
  added_.append(button);
}

}  // namespace hemlo::transfer_ui
