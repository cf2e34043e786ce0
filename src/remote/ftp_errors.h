#pragma once
// The FTP client's failures in the terms of the remote seam
// (base/remote_errors.h). The FTP forms of the seam pass everything they
// raise through here, so code above them never needs the client's own
// exception names.
//
// Core code (no Qt).
#include <exception>
#include <memory>
#include <utility>

#include "base/remote_errors.h"

namespace hemlo::transfer {

// The seam's form of `e`: `e` itself when it is one already, a translated
// copy when it is the FTP client's, null for anything else.
std::shared_ptr<const remote::RemoteError> RemoteErrorOf(const std::exception& e);

// For code that meets the FTP client's failures and the seam's alike (the
// window's own client calls): what `e` is in the seam's terms.
bool IsCancelled(const std::exception& e);
bool IsQuietLoss(const std::exception& e);

// `error` as the seam's failure (itself when it is not the FTP client's).
std::exception_ptr AsRemoteError(const std::exception_ptr& error);

// Only inside a catch block: raises the caught failure in the seam's terms.
[[noreturn]] void RethrowAsRemoteError();

// Runs `f`, raising what it raises in the seam's terms.
template <typename F>
decltype(auto) FtpCall(F&& f) {
  try {
    return std::forward<F>(f)();
  } catch (...) {
    RethrowAsRemoteError();
  }
}

}  // namespace hemlo::transfer
