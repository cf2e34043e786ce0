#pragma once
// Time bounds for tests. Every limit a test waits with or asserts is
// written for an idle machine and stretched here by one factor: the
// sanitizer passes slow everything down (scripts/test.sh sets
// HEMLO_TEST_SLOWER for them), and a machine shared by other builds runs
// everything later. A bound that only fails on a busy machine finds nothing.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

namespace hemlo::test_support {

// Without HEMLO_TEST_SLOWER, what the sanitizer this program was built
// with costs (ThreadSanitizer 5-15 times, AddressSanitizer about twice).
#if defined(__SANITIZE_THREAD__)
inline constexpr int kBuiltSlower = 10;
#elif defined(__SANITIZE_ADDRESS__)
inline constexpr int kBuiltSlower = 4;
#else
inline constexpr int kBuiltSlower = 1;
#endif

// HEMLO_TEST_SLOWER (a whole number) times the load per core when the test
// program starts (at least 1, at most 4).
inline int SlowerFactor() {
  static const int factor = [] {
    int base = kBuiltSlower;
    if (const char* env = std::getenv("HEMLO_TEST_SLOWER")) base = std::max(1, std::atoi(env));
    double load = 0;
    const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
    int busy = 1;
    if (::getloadavg(&load, 1) == 1 && cores > 0)
      busy = std::clamp(static_cast<int>(std::ceil(load / static_cast<double>(cores))), 1, 4);
    return base * busy;
  }();
  return factor;
}

// `ms` on an idle machine, stretched.
inline int BoundMs(int ms) { return ms * SlowerFactor(); }
inline std::chrono::milliseconds Bound(std::chrono::milliseconds idle) {
  return idle * SlowerFactor();
}

}  // namespace hemlo::test_support
