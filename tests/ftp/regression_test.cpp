// Replays the inputs that once broke the fuzz targets (fuzz/regressions):
// each must be handled without a crash or sanitizer report.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../../fuzz/fuzz_inputs.h"

namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void ReplayFolder(const char* sub, void (*run)(const uint8_t*, size_t)) {
  fs::path dir = fs::path(HEMLO_FUZZ_REGRESSIONS) / sub;
  ASSERT_TRUE(fs::is_directory(dir)) << dir;
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::string bytes = ReadBytes(entry.path());
    run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++count;
  }
  EXPECT_GT(count, 0u) << "no regression inputs in " << dir;
}

TEST(FtpFuzzRegressions, ReplyParser) { ReplayFolder("reply", hemlo::ftp::fuzz::RunReplyInput); }
TEST(FtpFuzzRegressions, ListingParser) {
  ReplayFolder("listing", hemlo::ftp::fuzz::RunListingInput);
}

}  // namespace
