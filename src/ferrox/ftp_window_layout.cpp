// The Ferrox window's parts, their places, and the connections from their
// signals to the window's handlers and request signals.
#include <QAction>
#include <QCheckBox>
#include <QFont>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_parts.h"
#include "ferrox/local_pane.h"
#include "ferrox/profile_panel_widget.h"
#include "ferrox/publish_profile_fields.h"
#include "ferrox/remote_pane.h"
#include "ferrox/status_line.h"
#include "ferrox/transfer_bar.h"

namespace hemlo {

void TFtp1::BuildLayout() {
  setWindowTitle(QStringLiteral("Ferrox"));
  // The Windows font name stands for the IPA font where that is what is installed.
  if (QFont::substitutes(QStringLiteral("ＭＳ ゴシック")).isEmpty())
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
  QFont f(QStringLiteral("ＭＳ ゴシック"));
  f.setPixelSize(12);
  setFont(f);
  setAutoFillBackground(true);
  transfer_ui::SetColour(this, QPalette::Window, Qt::black);
  transfer_ui::SetColour(this, QPalette::WindowText, Qt::white);
  resize(480, 480);
  setMinimumSize(480, 480);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(4, 4, 4, 0);
  root->setSpacing(3);
  profile_ = new transfer_ui::ProfilePanelWidget(this);
  root->addWidget(profile_);
  site_fields_ = new transfer_ui::PublishProfileFields(this);
  profile_->AddField(QStringLiteral("サイトフォルダ"), site_fields_->site_row);
  profile_->AddField(QStringLiteral("公開先フォルダ"), site_fields_->publish_edit);
  profile_->AddField(QStringLiteral("同時接続数"), site_fields_->connections_row);
  profile_->AddField(QStringLiteral("除外するファイル"), site_fields_->exclusions_edit);
  remote_ = new transfer_ui::RemotePane(this);
  remote_->list->setItemDelegate(transfer_ui::MakeRenameDelegate(
      this,
      {[this] { return ClientBusy(); }, [this](int row) { BeginRename(row); },
       [this](int row, const QString& text) { EndRename(row, text); },
       [this] { CancelRename(); }},
      remote_->list));
  root->addWidget(remote_, 1);
  transfer_bar_ = new transfer_ui::TransferBar(this);
  auto* publish =
      transfer_ui::MakeButton("btnPublishChanges", QStringLiteral("↑変更分を公開"), transfer_bar_);
  publish->setToolTip(QStringLiteral("サイトフォルダの変更分を確かめてから公開します"));
  transfer_bar_->AddCommand(publish);
  connect(publish, &QPushButton::clicked, this, &TFtp1::publishChangesRequested);
  // On the publish button's own menu: the bar has no room for another at its start width.
  auto* undo_publish = new QAction(QStringLiteral("前回の公開を取り消す"), publish);
  undo_publish->setObjectName(QStringLiteral("actUndoPublish"));
  publish->setContextMenuPolicy(Qt::ActionsContextMenu);
  publish->addAction(undo_publish);
  connect(undo_publish, &QAction::triggered, this, &TFtp1::undoPublishRequested);
  root->addWidget(transfer_bar_);
  local_ = new transfer_ui::LocalPane(Sort_, this);
  local_->setFixedHeight(150);
  root->addWidget(local_);
  status_ = new transfer_ui::StatusLine(this);
  root->addWidget(status_);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void TFtp1::WireControls() {
  transfer_ui::RemoteListView* remote_list = remote_->list;
  transfer_ui::FileListView* local_list = local_->file_list;
  connect(remote_list->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this, remote_list](int c) { ColumnClick(remote_list, c); });
  connect(local_list->header(), &QHeaderView::sectionClicked, this,
          [this, local_list](int c) { ColumnClick(local_list, c); });
  connect(remote_list, &transfer_ui::RemoteListView::rowsDropped, this,
          &TFtp1::uploadSelectedRequested);
  connect(remote_list, &transfer_ui::RemoteListView::filesDropped, this,
          [this](const std::vector<std::string>& paths) { DropOnRemote(paths); });
  connect(remote_list, &QTableView::doubleClicked, this, &TFtp1::ListView1DblClick);
  connect(remote_->permission_action, &QAction::triggered, this, &TFtp1::permissionRequested);
  connect(remote_->create_folder_action, &QAction::triggered, this,
          &TFtp1::remoteCreateFolderRequested);
  connect(remote_->delete_action, &QAction::triggered, this, &TFtp1::remoteDeleteRequested);
  connect(remote_->up_button, &QToolButton::clicked, this, &TFtp1::BitBtn1Click);
  connect(local_list, &transfer_ui::FileListView::rowsDropped, this,
          &TFtp1::downloadSelectedRequested);
  connect(local_->make_folder_action, &QAction::triggered, this, [this] { mnuMakeFolderClick(); });
  connect(local_->delete_folder_action, &QAction::triggered, this,
          [this] { mnuDeleteFolderClick(); });
  connect(local_->rename_folder_action, &QAction::triggered, this,
          [this] { mnuRenameFolderClick(); });
  connect(local_->delete_files_action, &QAction::triggered, this,
          [this] { mnuDeleteFilesClick(); });

  const transfer_ui::ProfilePanelWidget* p = profile_;
  connect(p->connect_button, &QPushButton::clicked, this, &TFtp1::Button1Click);
  connect(p->disconnect_button, &QPushButton::clicked, this, &TFtp1::Button2Click);
  connect(p->exit_button, &QPushButton::clicked, this, &TFtp1::Button3Click);
  connect(p->prev_button, &QPushButton::clicked, this, &TFtp1::Button4Click);
  connect(p->next_button, &QPushButton::clicked, this, &TFtp1::Button5Click);
  connect(p->add_button, &QPushButton::clicked, this, &TFtp1::Button6Click);
  connect(p->save_button, &QPushButton::clicked, this, &TFtp1::Button7Click);
  connect(p->cancel_add_button, &QPushButton::clicked, this, &TFtp1::Button8Click);
  connect(p->delete_button, &QPushButton::clicked, this, &TFtp1::Button9Click);
  const transfer_ui::TransferBar* t = transfer_bar_;
  connect(t->upload_button, &QPushButton::clicked, this, &TFtp1::uploadSelectedRequested);
  connect(t->download_button, &QPushButton::clicked, this, &TFtp1::downloadSelectedRequested);
  connect(t->folder_upload_button, &QPushButton::clicked, this, &TFtp1::folderUploadRequested);
  connect(t->select_all_box, &QCheckBox::toggled, this, &TFtp1::CheckBox1Click);
}

}  // namespace hemlo
