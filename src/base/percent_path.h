#pragma once
// Percent-escaping of a local path for file addresses and the trash's
// Path= value: every byte outside the unreserved characters and "/".
#include <string>
#include <string_view>

namespace hemlo {

std::string PercentEscapePath(std::string_view path);

}  // namespace hemlo
