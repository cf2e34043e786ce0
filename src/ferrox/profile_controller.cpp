#include "ferrox/profile_controller.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "base/prompts.h"
#include "ferrox/ftp_window_parts.h"
#include "ferrox/profile_keeper.h"
#include "ferrox/profile_panel_widget.h"
#include "ferrox/publish_profile_fields.h"
#include "ferrox/remote_pane.h"
#include "text/cp932.h"
#include "transfer/desktop_keyring.h"
#include "transfer/ferrox_files.h"

namespace hemlo::transfer_ui {

ProfileController::ProfileController(const WindowViews& views, transfer::Connection& connection,
                                     transfer::ProfilePanel& profiles,
                                     std::function<bool()> connected)
    : v_(views), connection_(connection), profiles_(profiles), connected_(std::move(connected)) {
  ProfileKeeper::Owner owner;
  owner.post = [this](std::function<void()> fn) { connection_.Post(std::move(fn)); };
  owner.set_status = [this](const std::string& text) { v_.SetStatus(text); };
  owner.status = [this] { return v_.Status().toStdString(); };
  owner.error = [this](const std::string& text) { v_.prompts->Error(text); };
  owner.lines = [this]() -> const std::vector<std::string>& { return profiles_.ProfileList; };
  file_ = std::make_unique<ProfileKeeper>(std::make_unique<transfer::DesktopKeyring>(),
                                          std::move(owner));
  keyring_ = &file_->Keyring();
  connection_.UseKeyring(keyring_);
  keyring_->SetOnOutOfUse([this] {
    // From now on the box is the only way to keep a password past the session.
    v_.password_in_file_box->setVisible(true);
    file_->NoteNotKept();
  });
  // Known without asking the keyring; one that fails later shows it then.
  v_.password_in_file_box->setVisible(!keyring_->Present());
}

ProfileController::~ProfileController() = default;

void ProfileController::Load() {
  profiles_.Load(file_->Read());
  Show();
}

void ProfileController::WriteAtQuit() {
  if (!profiles_.ProfileList.empty()) file_->Write(false);
}

void ProfileController::Show() {
  const bool connected = connected_();
  v_.profile->ShowProfile(profiles_, connected);
  v_.site_fields->Show(profiles_);
  v_.password_in_file_box->setChecked(profiles_.PasswordInFile);
  v_.password_in_file_box->setEnabled(!connected);
  v_.remote->folder_label->setText(
      NameText(transfer::NamesOfStoredFolder(profiles_.NameEncoding, profiles_.LastRemoteFolder),
               profiles_.LastRemoteFolder));
}

bool ProfileController::Take() {
  std::string* fields[] = {&profiles_.RegistrationName, &profiles_.HostName, &profiles_.UserId,
                           &profiles_.Password};
  const auto edits = v_.profile->TextFields();
  std::string values[4];
  for (size_t i = 0; i < 4; ++i) {
    const QString t = edits[i]->text();
    const auto sjis = ToSjis(t);
    // A line break would split the profile's line in the file.
    if (!sjis || t.contains(QLatin1Char('\r')) || t.contains(QLatin1Char('\n'))) {
      v_.ShowPlain(QStringLiteral("「%1」にはShift-JISで表せない文字が含まれています").arg(t));
      edits[i]->setFocus();
      return false;
    }
    values[i] = *sjis;
  }
  QString error;
  if (!v_.site_fields->Take(profiles_, &error)) {
    v_.ShowPlain(error);
    v_.site_fields->site_edit->setFocus();
    return false;
  }
  for (size_t i = 0; i < 4; ++i) *fields[i] = values[i];
  profiles_.DataMode = v_.profile->DataMode();
  profiles_.NameEncoding = v_.profile->NameEncoding();
  profiles_.PasswordInFile = v_.password_in_file_box->isChecked();
  return true;
}

void ProfileController::Previous() {
  profiles_.PrevClick();
  Show();
}

void ProfileController::Next() {
  profiles_.NextClick();
  Show();
}

void ProfileController::Add() {
  profiles_.AddClick();
  Show();
}

void ProfileController::Save() {
  if (!Take()) return;
  const size_t n = size_t(std::max(profiles_.ProfileCounter, 1));
  const std::string before = n <= profiles_.ProfileList.size() ? profiles_.ProfileList[n - 1] : "";
  if (!profiles_.SaveClick()) {
    v_.ShowPlain(QStringLiteral("4つとも記入してください"));
    return;
  }
  file_->Saved(before, profiles_.ProfileList[n - 1], !profiles_.Password.empty());
  Show();
  if (file_->SessionOnlyPasswords()) file_->NoteNotKept();
}

void ProfileController::CancelAdd() {
  profiles_.CancelAddClick();
  Show();
}

void ProfileController::Delete() {
  const int n = profiles_.ProfileCounter;
  if (n >= 1 && n <= profiles_.Count()) file_->Deleted(profiles_.ProfileList[size_t(n - 1)]);
  profiles_.DeleteClick();
  Show();
}

transfer::SecretKey ProfileController::ShownPasswordKey() const {
  const auto edits = v_.profile->TextFields();
  return {"password", edits[0]->text().toStdString(), edits[1]->text().toStdString(),
          edits[2]->text().toStdString()};
}

bool ProfileController::StoreSiteFolder(const std::string& folder) {
  const auto sjis = text::Utf8ToCp932(folder);
  if (!sjis) {
    v_.ShowPlain(
        QStringLiteral("「%1」はShift-JISで表せない文字を含むため、サイトフォルダにできません")
            .arg(QString::fromStdString(folder)));
    return false;
  }
  if (profiles_.StoreSiteFolder(*sjis)) {
    // The keyring is not asked here: a folder given is no new password.
    file_->Write(false);
  } else {
    profiles_.SiteFolder = *sjis;  // a profile being entered keeps it until 保存
  }
  v_.site_fields->Show(profiles_);
  return true;
}

void ProfileController::StorePublishFolder(const std::string& folder) {
  if (profiles_.StorePublishFolder(folder)) {
    file_->Write(false);
  } else {
    profiles_.PublishFolder = folder;
  }
  v_.site_fields->Show(profiles_);
}

bool ProfileController::ShowStored(int n) {
  if (connected_() || connection_.Call().Active() || n < 1 || n > profiles_.Count()) return false;
  profiles_.ShowProfile(n);
  profiles_.NextEnabled = true;
  Show();
  return true;
}

}  // namespace hemlo::transfer_ui
