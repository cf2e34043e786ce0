// The Ferrox window's profile panel and connection: the six profile
// buttons, "接続", "切断" and the client's connect/disconnect events.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "base/program_folder.h"
#include "transfer/certificate_check.h"
#include "transfer/ferrox_files.h"
#include "transfer/ftp_window.h"
#include "transfer/ftp_window_parts.h"
#include "transfer/remote_list_model.h"

namespace hemlo {

using transfer_ui::FromSjis;
using transfer_ui::NameText;
using transfer_ui::ToSjis;

void TFtp1::ShowProfileFields() {
  Edit1->setText(FromSjis(Profiles_.RegistrationName));
  Edit2->setText(FromSjis(Profiles_.HostName));
  Edit3->setText(FromSjis(Profiles_.UserId));
  Edit4->setText(FromSjis(Profiles_.Password));
  cmbDataMode->setCurrentIndex(static_cast<int>(Profiles_.DataMode));
  cmbNameEncoding->setCurrentIndex(static_cast<int>(Profiles_.NameEncoding));
  Label5->setText(
      NameText(transfer::NamesOfStoredFolder(Profiles_.NameEncoding, Profiles_.LastRemoteFolder),
               Profiles_.LastRemoteFolder));
  LblCount->setText(QString::number(Profiles_.ProfileCounter));
  if (!connected_) Button5->setEnabled(Profiles_.NextEnabled);
}

bool TFtp1::TakeProfileFields() {
  std::string* fields[] = {&Profiles_.RegistrationName, &Profiles_.HostName, &Profiles_.UserId,
                           &Profiles_.Password};
  QLineEdit* edits[] = {Edit1, Edit2, Edit3, Edit4};
  std::string values[4];
  for (int i = 0; i < 4; ++i) {
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
  for (int i = 0; i < 4; ++i) *fields[i] = values[i];
  Profiles_.DataMode = static_cast<transfer::DataConnectionMode>(cmbDataMode->currentIndex());
  Profiles_.NameEncoding = static_cast<transfer::NameEncodingMode>(cmbNameEncoding->currentIndex());
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
  if (!Profiles_.SaveClick()) {
    ShowPlain(QStringLiteral("4つとも記入してください"));
    return;
  }
  const auto r = transfer::WriteProfileFile(ProgramFolder(), Profiles_.ProfileList);
  if (!r.ok) prompts_->Error(r.error);
  ShowProfileFields();
}

void TFtp1::Button8Click() {
  Profiles_.CancelAddClick();
  ShowProfileFields();
}

void TFtp1::Button9Click() {
  Profiles_.DeleteClick();
  ShowProfileFields();
}

void TFtp1::SetProfileControlsEnabled(bool enabled) {
  for (QWidget* w :
       std::initializer_list<QWidget*>{Button4, Button5, Button6, Button7, Button8, Button9, Edit1,
                                       Edit2, Edit3, Edit4, cmbDataMode, cmbNameEncoding})
    w->setEnabled(enabled);
}

void TFtp1::OnClientConnected() {
  connected_ = true;
  Button1->setEnabled(false);
  Button2->setEnabled(!ClientBusy());
  SetProfileControlsEnabled(false);
  SetStatusText("接続成功");
}

void TFtp1::OnClientDisconnected() {
  connected_ = false;
  SetStatusText("切断成功");
  Button1->setEnabled(!ClientBusy());
  Button2->setEnabled(false);
  SetProfileControlsEnabled(true);
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
  const auto host = ToSjis(Edit2->text());
  const auto user = ToSjis(Edit3->text());
  const auto password = ToSjis(Edit4->text());
  if (!host || !user || !password) {
    ShowPlain(QStringLiteral("Shift-JISで表せない文字が含まれているため接続できません"));
    return;
  }
  ApplyDataMode(static_cast<transfer::DataConnectionMode>(cmbDataMode->currentIndex()));
  RunClientCommand([this, host = *host, user = *user, password = *password,
                    folder = Profiles_.LastRemoteFolder,
                    encoding =
                        static_cast<transfer::NameEncodingMode>(cmbNameEncoding->currentIndex())] {
    Session_.Connect(host, user, password, folder, encoding);
    if (!IdFTP1.Connected()) return;
    if (IdFTP1.UseTLS)
      PostToWindow([this] { SetStatusText(std::string("接続成功") + transfer::kEncryptedMark); });
    ListRemoteFolder();
  });
}

bool TFtp1::VerifyCertificate(const ftp::TIdCertificateInfo& info) {
  const transfer::CertificateVerdict v =
      transfer::CheckCertificate(info, IdFTP1.Host, IdFTP1.Port, ProgramFolder(), *prompts_);
  if (!v.storage_error.empty()) prompts_->Error(v.storage_error);
  certificate_declined_ = v.asked && !v.accept;
  return v.accept;
}

void TFtp1::Button2Click() {
  if (ClientBusy()) return;  // the client is the worker's until its command ends
  RemoteModel_->Clear();
  IdFTP1.Disconnect();
  // The profile remembers the folder the connection ended in.
  if (TakeProfileFields()) Profiles_.WriteBack();
}

}  // namespace hemlo
