#include "base/program_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>

namespace hemlo {
namespace {

namespace fs = std::filesystem;

TEST(StateFolders, PortableOnlyWithAStateFileOtherwiseTheUsersFolders) {
  const fs::path root =
      fs::temp_directory_path() / ("hemlo_folders_" + std::to_string(std::random_device{}()));
  const fs::path exe = root / "bin";
  const fs::path runtime = root / "run";
  fs::create_directories(exe);
  fs::create_directories(runtime);
  const std::string r = root.string();
  struct Case {
    const char* what;
    const char* state_file;  // put into the executable's folder, or nullptr
    FolderEnvironment env;
    fs::path state, temporary;
    bool portable;
  } cases[] = {
      {"state file makes it portable",
       "Ferrox.ini",
       {r + "/cfg", runtime.string(), "", r},
       exe,
       exe,
       true},
      {"XDG folders",
       nullptr,
       {r + "/cfg", runtime.string(), r + "/cache", r},
       root / "cfg/Hemlo2",
       runtime / "Hemlo2",
       false},
      {"home fallbacks; missing runtime folder",
       nullptr,
       {"", r + "/gone", "", r},
       root / ".config/Hemlo2",
       root / ".cache/Hemlo2",
       false},
      {"relative XDG values ignored",
       nullptr,
       {"cfg", "run", "cache", r},
       root / ".config/Hemlo2",
       root / ".cache/Hemlo2",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (auto name : StateFileNames()) fs::remove(exe / name);
    if (c.state_file) std::ofstream(exe / c.state_file) << "x";
    const StateFolders got = ChooseStateFolders(exe, c.env);
    EXPECT_EQ(got.state, c.state);
    EXPECT_EQ(got.temporary, c.temporary);
    EXPECT_EQ(got.portable, c.portable);
  }

  // A folder made for state is the owner's only; an existing one is left as it is.
  std::string error;
  ASSERT_TRUE(MakePrivateFolder(root / "cfg/Hemlo2", &error)) << error;
  struct stat st {};
  ASSERT_EQ(::stat((root / "cfg/Hemlo2").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(MakePrivateFolder(root / "cfg/Hemlo2", &error));
  std::ofstream(root / "file") << "x";
  EXPECT_FALSE(MakePrivateFolder(root / "file/sub", &error));
  EXPECT_NE(error.find("file/sub"), std::string::npos);
  fs::remove_all(root);
}

}  // namespace
}  // namespace hemlo
