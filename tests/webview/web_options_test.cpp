#include "webview/web_options.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace hemlo::webview {
namespace {

using DC = DownloadControl;

TEST(HostInfoFlags, FormsValuesGiveOnlyAutoComplete) {
  WebOptions forms;
  EXPECT_EQ(HostInfoFlags(forms), 0x4000u);
  EXPECT_EQ(AmbientDownloadControl(forms.DownLoadControl), 0x70);
}

TEST(HostInfoFlags, EachOptionAlone) {
  struct Case {
    bool WebOptions::*option;
    std::uint32_t flag;
  } cases[] = {
      {&WebOptions::IeNO3DBORDER, 0x4},      {&WebOptions::IeSCROLL_hidden, 0x8},
      {&WebOptions::IeDontSCRIPT, 0x10},     {&WebOptions::IeNoBehavior, 0x400},
      {&WebOptions::IeAutoComplete, 0x4000},
  };
  for (const Case& c : cases) {
    WebOptions o;
    o.IeAutoComplete = false;
    o.*(c.option) = true;
    EXPECT_EQ(HostInfoFlags(o), c.flag);
  }
  // Options without a host flag change nothing.
  WebOptions o;
  o.IeAutoComplete = false;
  o.IeNoContext = true;
  o.IeEnableAccelerator = false;
  EXPECT_EQ(HostInfoFlags(o), 0u);
}

TEST(AmbientDownloadControl, EachMemberAloneInDeclaredOrder) {
  const std::uint32_t expected[kDownloadControlCount] = {
      0x10,   0x20,   0x40,   0x80,       0x100,      0x200,      0x400,      0x800,
      0x2000, 0x4000, 0x1000, 0x10000000, 0x20000000, 0x40000000, 0x80000000u};
  std::uint32_t all = 0;
  for (int i = 0; i < kDownloadControlCount; ++i) {
    DownloadControlSet set{static_cast<DC>(i)};
    EXPECT_EQ(static_cast<std::uint32_t>(AmbientDownloadControl(set)), expected[i])
        << "member " << i;
    all |= expected[i];
  }
  DownloadControlSet every;
  for (int i = 0; i < kDownloadControlCount; ++i) every.Include(static_cast<DC>(i));
  EXPECT_EQ(static_cast<std::uint32_t>(AmbientDownloadControl(every)), all);
  EXPECT_EQ(AmbientDownloadControl({}), 0);
}

TEST(AmbientDownloadControl, OfflineIsNegativeAsSigned) {
  EXPECT_LT(AmbientDownloadControl({DC::CS_OffLine}), 0);
  EXPECT_EQ(AmbientDownloadControl({DC::CS_OffLine, DC::CS_Images}),
            static_cast<std::int32_t>(0x80000010u));
}

TEST(EngineBehaviour, FormsValuesLeaveEverythingOn) {
  EngineBehaviour b = BehaviourFor(WebOptions{});
  EXPECT_TRUE(b.scroll_bars);
  EXPECT_TRUE(b.javascript);
  EXPECT_TRUE(b.auto_load_images);
  EXPECT_TRUE(b.frames);
  EXPECT_TRUE(b.autoplay_media);
  EXPECT_FALSE(b.offline);
  EXPECT_FALSE(b.no_cache);
  EXPECT_FALSE(b.silent);
}

TEST(EngineBehaviour, EachRestrictingOption) {
  auto with = [](auto change) {
    WebOptions o;
    change(o);
    return BehaviourFor(o);
  };
  EXPECT_FALSE(with([](WebOptions& o) { o.IeSCROLL_hidden = true; }).scroll_bars);
  EXPECT_FALSE(with([](WebOptions& o) { o.IeDontSCRIPT = true; }).javascript);
  EXPECT_FALSE(with([](WebOptions& o) { o.DownLoadControl.Include(DC::CS_NoScripts); }).javascript);
  EXPECT_FALSE(
      with([](WebOptions& o) { o.DownLoadControl.Exclude(DC::CS_Images); }).auto_load_images);
  EXPECT_TRUE(with([](WebOptions& o) { o.DownLoadControl.Include(DC::CS_ForceOffLine); }).offline);
  EXPECT_TRUE(with([](WebOptions& o) { o.DownLoadControl.Include(DC::CS_OffLine); }).offline);
  EXPECT_TRUE(with([](WebOptions& o) { o.DownLoadControl.Include(DC::CS_NoCash); }).no_cache);
  EXPECT_TRUE(with([](WebOptions& o) { o.DownLoadControl.Include(DC::CS_Silent); }).silent);
  EXPECT_FALSE(with([](WebOptions& o) { o.DownLoadControl.Include(DC::CS_NoFrame); }).frames);
  EXPECT_FALSE(with([](WebOptions& o) {
                 o.DownLoadControl.Exclude(DC::CS_Videos);
                 o.DownLoadControl.Exclude(DC::CS_BGSounds);
               }).autoplay_media);
  // Each of these changes exactly one behaviour from the defaults.
  EngineBehaviour silent = with([](WebOptions& o) { o.DownLoadControl.Include(DC::CS_Silent); });
  silent.silent = false;
  EXPECT_EQ(silent, BehaviourFor(WebOptions{}));
}

TEST(CloseAddress, OnlyAPagesOwnTopLevelNavigationToACloseAddress) {
  using O = NavigationOrigin;
  struct Case {
    const char* url;
    O origin;
    bool main_frame;
    bool closes;
  };
  const Case cases[] = {
      {"about:close", O::PageLinkOrScript, true, true},
      {"http://example.com/app/CLOSE", O::PageLinkOrScript, true, true},
      {"file:///web/close?x=1#y", O::PageLinkOrScript, true, true},
      {"close", O::PageLinkOrScript, true, true},
      {"http://example.com/x?do=closewindow", O::PageLinkOrScript, true, false},
      {"file:///web/enclosed.htm", O::PageLinkOrScript, true, false},
      {"file:///closet/topbak.htm", O::PageLinkOrScript, true, false},
      {"http://example.com/close/", O::PageLinkOrScript, true, false},
      {"http://close/", O::PageLinkOrScript, true, false},
      {"http://example.com/close", O::PageLinkOrScript, false, false},  // a frame
      {"http://example.com/close", O::Reload, true, false},
      {"http://example.com/close", O::Program, true, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NavigationClosesView(c.url, c.origin, c.main_frame), c.closes) << c.url;
}

}  // namespace
}  // namespace hemlo::webview
