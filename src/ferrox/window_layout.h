#pragma once
// The Ferrox window's parts, built top to bottom into the window, and the
// few things every controller of the window does with them.
#include <QString>
#include <string>

class QAction;
class QCheckBox;
class QPushButton;
class QWidget;

namespace hemlo {

class Prompts;
namespace transfer {
struct SortState;
}

namespace transfer_ui {

class LocalPane;
class ProfilePanelWidget;
class PublishProfileFields;
class RemotePane;
class StatusLine;
class TransferBar;

struct WindowViews {
  ProfilePanelWidget* profile = nullptr;        // Panel1 and 接続, 切断, 終了
  RemotePane* remote = nullptr;                 // Label5, BitBtn1, ListView1
  PublishProfileFields* site_fields = nullptr;  // サイトフォルダ, 同時接続数
  TransferBar* transfer_bar = nullptr;  // ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ, 転送ﾓｰﾄﾞ, ▲, ▼, 全選択
  LocalPane* local = nullptr;           // drive box, folder list, ListView2
  StatusLine* status = nullptr;         // StatusBar1
  // Shown only where no keyring runs: the password kept in Ferrox.ini.
  QCheckBox* password_in_file_box = nullptr;
  QPushButton* publish_button = nullptr;  // ↑変更分を公開
  QAction* undo_publish_action = nullptr;  // 前回の公開を取り消す, on its menu
  Prompts* prompts = nullptr;

  // Status panel 0 (UTF-8).
  void SetStatus(const std::string& text) const;
  QString Status() const;
  // A message with only OK, under the program's title.
  void ShowPlain(const QString& text) const;
};

// Gives `window` its font, colours, size and parts; `sort` is the state
// both file lists sort by.
WindowViews BuildWindowLayout(QWidget* window, transfer::SortState& sort, Prompts& prompts);

}  // namespace transfer_ui
}  // namespace hemlo
