#pragma once
// The Ferrox window as a place the site sync runs from: its connection,
// its profiles and its status line, through the window's own handlers
// (a connect is the 接続 button's, with its passwords and questions).
#include <QObject>

#include "ferrox/sync_place.h"

namespace hemlo {
class TFtp1;
}

namespace hemlo::transfer_ui {

class WindowSyncPlace : public QObject, public SyncPlace, public SyncScreen {
 public:
  explicit WindowSyncPlace(TFtp1& window);

  transfer::Connection& Link() override;
  const transfer::ProfilePanel& Profiles() const override;
  std::string AccountName() const override;
  const std::string& RemoteFolder() const override;
  std::string LocalFolder() const override;
  bool ConnectProfile(int n, std::function<void()> ended) override;
  bool StoreSiteFolder(const std::string& folder) override;
  void StorePublishFolder(const std::string& folder) override;
  void RefreshRemoteList() override;

  void SetStatusText(const std::string& text) override;
  Prompts& prompts() override;
  void ShowToFront() override;

 private:
  TFtp1& w_;
};

}  // namespace hemlo::transfer_ui
