// LineIndex against a plain vector of line lengths, under random edits of
// every shape (typing in a line, splitting and joining lines, big deletions).
#include "text/line_index.h"

#include <gtest/gtest.h>

#include <random>

namespace hemlo::text {
namespace {

using Line = LineIndex::Line;

void ExpectSame(const LineIndex& index, const std::vector<Line>& model) {
  ASSERT_EQ(index.size(), model.size());
  ASSERT_EQ(index.Lines(), model);
  std::uint64_t start = 0;
  for (std::size_t k = 0; k < model.size(); ++k) {
    ASSERT_EQ(index.LineStart(k), start) << k;
    ASSERT_EQ(index.at(k), model[k]);
    // First byte, last byte of the line, and both bytes of its CRLF.
    for (std::uint64_t offset : {start, start + model[k].bytes, start + model[k].bytes + 1}) {
      auto [line, line_start] = index.LineAt(offset);
      ASSERT_EQ(line, k) << offset;
      ASSERT_EQ(line_start, start);
    }
    start += model[k].bytes + 2;
  }
  ASSERT_EQ(index.TotalBytes(), start - 2);
  auto [last, last_start] = index.LineAt(start + 100);  // past the end
  EXPECT_EQ(last, model.size() - 1);
  EXPECT_EQ(last_start, start - 2 - model.back().bytes);
}

TEST(LineIndex, StartsWithOneEmptyLine) {
  LineIndex index;
  ExpectSame(index, {Line{}});
  EXPECT_EQ(index.TotalBytes(), 0u);
}

TEST(LineIndex, RandomEditsMatchAPlainVector) {
  std::mt19937 rng(7);
  std::vector<Line> model;
  for (int i = 0; i < 3000; ++i)
    model.push_back(Line{static_cast<std::uint32_t>(rng() % 80), rng() % 2 == 0});
  LineIndex index;
  index.Assign(model);
  ExpectSame(index, model);
  for (int round = 0; round < 3000; ++round) {
    const std::size_t first = rng() % model.size();
    std::size_t old_count;
    std::size_t new_count;
    switch (rng() % 5) {
      case 0:
        old_count = 1;
        new_count = 1;
        break;  // typing
      case 1:
        old_count = 1;
        new_count = 2 + rng() % 3;
        break;  // Enter, paste
      case 2:
        old_count = 2 + rng() % 3;
        new_count = 1;
        break;  // join lines
      case 3:
        old_count = 1 + rng() % 1500;
        new_count = 1;
        break;  // big deletion
      default:
        old_count = 1 + rng() % 3;
        new_count = rng() % 2000;
        break;  // big paste
    }
    old_count = std::min(old_count, model.size() - first);
    if (new_count == 0 && old_count == model.size()) new_count = 1;
    std::vector<Line> fresh;
    for (std::size_t i = 0; i < new_count; ++i)
      fresh.push_back(Line{static_cast<std::uint32_t>(rng() % 100), rng() % 3 != 0});
    model.erase(model.begin() + static_cast<std::ptrdiff_t>(first),
                model.begin() + static_cast<std::ptrdiff_t>(first + old_count));
    model.insert(model.begin() + static_cast<std::ptrdiff_t>(first), fresh.begin(), fresh.end());
    index.Replace(first, old_count, fresh);
    if (round % 100 == 0 || model.size() < 50) {
      ExpectSame(index, model);
    } else {
      ASSERT_EQ(index.size(), model.size());
      ASSERT_EQ(index.TotalBytes(), index.LineStart(model.size() - 1) + model.back().bytes);
    }
    if (model.size() > 200000) break;
  }
  ExpectSame(index, model);
}

}  // namespace
}  // namespace hemlo::text
