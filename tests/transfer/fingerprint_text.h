#pragma once
// A SHA-256 fingerprint for certificate tests: the pair `cc` 32 times,
// colon-separated ("AA:AA:...").
#include <string>

namespace hemlo::transfer::testing {

inline std::string Print(char c) {
  std::string s;
  for (int i = 0; i < 32; ++i) s += std::string(i ? ":" : "") + c + c;
  return s;
}

}  // namespace hemlo::transfer::testing
