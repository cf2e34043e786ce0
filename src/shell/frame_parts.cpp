#include "shell/frame_parts.h"

#include <QAction>

#include "shell/frame_site_host.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "site/shared_parts.h"
#include "site/shared_parts_window.h"
#include "text/qt_edit_pane.h"
#include "text/view_codes.h"

namespace hemlo {

namespace {

namespace fs = std::filesystem;

fs::path PageSite(site::SiteHost& host) {
  const std::string folder = host.ActivePageFolder();
  fs::path site = folder.empty() ? fs::path() : site::SiteOfPage(folder);
  if (site.empty() && !host.SiteFolder().empty()) site = host.SiteFolder();
  return site;
}

// The chosen part at the caret with its markers, its links relative to the page.
void InsertPart(TMainForm& frame, site::SiteHost& host) {
  TMDIChild* child = frame.ActiveChild();
  if (!child) return;
  Prompts& prompts = frame.forwarding_prompts();
  if (child->Caption().isEmpty()) {
    prompts.Message("確認",
                    "共通部品のリンクはページの場所で決まります。ページを保存してから挿入してください。",
                    Buttons::Ok, Icon::Information);
    return;
  }
  const fs::path page = child->Caption().toStdString();
  const fs::path site = PageSite(host);
  FileDialogRequest request;
  request.title = "共通部品";
  request.filters = {{"共通部品(*.lbi)", "*.lbi"}};
  request.default_suffix = "lbi";
  request.initial_path = (site.empty() ? page.parent_path() : site / "Library").string();
  const auto chosen = prompts.OpenFile(request);
  if (!chosen) return;
  const fs::path part_site = site::SiteOfPart(*chosen);
  const std::string name = part_site.empty() ? std::string() : site::PartName(part_site, *chosen);
  if (name.empty()) {
    prompts.Message("確認", "サイトの Library フォルダにある .lbi ファイルを選んでください。",
                    Buttons::Ok, Icon::Warning);
    return;
  }
  const auto text = site::ReadPart(*chosen);
  if (!text) {
    prompts.Error(*chosen + "\r\n読み込めません");
    return;
  }
  std::string refused;
  const auto utf8 = site::PartForPage(part_site, name, *text, page.parent_path(),
                                      text::Encoding::kUtf8, "\n", nullptr);
  text::QtEditPane* pane = child->Memo();
  std::optional<std::string> bytes;
  if (pane->DocumentEncoding() == text::Encoding::kUtf8)
    bytes = text::Utf8ToView(*utf8);
  else
    bytes = site::EncodeText(*utf8, text::Encoding::kShiftJis, &refused);
  if (!bytes) {
    prompts.Message("確認", "このページは Shift-JIS のため共通部品の「" + refused +
                                "」を書き込めません。",
                    Buttons::Ok, Icon::Warning);
    return;
  }
  pane->ReplaceSelection(*bytes);
  // A later change of the part then finds this copy as the part wrote it.
  site::RecordPartText(part_site, site::TSharedParts::RecordsFolder(), name, *text);
}

}  // namespace

void WireSharedParts(TMainForm& frame, FrameSiteHost& host) {
  auto* window = new site::TSharedParts(&frame, host, frame.forwarding_prompts());
  QObject::connect(&frame, &TMainForm::closing, window, &QWidget::close);
  QObject::connect(frame.action(FrameCommand::InsertPart), &QAction::triggered, &frame,
                   [&frame, &host] { InsertPart(frame, host); });
  QObject::connect(frame.action(FrameCommand::SiteUpdateParts), &QAction::triggered, window,
                   [&frame, &host, window] {
                     const fs::path site = PageSite(host);
                     if (site.empty()) {
                       frame.forwarding_prompts().Message(
                           "確認",
                           "サイトのフォルダが分かりません。サイトのページを開いてから"
                           "実行してください。",
                           Buttons::Ok, Icon::Information);
                       return;
                     }
                     window->ShowPlan(site);
                   });
  QObject::connect(&frame, &TMainForm::pageSaved, window, [&frame, window](const QString& path) {
    const fs::path part = path.toStdString();
    const fs::path site = site::SiteOfPart(part);
    if (site.empty()) return;
    const std::string name = site::PartName(site, part);
    const site::PartsPlan plan =
        site::PlanPartsUpdate(site, site::TSharedParts::RecordsFolder(), {name});
    if (plan.pages_holding == 0) return;
    const Answer a = frame.forwarding_prompts().Message(
        "確認",
        "共通部品 " + name + " を使っている " + std::to_string(plan.pages_holding) +
            " ページを更新しますか?",
        Buttons::YesNo, Icon::Question);
    if (a == Answer::Yes) window->ShowPlan(site, {name});
  });
}

}  // namespace hemlo
