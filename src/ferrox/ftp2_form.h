#pragma once
// The permission dialog "パーミション設定" (Ftp2). Created once at start-up,
// hidden; the Ferrox window fills it from a remote row and shows it modally.
#include <QDialog>
#include <array>
#include <functional>
#include <string>

#include "base/prompts.h"
#include "ftp/id_ftp.h"
#include "transfer/permission.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace hemlo::transfer {

class TFtp2 : public QDialog {
  Q_OBJECT

 public:
  explicit TFtp2(QWidget* parent = nullptr);

  // "パーミション" on a row: fills the boxes, digits, Edit1 and Label4.
  // `shown` is the name as the remote list shows it (empty: decode the
  // bytes as Shift-JIS).
  void Prepare(const std::string& name_sjis, const std::string& letters, const QString& shown = {});
  // Shows the dialog modally; "変更" sends through `ftp` and then calls
  // `refresh_remote_list`. Returns QDialog::Accepted when a mode was sent.
  int Run(ftp::TIdFTP& ftp, Prompts& prompts, std::function<void()> refresh_remote_list);
  // Shows the dialog modally; "変更" hands the mode to `send`, which sends
  // it elsewhere and reports back through Finish.
  using Sender = std::function<void(const PermissionModel&)>;
  int Run(Sender send);
  // The end of what `send` started: the dialog closes when the mode was
  // taken or nothing more can be sent, and stays open otherwise.
  void Finish(bool applied, bool connected);

  // Mirrors the controls; tests read it.
  const PermissionModel& Model() const { return model_; }

  void Button1Click();

 private:
  // Tests find these by their object names.
  std::array<QCheckBox*, 9> CheckBoxes{};  // CheckBox1..CheckBox9
  QGroupBox* GroupBox1 = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QGroupBox* GroupBox3 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QPushButton* Button1 = nullptr;  // 変更
  QPushButton* Button2 = nullptr;  // 閉じる

  void CheckBoxClick(int k);
  void ShowModel();

  PermissionModel model_;
  QString shown_;  // Label4
  bool updating_ = false;
  ftp::TIdFTP* ftp_ = nullptr;
  Prompts* prompts_ = nullptr;
  std::function<void()> refresh_;
  Sender send_;
  int Show();
};

}  // namespace hemlo::transfer
