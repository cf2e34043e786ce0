#include "ferrox/window_sync_place.h"

#include <memory>

#include "ferrox/ftp_window.h"

namespace hemlo::transfer_ui {

WindowSyncPlace::WindowSyncPlace(TFtp1& window) : QObject(&window), w_(window) {}

transfer::Connection& WindowSyncPlace::Link() { return w_.Connection(); }
const transfer::ProfilePanel& WindowSyncPlace::Profiles() const { return w_.Profiles(); }
std::string WindowSyncPlace::AccountName() const { return w_.AccountName(); }
const std::string& WindowSyncPlace::RemoteFolder() const { return w_.RemoteFolder(); }
std::string WindowSyncPlace::LocalFolder() const { return w_.LocalFolder(); }

bool WindowSyncPlace::ConnectProfile(int n, std::function<void()> ended) {
  w_.ShowStoredProfile(n);
  w_.Connector().ConnectShownProfile();
  if (!w_.ClientBusy()) return false;
  auto once = std::make_shared<QMetaObject::Connection>();
  *once = connect(&w_, &TFtp1::commandFinished, this, [once, ended = std::move(ended)] {
    const std::function<void()> then = ended;  // outlives the connection
    disconnect(*once);
    if (then) then();
  });
  return true;
}

bool WindowSyncPlace::StoreSiteFolder(const std::string& folder) {
  return w_.StoreSiteFolder(folder);
}
void WindowSyncPlace::StorePublishFolder(const std::string& folder) {
  w_.StorePublishFolder(folder);
}
void WindowSyncPlace::RefreshRemoteList() { w_.RefreshRemoteList(); }

void WindowSyncPlace::SetStatusText(const std::string& text) { w_.SetStatusText(text); }
Prompts& WindowSyncPlace::prompts() { return w_.prompts(); }
void WindowSyncPlace::ShowToFront() {
  w_.show();
  w_.raise();
}

}  // namespace hemlo::transfer_ui
