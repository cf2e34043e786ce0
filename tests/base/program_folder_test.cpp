#include "base/program_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/atomic_file.h"
#include "base/version_store.h"

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

  // A folder the user cannot write is an installed program, state files or
  // not. Root writes anywhere, so the choice is made as an ordinary user then.
  std::ofstream(exe / "Ferrox.ini") << "x";
  ASSERT_EQ(::chmod(exe.c_str(), 0555), 0);
  const FolderEnvironment env{r + "/cfg", runtime.string(), "", r};
  bool portable = true;
  if (::geteuid() != 0) {
    portable = ChooseStateFolders(exe, env).portable;
  } else {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
      ::_exit(!dropped ? 2 : ChooseStateFolders(exe, env).portable ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2);
    portable = WEXITSTATUS(status) == 1;
  }
  EXPECT_FALSE(portable);
  ::chmod(exe.c_str(), 0755);

  // A folder made for state is the owner's only; an existing one is left as it is.
  const FileResult made = MakePrivateFolder(root / "cfg/Hemlo2");
  ASSERT_TRUE(made) << made.message;
  struct stat st {};
  ASSERT_EQ(::stat((root / "cfg/Hemlo2").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(MakePrivateFolder(root / "cfg/Hemlo2"));
  std::ofstream(root / "file") << "x";
  const FileResult refused = MakePrivateFolder(root / "file/sub");
  EXPECT_FALSE(refused);
  EXPECT_NE(refused.message.find("file/sub"), std::string::npos);
  fs::remove_all(root);
}

// A process that never chose a state folder (a test, a tool) saves pages
// without writing anything where it was started, and leaves nothing behind.
TEST(StateFolders, UnchosenWritesNothingIntoTheWorkingFolder) {
  const fs::path work =
      fs::temp_directory_path() / ("hemlo_unchosen_" + std::to_string(std::random_device{}()));
  fs::create_directories(work);
  const pid_t pid = ::fork();  // a process whose folders are still unchosen
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    bool ok = ::chdir(work.c_str()) == 0 && WriteFileAtomically("page.htm", "<p>1</p>").ok &&
              KeepBeforeWrite("page.htm", "上書き保存").ok &&
              WriteFileAtomically("page.htm", "<p>2</p>").ok;
    const auto versions = ProgramVersionStore().Versions("page.htm");
    ok = ok && versions.size() == 1 &&
         ProgramVersionStore().Bytes("page.htm", versions[0].hash) == "<p>1</p>";
    std::exit(ok ? 0 : 1);  // an ordinary end: what the process made is taken down
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(work)) left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"page.htm"});
  EXPECT_FALSE(fs::exists(fs::temp_directory_path() / ("hemlo2-" + std::to_string(pid))));
  fs::remove_all(work);
}

}  // namespace
}  // namespace hemlo
