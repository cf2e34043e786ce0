#include "shell/indent.h"

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

}  // namespace hemlo
