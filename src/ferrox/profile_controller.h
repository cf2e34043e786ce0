#pragma once
// The Ferrox window's profiles as a user edits them: the fields shown and
// taken, the six profile buttons, Ferrox.ini with the desktop keyring, and
// the site and publish folders a publish stores in the profile.
#include <functional>
#include <memory>
#include <string>

#include "ferrox/window_layout.h"
#include "remote/connection.h"
#include "remote/keyring_session.h"
#include "transfer/profiles.h"

namespace hemlo::transfer_ui {

class ProfileKeeper;

class ProfileController {
 public:
  // `connected` says whether a connection holds the panel.
  ProfileController(const WindowViews& views, transfer::Connection& connection,
                    transfer::ProfilePanel& profiles, std::function<bool()> connected);
  ~ProfileController();

  transfer::KeyringSession& Keyring() { return *keyring_; }
  // Reads Ferrox.ini into the panel and shows the profile it starts at.
  void Load();
  // At quit: the keyring is not asked, what it was given is there already.
  void WriteAtQuit();

  void Show();
  // The fields into the profile; false, with a message, when one cannot go
  // into the file (a character Shift-JIS lacks, a line break).
  bool Take();
  void Previous();  // 前
  void Next();      // 次
  void Add();       // 追加
  void Save();      // 保存
  void CancelAdd();  // 追加中止
  void Delete();    // 削除

  // The keyring's key of the profile shown (its fields as typed).
  transfer::SecretKey ShownPasswordKey() const;

  // Publishing: the UTF-8 site folder the command was given becomes the
  // shown profile's (written to the file when the profile is stored);
  // false, with a message, when Shift-JIS cannot spell it.
  bool StoreSiteFolder(const std::string& folder);
  // The same for the server's folder (its bytes) the site goes to.
  void StorePublishFolder(const std::string& folder);
  // Shows stored profile `n` while no connection holds the panel.
  bool ShowStored(int n);

 private:
  const WindowViews& v_;
  transfer::Connection& connection_;
  transfer::ProfilePanel& profiles_;
  std::function<bool()> connected_;
  // Ferrox.ini and the desktop keyring (asked on a thread of its own).
  std::unique_ptr<ProfileKeeper> file_;
  transfer::KeyringSession* keyring_ = nullptr;  // the keeper's
};

}  // namespace hemlo::transfer_ui
