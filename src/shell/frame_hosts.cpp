#include "shell/frame_hosts.h"

#include "shell/main_form.h"
#include "shell/mdi_child.h"

namespace hemlo {

FrameHosts::FrameHosts(TMainForm* frame) : QObject(frame), frame_(frame) {}

text::EditPane* FrameHosts::ActiveEditPane() {
  TMDIChild* child = frame_->ActiveChild();
  return child ? child->Memo() : nullptr;
}

bool FrameHosts::HasDocumentWindow() const { return frame_->ActiveChild() != nullptr; }

std::string FrameHosts::ActivePageUrl() const {
  TMDIChild* child = frame_->ActiveChild();
  return child ? child->WebBrowser()->LocationURL().toStdString() : std::string();
}

std::string FrameHosts::ActivePageTitle() const {
  TMDIChild* child = frame_->ActiveChild();
  return child ? child->WebBrowser()->LocationName().toStdString() : std::string();
}

void FrameHosts::ShowStatus(const std::string& text) {
  frame_->StatusBar1()->SetText(0, QString::fromStdString(text));
}

void FrameHosts::OpenUrl(const std::string& url) { frame_->OpenUrl(QString::fromStdString(url)); }

}  // namespace hemlo
