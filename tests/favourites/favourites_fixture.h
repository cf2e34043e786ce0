#pragma once
// A fresh program folder for each test, so favorite.ini starts absent and
// is read and written where the test can see it.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "base/atomic_file.h"
#include "base/program_folder.h"

namespace hemlo::favourites {

class FavouritesFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    folder_ = std::filesystem::temp_directory_path() /
              ("hemlo_fav_" + std::to_string(rd()) + "_" + std::to_string(rd()));
    std::filesystem::create_directories(folder_);
    previous_ = ProgramFolder();
    SetProgramFolder(folder_);
  }
  void TearDown() override {
    SetProgramFolder(previous_);
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  std::string FileBytes() const {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(folder_ / "favorite.ini", bytes));
    return bytes;
  }
  void WriteFile(const std::string& bytes) const {
    ASSERT_TRUE(WriteFileAtomically(folder_ / "favorite.ini", bytes));
  }
  std::filesystem::path folder_;
  std::filesystem::path previous_;
};

}  // namespace hemlo::favourites
