// A Ferrox.ini line read into its fields by name and written back.
#include <gtest/gtest.h>

#include "remote/profile.h"
#include "transfer/profiles.h"

namespace hemlo::transfer {
namespace {

using D = DataConnectionMode;
using N = NameEncodingMode;

TEST(Profile, LinesOfEveryShapeReadByNameAndWriteBackByteForByte) {
  const std::string sjis_name = "\x83\x54\x83\x43\x83\x67";  // "サイト"
  const std::string sjis_folder = "/\x95\x5c";               // "/表": a 0x5C trail byte
  struct Case {
    std::string line;
    std::string name, host, password, remote, site;
    D data;
    N names;
    int connections;
    bool in_file, parallel;
    std::string publish;
    std::vector<std::string> unknown;
  };
  const Case cases[] = {
      {"a,h,u,p", "a", "h", "p", "", "", D::kAutomatic, N::kAutomatic, 2, false, false, "", {}},
      {"\"b c\",h,u,,/x,",
       "b c",
       "h",
       "",
       "/x",
       "",
       D::kAutomatic,
       N::kAutomatic,
       2,
       false,
       false,
       "",
       {}},
      // Quotes where none are needed, and a word this version does not know.
      {"\"n\",h,u,p,/r,bogus,sjis",
       "n",
       "h",
       "p",
       "/r",
       "",
       D::kAutomatic,
       N::kShiftJis,
       2,
       false,
       false,
       "",
       {}},
      {sjis_name + ",h,u,p," + sjis_folder + ",passive,utf8," + sjis_folder +
           ",4,plain,parallel,/pub",
       sjis_name,
       "h",
       "p",
       sjis_folder,
       sjis_folder,
       D::kPassive,
       N::kUtf8,
       4,
       true,
       true,
       "/pub",
       {}},
      {"n,h,u,p,/r,active,auto,,9,,,/pub,*.psd,later,\"x y\",",
       "n",
       "h",
       "p",
       "/r",
       "",
       D::kActive,
       N::kAutomatic,
       2,
       false,
       false,
       "/pub",
       {"later", "x y", ""}},
  };
  for (const Case& c : cases) {
    const Profile p = Profile::Parse(c.line);
    EXPECT_EQ(p.Line(), c.line);
    EXPECT_EQ(p.Name(), c.name) << c.line;
    EXPECT_EQ(p.Host(), c.host) << c.line;
    EXPECT_EQ(p.User(), "u") << c.line;
    EXPECT_EQ(p.Password(), c.password) << c.line;
    EXPECT_EQ(p.RemoteFolder(), c.remote) << c.line;
    EXPECT_EQ(p.DataMode(), c.data) << c.line;
    EXPECT_EQ(p.NameEncoding(), c.names) << c.line;
    EXPECT_EQ(p.SiteFolder(), c.site) << c.line;
    EXPECT_EQ(p.Connections(), c.connections) << c.line;
    EXPECT_EQ(p.PasswordInFile(), c.in_file) << c.line;
    EXPECT_EQ(p.FolderUploadParallel(), c.parallel) << c.line;
    EXPECT_EQ(p.PublishFolder(), c.publish) << c.line;
    EXPECT_EQ(p.UnknownFields(), c.unknown) << c.line;
    // A changed field leaves the others, the unknown ones included, as read.
    Profile changed = p;
    changed.Set(Profile::kSiteFolder, "/s");
    const Profile back = Profile::Parse(changed.Line());
    EXPECT_EQ(back.SiteFolder(), "/s") << c.line;
    EXPECT_EQ(back.Name(), c.name) << c.line;
    EXPECT_EQ(back.PublishFolder(), c.publish) << c.line;
    EXPECT_EQ(back.UnknownFields(), c.unknown) << c.line;
    // So does the panel writing the fields on show back after a session.
    ProfilePanel panel;
    panel.Load({c.line});
    panel.WriteBack();
    EXPECT_EQ(Profile::Parse(panel.ProfileList[0]).UnknownFields(), c.unknown) << c.line;
  }
}

// The exclusions: a line without them reads as the defaults, and the panel
// writes them only when they differ; none at all survive the trip.
TEST(Profile, ExclusionsDefaultWhenAbsentAndNoneStaysNone) {
  const std::string older = "n,h,u,p,/r,auto,auto,/site,,,,/pub";
  const struct {
    std::string patterns;  // what the panel is given
    std::string line;      // what 保存 writes
  } cases[] = {
      {kDefaultExclusions, "n,h,u,p,,auto,auto,/site,,,,/pub"},
      {"*.psd drafts/", "n,h,u,p,,auto,auto,/site,,,,/pub,\"*.psd drafts/\""},
      {"", "n,h,u,p,,auto,auto,/site,,,,/pub,\" \""},
  };
  EXPECT_EQ(Profile::Parse(older).Exclusions(), kDefaultExclusions);
  for (const auto& c : cases) {
    ProfilePanel panel;
    panel.Load({older});
    EXPECT_EQ(panel.Exclusions, kDefaultExclusions);
    panel.Exclusions = c.patterns;
    ASSERT_TRUE(panel.SaveClick());
    EXPECT_EQ(panel.ProfileList[0], c.line);
    EXPECT_EQ(Profile::Parse(panel.ProfileList[0]).Exclusions(), c.patterns);
  }
}

}  // namespace
}  // namespace hemlo::transfer
