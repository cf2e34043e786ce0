#include "webview/web_options.h"

namespace hemlo::webview {

std::uint32_t HostInfoFlags(const WebOptions& o) {
  std::uint32_t flags = 0;
  if (o.IeNO3DBORDER) flags |= kHostNo3DBorder;
  if (o.IeSCROLL_hidden) flags |= kHostScrollNo;
  if (o.IeDontSCRIPT) flags |= kHostDisableScriptInactive;
  if (o.IeNoBehavior) flags |= kHostOverrideBehaviorFactory;
  if (o.IeAutoComplete) flags |= kHostEnableFormsAutoComplete;
  return flags;
}

std::uint32_t DownloadControlFlag(DownloadControl member) {
  switch (member) {
    case DownloadControl::CS_Images:
      return 0x10;
    case DownloadControl::CS_Videos:
      return 0x20;
    case DownloadControl::CS_BGSounds:
      return 0x40;
    case DownloadControl::CS_NoScripts:
      return 0x80;
    case DownloadControl::CS_NoJava:
      return 0x100;
    case DownloadControl::CS_NoActiveXRun:
      return 0x200;
    case DownloadControl::cs_NoActiveXDownLoad:
      return 0x400;
    case DownloadControl::CS_DownLoadOnly:
      return 0x800;
    case DownloadControl::CS_ReSynchronize:
      return 0x2000;
    case DownloadControl::CS_NoCash:
      return 0x4000;
    case DownloadControl::CS_NoFrame:
      return 0x1000;
    case DownloadControl::CS_ForceOffLine:
      return 0x10000000;
    case DownloadControl::CS_NoClientPull:
      return 0x20000000;
    case DownloadControl::CS_Silent:
      return 0x40000000;
    case DownloadControl::CS_OffLine:
      return 0x80000000u;
  }
  return 0;
}

std::int32_t AmbientDownloadControl(DownloadControlSet set) {
  std::uint32_t value = 0;
  for (int i = 0; i < kDownloadControlCount; ++i) {
    auto member = static_cast<DownloadControl>(i);
    if (set.Has(member)) value |= DownloadControlFlag(member);
  }
  return static_cast<std::int32_t>(
      value);  // the top flag makes it negative, as the browser reads it
}

EngineBehaviour BehaviourFor(std::uint32_t host, std::int32_t ambient) {
  const auto a = static_cast<std::uint32_t>(ambient);
  EngineBehaviour b;
  b.scroll_bars = !(host & kHostScrollNo);
  b.javascript = !(host & kHostDisableScriptInactive) && !(a & 0x80);
  b.auto_load_images = (a & 0x10) != 0;
  b.offline = (a & 0x10000000) || (a & 0x80000000u);
  b.no_cache = (a & 0x4000) != 0;
  b.silent = (a & 0x40000000) != 0;
  b.frames = !(a & 0x1000);
  b.autoplay_media = (a & 0x60) != 0;
  return b;
}

}  // namespace hemlo::webview
