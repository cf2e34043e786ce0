#pragma once
// Ends the test program when a test keeps a test server longer than its
// bound: a client waiting where the server's script cannot see it would
// otherwise hold the whole suite.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "support/test_bounds.h"

namespace hemlo::ftp::testing {

// The longest any one test may hold a scripted server on an idle machine
// (stretched like every bound, but always ending before ctest's own limit).
inline constexpr int kScriptTestBoundMs = 90'000;
inline constexpr int kLongestWatchMs = 480'000;

class TestWatchdog {
 public:
  explicit TestWatchdog(int bound_ms = kScriptTestBoundMs)
      : thread_([this, bound_ms = std::min(test_support::BoundMs(bound_ms), kLongestWatchMs)] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (released_cv_.wait_for(lock, std::chrono::milliseconds(bound_ms),
                                    [this] { return released_; }))
            return;
          std::fprintf(stderr, "test server: the test ran longer than %d ms; stopping\n", bound_ms);
          std::fflush(stderr);
          std::abort();
        }) {}
  ~TestWatchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      released_ = true;
    }
    released_cv_.notify_all();
    thread_.join();
  }
  TestWatchdog(const TestWatchdog&) = delete;
  TestWatchdog& operator=(const TestWatchdog&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable released_cv_;
  bool released_ = false;
  std::thread thread_;  // last: starts once the members it uses exist
};

}  // namespace hemlo::ftp::testing
