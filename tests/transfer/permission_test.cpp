// The permission dialog's mode logic, and chmod through SITE on pyftpdlib
// checked on disk.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ops_test_support.h"
#include "transfer/permission.h"

namespace hemlo::transfer {
namespace {

using namespace testing;

TEST(PermissionModel, LettersTickTheirBoxesAndDropSpecialBits) {
  PermissionModel m;
  m.Prepare("index.htm", "rwxr-xr-x");
  const bool expected[9] = {true, true, true, true, false, true, true, false, true};
  for (int k = 0; k < 9; ++k) EXPECT_EQ(m.Box(k), expected[k]) << k;
  EXPECT_EQ(m.Digits(), "755");
  EXPECT_EQ(m.Edit1(), "755");

  m.Prepare("cgi", "rwsr-xr-T");
  EXPECT_EQ(m.Digits(), "654");
  EXPECT_EQ(m.ChmodText(), "chmod 654 cgi");

  // Nothing ticked: nothing changes, so Edit1 stays empty and the digits say 000.
  m.Prepare("x", "---------");
  EXPECT_EQ(m.Edit1(), "");
  EXPECT_EQ(m.ChmodText(), "chmod 000 x");
}

TEST(PermissionModel, BoxClicksAndDirectEntry) {
  PermissionModel m;
  m.Prepare("a.cgi", "rw-r--r--");
  m.SetBox(2, true);  // owner X
  EXPECT_EQ(m.DigitLabel(0), "7");
  EXPECT_EQ(m.Edit1(), "744");
  m.SetEdit1("644");
  EXPECT_EQ(m.ChmodText(), "chmod 644 a.cgi");
  for (const char* invalid : {"64", "8a9", "", "6 4"}) {
    m.SetEdit1(invalid);
    EXPECT_EQ(m.ChmodText(), "chmod 744 a.cgi") << invalid;
  }
  m.SetEdit1("0644");
  EXPECT_EQ(m.ChmodText(), std::nullopt);
  m.SetEdit1("６４４");  // three characters, not digits: the boxes count
  EXPECT_EQ(m.ChmodText(), "chmod 744 a.cgi");
}

class ChmodOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(server_.Disk() / "f.cgi", "#!/bin/sh\n");
    ConnectClient(ftp_, server_.Port());
  }
  mode_t DiskMode() {
    struct stat st {};
    ::stat((server_.Disk() / "f.cgi").c_str(), &st);
    return st.st_mode & 07777;
  }
  PermissionModel FromListing() {
    PermissionModel m;
    for (const RemoteRow& row : ListRows(ftp_))
      if (row.name == "f.cgi") m.Prepare(row.name, row.permissions);
    return m;
  }

  Pyftpdlib server_;
  ftp::TIdFTP ftp_;
  ScriptedPrompts prompts_;
  int refreshes_ = 0;
};

TEST_F(ChmodOnDisk, SendsTheModeOfTheBoxesOrOfEdit1) {
  ::chmod((server_.Disk() / "f.cgi").c_str(), 0751);
  PermissionModel m = FromListing();
  EXPECT_EQ(m.Edit1(), "751");
  m.SetBox(7, true);  // others W
  EXPECT_TRUE(ApplyPermission(m, ftp_, prompts_, [&] { ++refreshes_; }));
  EXPECT_EQ(DiskMode(), 0753u);

  ::chmod((server_.Disk() / "f.cgi").c_str(), 0755);
  m = FromListing();
  EXPECT_TRUE(ApplyPermission(m, ftp_, prompts_, [&] { ++refreshes_; }));
  EXPECT_EQ(DiskMode(), 0755u);
  EXPECT_EQ(refreshes_, 2);
}

TEST_F(ChmodOnDisk, SetuidRowSends655AndFourDigitsSendNothing) {
  ::chmod((server_.Disk() / "f.cgi").c_str(), 04755);
  // The letters as the remote list shows them (a listing whose first line
  // carries "s" is not read as a Unix listing, so they are given here).
  PermissionModel m;
  m.Prepare("f.cgi", "rwsr-xr-x");
  EXPECT_EQ(m.Digits(), "655");
  EXPECT_TRUE(ApplyPermission(m, ftp_, prompts_, nullptr));
  EXPECT_EQ(DiskMode(), 0655u);

  m.SetEdit1("0644");
  EXPECT_FALSE(ApplyPermission(m, ftp_, prompts_, [&] { ++refreshes_; }));
  EXPECT_EQ(DiskMode(), 0655u);
  EXPECT_EQ(refreshes_, 0);
}

TEST_F(ChmodOnDisk, RefusalShowsTheServersMessageAndKeepsTheDialogOpen) {
  PermissionModel m;
  m.Prepare("missing.cgi", "rwxr-xr-x");
  EXPECT_FALSE(ApplyPermission(m, ftp_, prompts_, [&] { ++refreshes_; }));
  EXPECT_EQ(Texts(prompts_, "error").size(), 1u);
  EXPECT_EQ(refreshes_, 0);
}

}  // namespace
}  // namespace hemlo::transfer
