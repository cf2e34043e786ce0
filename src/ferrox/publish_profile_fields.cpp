#include "ferrox/publish_profile_fields.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "ferrox/ftp_window_parts.h"
#include "remote/remote_session.h"

namespace hemlo::transfer_ui {

PublishProfileFields::PublishProfileFields(QWidget* owner) : QObject(owner) {
  site_row = new QWidget(owner);
  auto* row = new QHBoxLayout(site_row);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(2);
  site_edit = new QLineEdit(site_row);
  site_edit->setObjectName(QStringLiteral("edSiteFolder"));
  site_edit->setToolTip(QStringLiteral("↑変更分を公開で送るローカルのフォルダ"));
  site_button = MakeButton("btnSiteFolder", QStringLiteral("…"), site_row);
  site_button->setToolTip(QStringLiteral("サイトフォルダを選びます"));
  site_button->setMaximumWidth(32);  // the path gets the room
  row->addWidget(site_edit, 1);
  row->addWidget(site_button);
  connections_row = new QWidget(owner);
  auto* counts = new QHBoxLayout(connections_row);
  counts->setContentsMargins(0, 0, 0, 0);
  counts->setSpacing(6);
  connections_box = new QSpinBox(connections_row);
  connections_box->setObjectName(QStringLiteral("spnConnections"));
  connections_box->setRange(transfer::kMinConnections, transfer::kMaxConnections);
  connections_box->setToolTip(QStringLiteral("公開のときに並行して使う接続の数"));
  folder_upload_box =
      new QCheckBox(QStringLiteral("ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞにも同時接続を使う"), connections_row);
  folder_upload_box->setObjectName(QStringLiteral("chkFolderUploadParallel"));
  folder_upload_box->setToolTip(
      QStringLiteral("↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞのファイルもこの数の接続で並行して送ります"));
  counts->addWidget(connections_box);
  counts->addWidget(folder_upload_box, 1);
  publish_edit = new QLineEdit(owner);
  publish_edit->setObjectName(QStringLiteral("edPublishFolder"));
  publish_edit->setToolTip(
      QStringLiteral("↑変更分を公開で送る先のサーバのフォルダ。空なら初めて公開するときに"
                     "表示中のフォルダに決まります"));
  exclusions_edit = new QLineEdit(owner);
  exclusions_edit->setObjectName(QStringLiteral("edExclusions"));
  exclusions_edit->setToolTip(
      QStringLiteral("↑変更分を公開で送らず、サーバでも削除しないファイル。空白で区切り、"
                     "* と ? が使えます。/ で終わるものはフォルダです"));
  connect(site_button, &QPushButton::clicked, this, [this] {
    const QString dir = QFileDialog::getExistingDirectory(
        site_row->window(), QStringLiteral("サイトフォルダの選択"), site_edit->text());
    if (!dir.isEmpty()) site_edit->setText(dir);
  });
}

void PublishProfileFields::Show(const transfer::ProfilePanel& profile) {
  site_edit->setText(FromSjis(profile.SiteFolder));
  connections_box->setValue(profile.Connections);
  folder_upload_box->setChecked(profile.FolderUploadParallel);
  publish_edit->setText(NameText(
      transfer::NamesOfStoredFolder(profile.NameEncoding, profile.PublishFolder),
      profile.PublishFolder));
  exclusions_edit->setText(FromSjis(profile.Exclusions));
}

bool PublishProfileFields::Take(transfer::ProfilePanel& profile, QString* error) const {
  const auto folder = ToSjis(site_edit->text());
  if (!folder) {
    if (error)
      *error = QStringLiteral("「%1」にはShift-JISで表せない文字が含まれています")
                   .arg(site_edit->text());
    return false;
  }
  // The server's bytes come back unchanged from an unedited text.
  const auto remote = NameBytes(
      transfer::NamesOfStoredFolder(profile.NameEncoding, profile.PublishFolder),
      publish_edit->text());
  if (!remote) {
    if (error)
      *error = QStringLiteral("「%1」にはサーバの文字コードで表せない文字が含まれています")
                   .arg(publish_edit->text());
    return false;
  }
  const auto exclusions = ToSjis(exclusions_edit->text().simplified());
  if (!exclusions) {
    if (error)
      *error = QStringLiteral("「%1」にはShift-JISで表せない文字が含まれています")
                   .arg(exclusions_edit->text());
    return false;
  }
  profile.SiteFolder = *folder;
  profile.Exclusions = *exclusions;
  profile.PublishFolder = *remote;
  profile.Connections = connections_box->value();
  profile.FolderUploadParallel = folder_upload_box->isChecked();
  return true;
}

}  // namespace hemlo::transfer_ui
