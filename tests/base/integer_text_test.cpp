#include <gtest/gtest.h>

#include "base/integer_text.h"

namespace hemlo {
namespace {

TEST(IntegerText, OneConversionForEveryTypedNumber) {
  const std::pair<const char*, int> good[] = {{"320", 320},
                                              {"12", 12},
                                              {"-3", -3},
                                              {" 5", 5},
                                              {"  +7", 7},
                                              {"$1F", 31},
                                              {"0x10", 16},
                                              {"2147483647", 2147483647},
                                              {"-2147483648", -2147483647 - 1}};
  for (const auto& [text, value] : good) EXPECT_EQ(ParseInteger(text), value) << text;
  for (const char* bad : {"", " ", "+", "-", "+-1", "$", "abc", "9x", "4a", "1.5", "4.5", "5 ",
                          " 8 ", "2147483648", "99999999999", "99999999999999999999"})
    EXPECT_FALSE(ParseInteger(bad).has_value()) << bad;
}

TEST(IntegerText, SettingsTellANonNumberFromANumberOutOfRange) {
  const struct {
    const char* text;
    int value;
    const char* error;
  } cases[] = {
      {"4", 4, ""},
      {"64", 64, ""},
      {"0", 0, "1 から 64 までの数を入れてください"},
      {"-4", 0, "1 から 64 までの数を入れてください"},
      {"65", 0, "1 から 64 までの数を入れてください"},
      {"2147483647", 0, "1 から 64 までの数を入れてください"},
      {"abc", 0, "'abc' は整数ではありません"},
      {"99999999999", 0, "'99999999999' は整数ではありません"},
  };
  for (const auto& c : cases) {
    const IntegerInput in = ReadInteger(c.text, 1, 64);
    EXPECT_EQ(in.error, c.error) << c.text;
    EXPECT_EQ(in.value.value_or(0), c.value) << c.text;
  }
}

}  // namespace
}  // namespace hemlo
