#pragma once
// Whether two folder trees hold the same names and, file for file, the same
// bytes: how tests check a whole site after publishing or fetching it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace hemlo::ftp::testing {

inline void ExpectSameTree(const std::filesystem::path& a, const std::filesystem::path& b) {
  namespace fs = std::filesystem;
  auto names = [](const fs::path& root) {
    std::set<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root))
      out.insert(fs::relative(e.path(), root).string());
    return out;
  };
  auto bytes = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::set<std::string> left = names(a);
  EXPECT_EQ(left, names(b));
  for (const std::string& rel : left) {
    if (fs::is_regular_file(a / rel)) {
      EXPECT_EQ(bytes(a / rel), bytes(b / rel)) << rel;
    }
  }
}

}  // namespace hemlo::ftp::testing
