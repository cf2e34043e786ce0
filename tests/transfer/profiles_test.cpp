// The profile panel's button rules and the state files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "base/atomic_file.h"
#include "remote/comma_text.h"
#include "transfer/ferrox_files.h"
#include "transfer/profiles.h"

namespace hemlo::transfer {
namespace {
namespace fs = std::filesystem;

std::vector<std::string> Lines(int n) {
  std::vector<std::string> v;
  for (int i = 1; i <= n; ++i) {
    const std::string k = std::to_string(i);
    v.push_back(JoinCommaText({"name" + k, "host" + k, "user" + k, "pass" + k, "/dir" + k}));
  }
  return v;
}

TEST(ProfilePanel, LoadShowsFirstOrNothing) {
  ProfilePanel p;
  p.Load({});
  EXPECT_EQ(p.ProfileCounter, 0);
  EXPECT_EQ(p.RegistrationName, "");
  p.Load(Lines(3));
  EXPECT_EQ(p.ProfileCounter, 1);
  EXPECT_EQ(p.HostName, "host1");
  EXPECT_EQ(p.LastRemoteFolder, "/dir1");
}

TEST(ProfilePanel, FourFieldFileUpgrades) {
  ProfilePanel p;
  p.Load({"a,h,u,p", "\"b c\",h2,u2,p2", "c,h3,u3,p3"});
  ASSERT_EQ(p.Count(), 3);
  EXPECT_EQ(p.ProfileList[1], "\"b c\",h2,u2,p2,");
  p.ShowProfile(2);
  EXPECT_EQ(p.RegistrationName, "b c");
  EXPECT_EQ(p.LastRemoteFolder, "");
  for (const auto& l : p.ProfileList) EXPECT_EQ(SplitCommaText(l).size(), 5u) << l;
  // Five-field files are left alone, and a short line only shows blanks.
  p.Load({"a,h,u,p,/x", "b,h"});
  EXPECT_EQ(p.ProfileList[1], "b,h");
  p.ShowProfile(2);
  EXPECT_EQ(p.UserId, "");
}

TEST(ProfilePanel, PrevNextBounds) {
  ProfilePanel p;
  p.Load(Lines(3));
  p.PrevClick();
  EXPECT_EQ(p.ProfileCounter, 1);
  p.NextClick();
  p.NextClick();
  EXPECT_EQ(p.ProfileCounter, 3);
  EXPECT_EQ(p.UserId, "user3");
  p.NextClick();
  EXPECT_EQ(p.ProfileCounter, 3);
  p.PrevClick();
  EXPECT_EQ(p.ProfileCounter, 2);
  EXPECT_EQ(p.Password, "pass2");
}

TEST(ProfilePanel, AddSaveAppendsAndCancelReturnsToFirst) {
  ProfilePanel p;
  p.Load(Lines(2));
  p.NextClick();
  p.AddClick();
  EXPECT_EQ(p.ProfileCounter, 3);
  EXPECT_FALSE(p.NextEnabled);
  EXPECT_EQ(p.HostName, "");
  EXPECT_EQ(p.LastRemoteFolder, "/dir2");  // the folder label keeps its text
  // "前" during entry shows the last stored profile.
  p.PrevClick();
  EXPECT_EQ(p.ProfileCounter, 2);
  EXPECT_TRUE(p.NextEnabled);
  p.AddClick();
  p.RegistrationName = "n";
  p.HostName = "h";
  p.UserId = "u";
  EXPECT_FALSE(p.SaveClick());  // password missing: nothing changes
  EXPECT_EQ(p.Count(), 2);
  EXPECT_EQ(p.ProfileCounter, 3);
  p.Password = "p";
  EXPECT_TRUE(p.SaveClick());
  EXPECT_EQ(p.Count(), 3);
  EXPECT_EQ(p.ProfileCounter, 3);
  EXPECT_EQ(p.ProfileList[2], "n,h,u,p,");
  EXPECT_TRUE(p.NextEnabled);
  // SFTP may log in with keys: a password it needs is asked at connect.
  p.AddClick();
  p.RegistrationName = "s";
  p.HostName = "sftp://h";
  p.UserId = "u";
  EXPECT_TRUE(p.SaveClick());
  EXPECT_EQ(p.ProfileList[3], "s,sftp://h,u,,");
  // So is the password of a stored profile that keeps none: it stays so.
  p.ShowProfile(4);
  p.HostName = "h";
  EXPECT_TRUE(p.SaveClick());
  EXPECT_EQ(p.ProfileList[3], "s,h,u,,");
  p.AddClick();
  p.CancelAddClick();
  EXPECT_EQ(p.ProfileCounter, 1);
  EXPECT_EQ(p.RegistrationName, "name1");
  EXPECT_TRUE(p.NextEnabled);
}

TEST(ProfilePanel, SaveReplacesAndClearsRemoteFolder) {
  ProfilePanel p;
  p.Load(Lines(5));
  p.NextClick();
  p.HostName = "new host";
  ASSERT_TRUE(p.SaveClick());
  EXPECT_EQ(p.ProfileCounter, 2);
  EXPECT_EQ(p.ProfileList[1], "name2,\"new host\",user2,pass2,");
  EXPECT_EQ(p.Count(), 5);
  p.UserId = "other";
  ASSERT_TRUE(p.SaveClick());
  EXPECT_EQ(p.ProfileList[1], "name2,\"new host\",other,pass2,");
  EXPECT_EQ(p.ProfileList[2], Lines(5)[2]);
  // With nothing stored and counter 0, "保存" stores profile 1.
  ProfilePanel q;
  q.Load({});
  q.RegistrationName = q.HostName = q.UserId = q.Password = "x";
  ASSERT_TRUE(q.SaveClick());
  EXPECT_EQ(q.Count(), 1);
  EXPECT_EQ(q.ProfileCounter, 1);
}

TEST(ProfilePanel, DeleteRules) {
  ProfilePanel p;
  p.Load(Lines(3));
  p.AddClick();  // counter 4 = count + 1: nothing to delete
  p.DeleteClick();
  EXPECT_EQ(p.Count(), 3);
  EXPECT_EQ(p.ProfileCounter, 4);
  p.PrevClick();
  p.PrevClick();  // profile 2
  p.DeleteClick();
  EXPECT_EQ(p.Count(), 2);
  EXPECT_EQ(p.ProfileCounter, 1);
  EXPECT_EQ(p.ProfileList[1], Lines(3)[2]);
  p.DeleteClick();
  p.DeleteClick();
  EXPECT_EQ(p.Count(), 0);
  EXPECT_EQ(p.ProfileCounter, 0);
  EXPECT_EQ(p.RegistrationName, "");
  p.DeleteClick();  // counter 0
  EXPECT_EQ(p.ProfileCounter, 0);
}

TEST(ProfilePanel, WriteBackKeepsFolderOnlyForStoredProfile) {
  ProfilePanel p;
  p.Load(Lines(2));
  p.NextClick();
  p.LastRemoteFolder = "/home/u/www dir";
  p.WriteBack();
  EXPECT_EQ(p.ProfileList[1], "name2,host2,user2,pass2,\"/home/u/www dir\"");
  p.AddClick();
  p.HostName = "h";
  p.WriteBack();  // a profile being entered is not stored
  EXPECT_EQ(p.Count(), 2);
}

class StateFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("ferrox_files_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(StateFiles, ProfileFileIsOwnerOnlyAndRoundTrips) {
  EXPECT_TRUE(ReadProfileFile(dir).empty());
  // An existing world-readable file is tightened on replacement.
  ASSERT_TRUE(WriteFileAtomically(dir / "Ferrox.ini", "old\r\n", 0644));
  const auto lines = Lines(2);
  ASSERT_TRUE(WriteProfileFile(dir, lines).ok);
  struct stat st {};
  ASSERT_EQ(::stat((dir / "Ferrox.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(ReadProfileFile(dir), lines);
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(dir / "Ferrox.ini", bytes));
  EXPECT_EQ(bytes, lines[0] + "\r\n" + lines[1] + "\r\n");
}

TEST_F(StateFiles, ProfileFileWriteFailureKeepsOldFile) {
  ASSERT_TRUE(WriteProfileFile(dir, {"a,b,c,d,"}).ok);
  const FileOutcome r = WriteProfileFile(dir / "missing" / "sub", {"x"});
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  EXPECT_EQ(ReadProfileFile(dir), std::vector<std::string>{"a,b,c,d,"});
}

TEST_F(StateFiles, DataModeAndNameEncodingAreTheSixthAndSeventhFields) {
  using D = DataConnectionMode;
  using N = NameEncodingMode;
  struct Case {
    std::string line;
    D data_loaded;
    N names_loaded;
    D data_saved;
    N names_saved;
    std::string written;  // after WriteBack with folder "/w"
  };
  const Case cases[] = {
      {"a,h,u,p,/x", D::kAutomatic, N::kAutomatic, D::kPassive, N::kAutomatic,
       "a,h,u,p,/w,passive"},
      {"b,h,u,p,/x,passive", D::kPassive, N::kAutomatic, D::kActive, N::kAutomatic,
       "b,h,u,p,/w,active"},
      {"c,h,u,p,,active", D::kActive, N::kAutomatic, D::kAutomatic, N::kAutomatic, "c,h,u,p,/w"},
      {"d,h,u,p,/x,auto", D::kAutomatic, N::kAutomatic, D::kAutomatic, N::kAutomatic, "d,h,u,p,/w"},
      {"e,h,u,p,/x,bogus", D::kAutomatic, N::kAutomatic, D::kActive, N::kAutomatic,
       "e,h,u,p,/w,active"},
      // The seventh field brings the sixth with it, so six-field readers
      // still find the data mode in its place.
      {"f,h,u,p,/x,auto,utf8", D::kAutomatic, N::kUtf8, D::kAutomatic, N::kShiftJis,
       "f,h,u,p,/w,auto,sjis"},
      {"g,h,u,p,/x,active,sjis", D::kActive, N::kShiftJis, D::kActive, N::kAutomatic,
       "g,h,u,p,/w,active"},
      {"h,h,u,p,/x,passive,bogus", D::kPassive, N::kAutomatic, D::kAutomatic, N::kUtf8,
       "h,h,u,p,/w,auto,utf8"},
  };
  std::vector<std::string> lines;
  for (const Case& c : cases) lines.push_back(c.line);
  ASSERT_TRUE(WriteProfileFile(dir, lines).ok);
  ProfilePanel p;
  p.Load(ReadProfileFile(dir));
  for (size_t i = 0; i < std::size(cases); ++i) {
    p.ShowProfile(static_cast<int>(i) + 1);
    EXPECT_EQ(p.DataMode, cases[i].data_loaded) << cases[i].line;
    EXPECT_EQ(p.NameEncoding, cases[i].names_loaded) << cases[i].line;
    p.DataMode = cases[i].data_saved;
    p.NameEncoding = cases[i].names_saved;
    p.LastRemoteFolder = "/w";
    p.WriteBack();
  }
  ASSERT_TRUE(WriteProfileFile(dir, p.ProfileList).ok);
  const auto back = ReadProfileFile(dir);
  ASSERT_EQ(back.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(back[i], cases[i].written);
    // A reader that knows five fields finds them unchanged.
    EXPECT_EQ(SplitCommaText(back[i])[4], "/w");
  }
  // "追加" starts a new profile as automatic.
  p.AddClick();
  EXPECT_EQ(p.DataMode, DataConnectionMode::kAutomatic);
  EXPECT_EQ(p.NameEncoding, NameEncodingMode::kAutomatic);
}

TEST_F(StateFiles, SiteFolderAndConnectionsAreTheEighthAndNinthFields) {
  const std::string site_sjis = "/home/\x83\x54\x83\x43\x83\x67";  // "/home/サイト"
  struct Case {
    std::string line;
    std::string site_loaded;
    int connections_loaded;
    std::string site_saved;
    int connections_saved;
    std::string written;    // after WriteBack, the remote folder as loaded
    bool parallel = false;  // the eleventh field: the folder upload over them too
  };
  const Case cases[] = {
      // Lines of earlier versions come back byte for byte.
      {"a,h,u,p,/x", "", 2, "", 2, "a,h,u,p,/x"},
      {"b,h,u,p,,passive", "", 2, "", 2, "b,h,u,p,,passive"},
      {"c,h,u,p,/x,active,sjis", "", 2, "", 2, "c,h,u,p,/x,active,sjis"},
      // ... apart from the new fields once they are set.
      {"d,h,u,p,/x,passive", "", 2, "/s", 2, "d,h,u,p,/x,passive,auto,/s"},
      {"e,h,u,p,,auto,utf8", "", 2, "", 4, "e,h,u,p,,auto,utf8,,4"},
      {"f,h,u,p,/x,auto,auto," + site_sjis + ",4", site_sjis, 4, "/my site", 2,
       "f,h,u,p,/x,auto,auto,\"/my site\""},
      {"g,h,u,p,/x,auto,auto,/s,8", "/s", 8, "", 1, "g,h,u,p,/x,auto,auto,,1"},
      // Counts outside 1-8 read as the default.
      {"h,h,u,p,/x,auto,auto,/s,9", "/s", 2, "/s", 2, "h,h,u,p,/x,auto,auto,/s"},
      {"i,h,u,p,/x,auto,auto,,0", "", 2, "", 2, "i,h,u,p,/x"},
      {"j,h,u,p,/x,auto,auto,,x", "", 2, "", 3, "j,h,u,p,/x,auto,auto,,3"},
      // The tenth: the password kept in this file by the user's choice.
      {"k,h,u,p,/x,auto,auto,,,plain", "", 2, "", 2, "k,h,u,p,/x,auto,auto,,,plain"},
      // The eleventh: the folder upload over the connections too. Readers of
      // ten fields find theirs in place; an unknown word is off.
      {"l,h,u,p,/x,auto,auto,,3,,parallel", "", 3, "", 3, "l,h,u,p,/x,auto,auto,,3,,parallel",
       true},
      {"m,h,u,p,/x,auto,auto,/s,,plain,parallel", "/s", 2, "/s", 2,
       "m,h,u,p,/x,auto,auto,/s,,plain,parallel", true},
      {"n,h,u,p,/x,auto,auto,,,,yes", "", 2, "", 2, "n,h,u,p,/x"},
  };
  std::vector<std::string> lines;
  for (const Case& c : cases) lines.push_back(c.line);
  ASSERT_TRUE(WriteProfileFile(dir, lines).ok);
  ProfilePanel p;
  p.Load(ReadProfileFile(dir));
  for (size_t i = 0; i < std::size(cases); ++i) {
    p.ShowProfile(static_cast<int>(i) + 1);
    EXPECT_EQ(p.SiteFolder, cases[i].site_loaded) << cases[i].line;
    EXPECT_EQ(p.Connections, cases[i].connections_loaded) << cases[i].line;
    EXPECT_EQ(p.FolderUploadParallel, cases[i].parallel) << cases[i].line;
    p.SiteFolder = cases[i].site_saved;
    p.Connections = cases[i].connections_saved;
    p.WriteBack();
  }
  ASSERT_TRUE(WriteProfileFile(dir, p.ProfileList).ok);
  const auto back = ReadProfileFile(dir);
  ASSERT_EQ(back.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(back[i], cases[i].written);
  // "保存" keeps them; "追加" starts without a site folder and with two connections.
  p.ShowProfile(4);
  p.SiteFolder = "/t";
  p.Connections = 5;
  p.FolderUploadParallel = true;
  ASSERT_TRUE(p.SaveClick());
  EXPECT_EQ(p.ProfileList[3], "d,h,u,p,,passive,auto,/t,5,,parallel");
  p.AddClick();
  EXPECT_EQ(p.SiteFolder, "");
  EXPECT_EQ(p.Connections, 2);
  EXPECT_FALSE(p.FolderUploadParallel);
}

TEST(ProfilePanel, StoreSiteFolderChangesOnlyThatField) {
  const std::pair<std::string, std::string> cases[] = {
      {"a,h,u,p,/x", "a,h,u,p,/x,auto,auto,/s"},
      {"a,h,u,p,/x,passive", "a,h,u,p,/x,passive,auto,/s"},
      {"a,h,u,p,,auto,utf8", "a,h,u,p,,auto,utf8,/s"},
      {"a,h,u,p,/x,auto,auto,/old,4", "a,h,u,p,/x,auto,auto,/s,4"},
      {"a,h,u,p", "a,h,u,p,,auto,auto,/s"},  // a four-field file, upgraded on load
  };
  for (const auto& [line, stored] : cases) {
    ProfilePanel p;
    p.Load({line});
    p.HostName = "typed, not saved";
    ASSERT_TRUE(p.StoreSiteFolder("/s")) << line;
    EXPECT_EQ(p.ProfileList[0], stored);
    EXPECT_EQ(p.SiteFolder, "/s");
  }
  ProfilePanel p;
  p.Load({"a,h,u,p,/x"});
  p.AddClick();  // a profile being entered is not stored
  EXPECT_FALSE(p.StoreSiteFolder("/s"));
  EXPECT_EQ(p.ProfileList[0], "a,h,u,p,/x");
}

TEST(ProfilePanel, ProfileHoldingPageIsTheInnermostSiteFolder) {
  const std::vector<std::string> lines = {
      "a,h,u,p,,auto,auto,/www/site",
      "b,h,u,p,,auto,auto,/www/site/sub,3",
      "c,h,u,p,,auto,auto,/www/other/",
      "d,h,u,p,,auto,auto,/www/\x83\x54\x83\x43\x83\x67",  // "/www/サイト"
      "e,h,u,p,/x",
      "f,h2,u,p,,auto,auto,/www/site/",  // the same site on another server
  };
  struct Case {
    std::string page;
    int preferred, profile;
  };
  const Case cases[] = {
      {"/www/site/a.htm", 0, 1},  {"/www/site/sub/b.htm", 0, 2}, {"/www/site/subx/b.htm", 0, 1},
      {"/www/site2/a.htm", 0, 0}, {"/www/other/x.htm", 0, 3},    {"/www/サイト/index.htm", 0, 4},
      {"/www/site", 0, 0},        {"/elsewhere/a.htm", 0, 0},    {"/x/a.htm", 0, 0},
      {"/www/site/a.htm", 6, 6},  {"/www/site/a.htm", 3, 1},     {"/www/site/sub/b.htm", 6, 2},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ProfileHoldingPage(lines, c.page, c.preferred), c.profile) << c.page << c.preferred;
}

TEST_F(StateFiles, LastDirIsShiftJisFirstLine) {
  EXPECT_FALSE(ReadLastDir(dir).has_value());
  const std::string folder = "/home/u/表示 site";
  ASSERT_TRUE(WriteLastDir(dir, folder).ok);
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(dir / "LastDir.ini", bytes));
  EXPECT_EQ(bytes, "/home/u/\x95\x5C\x8E\xA6 site\r\n");
  EXPECT_EQ(ReadLastDir(dir), folder);
  ASSERT_TRUE(WriteFileAtomically(dir / "LastDir.ini", "/first\r\n/second\r\n"));
  EXPECT_EQ(ReadLastDir(dir), "/first");
  // A folder Shift-JIS cannot spell is reported and the file stays.
  EXPECT_FALSE(WriteLastDir(dir, "/home/u/\xF0\x9F\x98\x80").ok);
  EXPECT_EQ(ReadLastDir(dir), "/first");
}

}  // namespace
}  // namespace hemlo::transfer
