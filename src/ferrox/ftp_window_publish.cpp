// The Ferrox window's side of publishing what changed: the profile's site
// folder kept once the command has asked for it, its remote folder kept at
// the first publish, and a stored profile
// brought up for 保存して公開.
#include "base/program_folder.h"
#include "text/cp932.h"
#include "transfer/ferrox_files.h"
#include "ferrox/ftp_window.h"
#include "ferrox/profile_keeper.h"
#include "transfer/profile_secrets.h"
#include "ferrox/publish_profile_fields.h"

namespace hemlo {

bool TFtp1::StoreSiteFolder(const std::string& folder) {
  const auto sjis = text::Utf8ToCp932(folder);
  if (!sjis) {
    ShowPlain(
        QStringLiteral("「%1」はShift-JISで表せない文字を含むため、サイトフォルダにできません")
            .arg(QString::fromStdString(folder)));
    return false;
  }
  if (Profiles_.StoreSiteFolder(*sjis)) {
    // The keyring is not asked here: a folder given is no new password.
    profile_file_->Write(false);
  } else {
    Profiles_.SiteFolder = *sjis;  // a profile being entered keeps it until 保存
  }
  site_fields_->Show(Profiles_);
  return true;
}

void TFtp1::StorePublishFolder(const std::string& folder) {
  if (Profiles_.StorePublishFolder(folder)) {
    profile_file_->Write(false);
  } else {
    Profiles_.PublishFolder = folder;
  }
  site_fields_->Show(Profiles_);
}

bool TFtp1::ShowStoredProfile(int n) {
  if (connected_ || ClientBusy() || n < 1 || n > Profiles_.Count()) return false;
  Profiles_.ShowProfile(n);
  Profiles_.NextEnabled = true;
  ShowProfileFields();
  return true;
}

}  // namespace hemlo
