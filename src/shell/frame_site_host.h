#pragma once
// The frame as the site windows see it: open pages by path, places in pages.
#include <QObject>

#include "site/site_host.h"

namespace hemlo {

class TMainForm;
class TMDIChild;

class FrameSiteHost : public QObject, public site::SiteHost {
  Q_OBJECT
 public:
  explicit FrameSiteHost(TMainForm* frame);

  std::string ActivePageFolder() override;
  std::string SiteFolder() override;
  text::EditPane* OpenPane(const std::filesystem::path& path) override;
  void ShowPlace(const std::filesystem::path& path, std::size_t line, std::size_t column) override;
  bool LeavesRedirects() override;
  void RememberLeavesRedirects(bool on) override;

 private:
  TMDIChild* ChildFor(const std::filesystem::path& path) const;
  TMainForm* frame_;
};

}  // namespace hemlo
