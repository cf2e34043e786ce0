#pragma once
// The Ferrox window's row of transfer commands between the two lists:
// ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ (Button11), the transfer mode (ComboBox1), ▲ (Button10),
// ▼ (Button16) and 全選択 (CheckBox1).
#include <QList>
#include <QWidget>

#include "remote/transfer_mode.h"

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QPushButton;

namespace hemlo::transfer_ui {

class TransferBar : public QWidget {
  Q_OBJECT

 public:
  explicit TransferBar(QWidget* parent = nullptr);

  transfer::TransferMode Mode() const;
  // Every button that starts a transfer: off while a command runs.
  void SetCommandsEnabled(bool enabled);
  // Adds a transfer command after the ones on the left; it is switched
  // with them.
  void AddCommand(QPushButton* button);

  QPushButton* folder_upload_button = nullptr;  // Button11 ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ
  QComboBox* mode_box = nullptr;                // ComboBox1: ｱｽｷｰ, ﾊﾞｲﾅﾘ
  QPushButton* upload_button = nullptr;         // Button10 ▲
  QPushButton* download_button = nullptr;       // Button16 ▼
  QCheckBox* select_all_box = nullptr;          // CheckBox1 全選択

 private:
  QHBoxLayout* row_ = nullptr;
  int left_commands_ = 0;
  QList<QPushButton*> added_;
};

}  // namespace hemlo::transfer_ui
