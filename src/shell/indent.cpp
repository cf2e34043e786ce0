#include "shell/indent.h"

#include <algorithm>

namespace hemlo {

std::string LeadingIndent(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size()) {
    const auto b = static_cast<unsigned char>(line[i]);
    if (b == 0x20 || b == 0x09) {
      ++i;
    } else if (b == 0x81 && i + 1 < line.size() &&
               static_cast<unsigned char>(line[i + 1]) == 0x40) {
      i += 2;
    } else {
      break;
    }
  }
  return std::string(line.substr(0, i));
}

std::string IndentStep(const std::vector<std::string>& indents) {
  std::size_t spaces = 0;
  for (const std::string& in : indents) {
    if (in.empty()) continue;
    if (in[0] == '\t') return "\t";
    if (in[0] != ' ') return in.substr(0, 2);  // a full-width space
    const std::size_t run = in.find_first_not_of(' ');
    const std::size_t n = run == std::string::npos ? in.size() : run;
    if (spaces == 0 || n < spaces) spaces = n;
  }
  return spaces == 0 ? "\t" : std::string(std::min<std::size_t>(spaces, 8), ' ');
}

}  // namespace hemlo
