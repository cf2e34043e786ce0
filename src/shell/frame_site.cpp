#include "shell/frame_site.h"

#include <QAction>

#include "shell/frame_parts.h"
#include "shell/frame_site_host.h"
#include "shell/live_preview.h"
#include "shell/main_form.h"
#include "shell/site_panel.h"
#include "site/link_update_window.h"
#include "site/site_check_window.h"
#include "site/site_search_window.h"

namespace hemlo {

void WireSiteWindows(TMainForm& frame) {
  auto* host = new FrameSiteHost(&frame);
  auto* search = new site::TSiteSearch(&frame, *host, frame.forwarding_prompts());
  QObject::connect(frame.action(FrameCommand::SiteSearch), &QAction::triggered, search,
                   &site::TSiteSearch::ShowFor);
  QObject::connect(&frame, &TMainForm::closing, search, &QWidget::close);
  auto* check = new site::TSiteCheck(&frame, *host, frame.forwarding_prompts());
  QObject::connect(frame.action(FrameCommand::SiteCheck), &QAction::triggered, check,
                   &site::TSiteCheck::ShowFor);
  QObject::connect(&frame, &TMainForm::closing, check, &QWidget::close);
  auto* links = new site::TLinkUpdate(&frame, *host, frame.forwarding_prompts());
  QObject::connect(frame.action(FrameCommand::LinkUpdate), &QAction::triggered, links,
                   &site::TLinkUpdate::ShowFor);
  QObject::connect(&frame, &TMainForm::closing, links, &QWidget::close);
  AttachSitePanel(frame, *links);
  WireSharedParts(frame, *host);
  AttachLivePreview(frame);
}

}  // namespace hemlo
