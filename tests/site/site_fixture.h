#pragma once
// A small site in a temporary folder, written byte for byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace hemlo::site::testing {

namespace fs = std::filesystem;

class SiteFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("hemlo-site-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  void Put(const std::string& name, const std::string& bytes) const {
    const fs::path p = root_ / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
  }
  void PutAll(const std::vector<std::pair<std::string, std::string>>& files) const {
    for (const auto& [name, bytes] : files) Put(name, bytes);
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(root_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::string Name(const fs::path& p) const { return fs::relative(p, root_).generic_string(); }

  fs::path root_;
};

}  // namespace hemlo::site::testing
