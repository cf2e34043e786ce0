#pragma once
// The answer of a local file call that has nothing else to give back: done,
// or why not, in a text the caller shows or wraps in its own message.
#include <string>

namespace hemlo {

struct FileResult {
  bool ok = true;
  std::string message;  // when !ok
  explicit operator bool() const { return ok; }
};

inline FileResult FileFailed(std::string message) { return {false, std::move(message)}; }

}  // namespace hemlo
