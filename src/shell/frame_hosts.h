#pragma once
// The frame as the find/replace dialog and the favourites window see it.
#include <QObject>

#include "favourites/favourites_host.h"
#include "search/search_host.h"

namespace hemlo {

class TMainForm;

class FrameHosts : public QObject, public search::SearchHost, public favourites::FavouritesHost {
  Q_OBJECT
 public:
  explicit FrameHosts(TMainForm* frame);

  text::EditPane* ActiveEditPane() override;
  bool HasDocumentWindow() const override;
  std::string ActivePageUrl() const override;
  std::string ActivePageTitle() const override;
  void OpenUrl(const std::string& url) override;
  void ShowStatus(const std::string& text) override;

 private:
  TMainForm* frame_;
};

}  // namespace hemlo
