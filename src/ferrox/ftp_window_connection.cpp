// The Ferrox window's profile panel and connection: the six profile
// buttons, "接続", "切断" and the client's connect/disconnect events.
#include <QCheckBox>
#include <algorithm>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "base/program_folder.h"
#include "text/cp932.h"
#include "ftp/id_exception.h"
#include "transfer/certificate_check.h"
#include "transfer/ferrox_files.h"
#include "ferrox/ftp_window.h"
#include "ferrox/publish_profile_fields.h"
#include "transfer/profile_secrets.h"
#include "ferrox/ftp_window_parts.h"
#include "ferrox/profile_keeper.h"
#include "ferrox/profile_panel_widget.h"
#include "ferrox/remote_list_model.h"
#include "ferrox/remote_pane.h"

namespace hemlo {

using transfer_ui::FromSjis;
using transfer_ui::NameText;
using transfer_ui::ToSjis;

void TFtp1::ShowProfileFields() {
  profile_->ShowProfile(Profiles_, connected_);
  site_fields_->Show(Profiles_);
  password_in_file_box_->setChecked(Profiles_.PasswordInFile);
  password_in_file_box_->setEnabled(!connected_);
  remote_->folder_label->setText(
      NameText(transfer::NamesOfStoredFolder(Profiles_.NameEncoding, Profiles_.LastRemoteFolder),
               Profiles_.LastRemoteFolder));
}

bool TFtp1::TakeProfileFields() {
  std::string* fields[] = {&Profiles_.RegistrationName, &Profiles_.HostName, &Profiles_.UserId,
                           &Profiles_.Password};
  const auto edits = profile_->TextFields();
  std::string values[4];
  for (size_t i = 0; i < 4; ++i) {
    const QString t = edits[i]->text();
    const auto sjis = ToSjis(t);
    // A line break would split the profile's line in the file.
    if (!sjis || t.contains(QLatin1Char('\r')) || t.contains(QLatin1Char('\n'))) {
      ShowPlain(QStringLiteral("「%1」にはShift-JISで表せない文字が含まれています").arg(t));
      edits[i]->setFocus();
      return false;
    }
    values[i] = *sjis;
  }
  QString error;
  if (!site_fields_->Take(Profiles_, &error)) {
    ShowPlain(error);
    site_fields_->site_edit->setFocus();
    return false;
  }
  for (size_t i = 0; i < 4; ++i) *fields[i] = values[i];
  Profiles_.DataMode = profile_->DataMode();
  Profiles_.NameEncoding = profile_->NameEncoding();
  Profiles_.PasswordInFile = password_in_file_box_->isChecked();
  return true;
}

void TFtp1::Button4Click() {
  Profiles_.PrevClick();
  ShowProfileFields();
}

void TFtp1::Button5Click() {
  Profiles_.NextClick();
  ShowProfileFields();
}

void TFtp1::Button6Click() {
  Profiles_.AddClick();
  ShowProfileFields();
}

void TFtp1::Button7Click() {
  if (!TakeProfileFields()) return;
  const size_t n = size_t(std::max(Profiles_.ProfileCounter, 1));
  const std::string before = n <= Profiles_.ProfileList.size() ? Profiles_.ProfileList[n - 1] : "";
  if (!Profiles_.SaveClick()) {
    ShowPlain(QStringLiteral("4つとも記入してください"));
    return;
  }
  profile_file_->Saved(before, Profiles_.ProfileList[n - 1], !Profiles_.Password.empty());
  ShowProfileFields();
  if (profile_file_->SessionOnlyPasswords()) profile_file_->NoteNotKept();
}

void TFtp1::Button8Click() {
  Profiles_.CancelAddClick();
  ShowProfileFields();
}

void TFtp1::Button9Click() {
  const int n = Profiles_.ProfileCounter;
  if (n >= 1 && n <= Profiles_.Count())
    profile_file_->Deleted(Profiles_.ProfileList[size_t(n - 1)]);
  Profiles_.DeleteClick();
  ShowProfileFields();
}

void TFtp1::OnClientConnected() {
  connected_ = true;
  profile_->connect_button->setEnabled(false);
  profile_->disconnect_button->setEnabled(!ClientBusy());
  profile_->SetEditable(false);
  SetStatusText("接続成功");
}

void TFtp1::OnClientDisconnected() {
  connected_ = false;
  SetStatusText("切断成功");
  profile_->connect_button->setEnabled(!ClientBusy());
  profile_->disconnect_button->setEnabled(false);
  profile_->SetEditable(true);
}

void TFtp1::ApplyDataMode(transfer::DataConnectionMode mode) {
  using transfer::DataConnectionMode;
  IdFTP1.Passive = false;  // the mode alone decides
  IdFTP1.DataMode = mode == DataConnectionMode::kPassive  ? ftp::TIdDataMode::dmPassive
                    : mode == DataConnectionMode::kActive ? ftp::TIdDataMode::dmActive
                                                          : ftp::TIdDataMode::dmAuto;
}

void TFtp1::Button1Click() {
  if (connected_ || ClientBusy()) return;
  SetStatusText("接続中...");
  const auto host = ToSjis(profile_->host_edit->text());
  // SSH carries the user name and password as UTF-8, as a typed password
  // already goes; only FTP sends the profile's Shift-JIS bytes.
  if (const auto sftp_host = host ? transfer::ParseSftpHost(*host) : std::nullopt) {
    // An empty password field: the keyring's, where it holds one.
    std::optional<transfer::SecretKey> key;
    if (profile_->password_edit->text().isEmpty()) key = ShownPasswordKey();
    ConnectSftp(*sftp_host, profile_->user_edit->text().toStdString(),
                profile_->password_edit->text().toStdString(), std::move(key));
    return;
  }
  const auto user = ToSjis(profile_->user_edit->text());
  const auto password = ToSjis(profile_->password_edit->text());
  if (!host || !user || !password) {
    ShowPlain(QStringLiteral("Shift-JISで表せない文字が含まれているため接続できません"));
    return;
  }
  // A profile that keeps no password here: the one given earlier in the
  // session, else the keyring's (asked on the worker: the window never
  // waits for it), else the user is asked.
  transfer::FtpLogin login;
  login.host = *host;
  login.user = *user;
  login.password = *password;
  login.key = ShownPasswordKey();
  login.question = "ユーザー「" + profile_->user_edit->text().toStdString() + "」（" +
                   profile_->host_edit->text().toStdString() + "）のパスワード";
  login.folder = Profiles_.LastRemoteFolder;
  login.encoding = profile_->NameEncoding();
  if (login.password.empty() && !transfer::AnonymousUser(*user)) {
    if (auto kept = connection_->Passwords().Find(*host, *user)) {
      login.password = *kept;
    } else if (keyring_->Usable()) {
      login.ask_keyring = true;
    } else {
      const auto answer = prompts_->Password("パスワード", login.question);
      const auto sjis = answer ? ToSjis(QString::fromStdString(*answer)) : std::nullopt;
      if (!answer || !sjis) {
        SetStatusText(answer ? transfer::kUnsayablePassword : transfer::kConnectionDeclined);
        return;
      }
      login.password = *sjis;
    }
    login.remember = !login.password.empty();
  }
  connection_->UseFtp();
  ApplyDataMode(profile_->DataMode());
  RunClientCommand(
      [this, login] { connection_->ConnectFtp(login, transfer_ui::RemoteListModel::kBatchRows); });
}

bool TFtp1::VerifyCertificate(const ftp::TIdCertificateInfo& info) {
  const transfer::CertificateVerdict v =
      transfer::CheckCertificate(info, IdFTP1.Host, IdFTP1.Port, ProgramFolder(), *prompts_);
  if (!v.storage_error.empty()) prompts_->Error(v.storage_error);
  call_.ConnectDeclined(v.asked && !v.accept);
  return v.accept;
}

void TFtp1::Button2Click() {
  if (ClientBusy()) return;  // the client is the worker's until its command ends
  remote_->model->Clear();
  DisconnectRemote();
  // The profile remembers the folder the connection ended in.
  if (TakeProfileFields()) Profiles_.WriteBack();
}

}  // namespace hemlo
