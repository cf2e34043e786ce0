#pragma once
// The Ferrox window's profile part: the green panel "接続先情報" (Panel1)
// with the profile's fields and the buttons that walk and edit the profile
// list, and beside it the connection buttons 接続, 切断 and 終了.
// A view only: the window fills it from transfer::ProfilePanel and reads
// it back.
#include <QWidget>
#include <array>

#include "transfer/profiles.h"

class QComboBox;
class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace hemlo::transfer_ui {

class ProfilePanelWidget : public QWidget {
  Q_OBJECT

 public:
  explicit ProfilePanelWidget(QWidget* parent = nullptr);

  // Shows the current profile's fields and counter. "次" follows the
  // profile list only while no connection holds the panel.
  void ShowProfile(const transfer::ProfilePanel& profiles, bool connected);
  // The four text fields in the profile's order (name, host, user, password).
  std::array<QLineEdit*, 4> TextFields() const;
  transfer::DataConnectionMode DataMode() const;
  transfer::NameEncodingMode NameEncoding() const;
  // Fields and profile buttons, which a connection freezes.
  void SetEditable(bool editable);

  // Adds a captioned field below the others; it is frozen with them and
  // Tab reaches it after the fields above. A field without a caption takes
  // the caption's column too.
  void AddField(const QString& caption, QWidget* field);

  QFrame* panel = nullptr;                   // Panel1
  QLineEdit* name_edit = nullptr;            // Edit1 登録名
  QLineEdit* host_edit = nullptr;            // Edit2 ホスト名
  QLineEdit* user_edit = nullptr;            // Edit3 ユーザーＩＤ
  QLineEdit* password_edit = nullptr;        // Edit4 パスワード
  QComboBox* data_mode_box = nullptr;        // cmbDataMode: 自動, パッシブ, アクティブ
  QComboBox* name_encoding_box = nullptr;    // cmbNameEncoding: 自動, Shift-JIS, UTF-8
  QLabel* counter_label = nullptr;           // LblCount
  QPushButton* add_button = nullptr;         // Button6 追加
  QPushButton* save_button = nullptr;        // Button7 保存
  QPushButton* cancel_add_button = nullptr;  // Button8 追加中止
  QPushButton* delete_button = nullptr;      // Button9 削除
  QPushButton* prev_button = nullptr;        // Button4 前
  QPushButton* next_button = nullptr;        // Button5 次
  QPushButton* connect_button = nullptr;     // Button1 接続
  QPushButton* disconnect_button = nullptr;  // Button2 切断
  QPushButton* exit_button = nullptr;        // Button3 終了

 private:
  QGridLayout* grid_ = nullptr;
  int next_field_row_ = 0;
  QList<QWidget*> added_fields_;
  QWidget* last_field_ = nullptr;  // the end of the fields' Tab order
};

}  // namespace hemlo::transfer_ui
