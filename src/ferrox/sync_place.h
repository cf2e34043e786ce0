#pragma once
// What the site sync and its undo stand on, in two narrow parts: the
// place the sync runs from (the connection it plans and runs over, the
// profile it publishes, the few profile changes it makes) and the thin
// screen it reports to. The Ferrox window is one such place; the sync
// never reaches past these calls into it.
#include <functional>
#include <string>

#include "base/prompts.h"
#include "remote/connection.h"
#include "transfer/profiles.h"

namespace hemlo::transfer_ui {

class SyncPlace {
 public:
  virtual ~SyncPlace() = default;

  // The connection the plan is made over; the run's first slot.
  virtual transfer::Connection& Link() = 0;
  // The profiles, with the one shown (and connected) as the current one.
  virtual const transfer::ProfilePanel& Profiles() const = 0;
  // The account the sync record is filed under.
  virtual std::string AccountName() const = 0;
  // The remote folder on show (wire bytes) and the local one (UTF-8).
  virtual const std::string& RemoteFolder() const = 0;
  virtual std::string LocalFolder() const = 0;
  // Connects stored profile `n`; `ended` runs once the connect has ended,
  // connected or not. False when no connect could start.
  virtual bool ConnectProfile(int n, std::function<void()> ended) = 0;
  // The site folder (UTF-8) and the server's folder (wire bytes) become
  // the shown profile's; false, said why, when the first cannot be kept.
  virtual bool StoreSiteFolder(const std::string& folder) = 0;
  virtual void StorePublishFolder(const std::string& folder) = 0;
  // The remote list read again once a run has changed the server.
  virtual void RefreshRemoteList() = 0;
};

class SyncScreen {
 public:
  virtual ~SyncScreen() = default;
  virtual void SetStatusText(const std::string& text) = 0;
  virtual Prompts& prompts() = 0;
  // Brings the place's window to the front (a plan to confirm from the
  // editor).
  virtual void ShowToFront() = 0;
};

}  // namespace hemlo::transfer_ui
