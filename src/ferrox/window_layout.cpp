#include "ferrox/window_layout.h"

#include <QAction>
#include <QCheckBox>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "base/prompts.h"
#include "base/qt_prompts.h"
#include "ferrox/ftp_window_parts.h"
#include "ferrox/local_pane.h"
#include "ferrox/profile_panel_widget.h"
#include "ferrox/publish_profile_fields.h"
#include "ferrox/remote_pane.h"
#include "ferrox/status_line.h"
#include "ferrox/transfer_bar.h"

namespace hemlo::transfer_ui {

void WindowViews::SetStatus(const std::string& text) const {
  status->message->setText(QString::fromStdString(text));
}

QString WindowViews::Status() const { return status->message->text(); }

void WindowViews::ShowPlain(const QString& text) const {
  prompts->Message(kProgramTitle, text.toStdString(), Buttons::Ok, Icon::None);
}

WindowViews BuildWindowLayout(QWidget* window, transfer::SortState& sort, Prompts& prompts) {
  WindowViews v;
  v.prompts = &prompts;
  window->setWindowTitle(QStringLiteral("Ferrox"));
  // The Windows font name stands for the IPA font where that is what is installed.
  if (QFont::substitutes(QStringLiteral("ＭＳ ゴシック")).isEmpty())
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
  QFont f(QStringLiteral("ＭＳ ゴシック"));
  f.setPixelSize(12);
  window->setFont(f);
  window->setAutoFillBackground(true);
  SetColour(window, QPalette::Window, Qt::black);
  SetColour(window, QPalette::WindowText, Qt::white);
  window->resize(480, 480);
  window->setMinimumSize(480, 480);

  auto* root = new QVBoxLayout(window);
  root->setContentsMargins(4, 4, 4, 0);
  root->setSpacing(3);
  v.profile = new ProfilePanelWidget(window);
  root->addWidget(v.profile);
  v.site_fields = new PublishProfileFields(window);
  v.profile->AddField(QStringLiteral("サイトフォルダ"), v.site_fields->site_row);
  v.profile->AddField(QStringLiteral("公開先フォルダ"), v.site_fields->publish_edit);
  v.profile->AddField(QStringLiteral("同時接続数"), v.site_fields->connections_row);
  v.profile->AddField(QStringLiteral("除外するファイル"), v.site_fields->exclusions_edit);
  v.remote = new RemotePane(window);
  root->addWidget(v.remote, 1);
  v.transfer_bar = new TransferBar(window);
  v.publish_button = MakeButton("btnPublishChanges", QStringLiteral("↑変更分を公開"), v.transfer_bar);
  v.publish_button->setToolTip(QStringLiteral("サイトフォルダの変更分を確かめてから公開します"));
  v.transfer_bar->AddCommand(v.publish_button);
  // On the publish button's own menu: the bar has no room for another at its start width.
  v.undo_publish_action = new QAction(QStringLiteral("前回の公開を取り消す"), v.publish_button);
  v.undo_publish_action->setObjectName(QStringLiteral("actUndoPublish"));
  v.publish_button->setContextMenuPolicy(Qt::ActionsContextMenu);
  v.publish_button->addAction(v.undo_publish_action);
  root->addWidget(v.transfer_bar);
  v.local = new LocalPane(sort, window);
  v.local->setFixedHeight(150);
  root->addWidget(v.local);
  v.status = new StatusLine(window);
  root->addWidget(v.status);
  v.password_in_file_box =
      new QCheckBox(QStringLiteral("パスワードをFerrox.iniに保存する（暗号化されません）"));
  v.password_in_file_box->setObjectName(QStringLiteral("chkPasswordInFile"));
  v.profile->AddField(QString(), v.password_in_file_box);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
  }
  return v;
}

}  // namespace hemlo::transfer_ui
