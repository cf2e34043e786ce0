#include "text/comma_fields.h"

namespace hemlo::text {

std::vector<std::string> SplitCommaFields(std::string_view line, bool nul_is_blank,
                                          bool blank_ends_field) {
  auto blank = [nul_is_blank](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c <= ' ' && (c != 0 || nul_is_blank);
  };
  std::vector<std::string> fields;
  size_t i = 0;
  const size_t n = line.size();
  auto skip_blanks = [&] {
    while (i < n && blank(line[i])) ++i;
  };
  skip_blanks();
  while (i < n) {
    std::string field;
    if (line[i] == '"') {
      ++i;
      while (i < n) {
        if (line[i] == '"') {
          if (i + 1 < n && line[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;  // the closing quote
          break;
        }
        field += line[i++];
      }
    } else {
      const size_t start = i;
      while (i < n && line[i] != ',' && (!blank_ends_field || !blank(line[i]))) ++i;
      std::size_t end = i;
      while (end > start && blank(line[end - 1])) --end;
      field.assign(line.substr(start, end - start));
    }
    fields.push_back(std::move(field));
    skip_blanks();
    if (i < n && line[i] == ',') {
      if (i + 1 == n) fields.emplace_back();
      ++i;
      skip_blanks();
    }
  }
  return fields;
}

}  // namespace hemlo::text
