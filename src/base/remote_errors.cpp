#include "base/remote_errors.h"

namespace hemlo::remote {

bool IsLost(const std::exception& error) {
  if (dynamic_cast<const ConnectionLost*>(&error)) return true;
  const auto* timeout = dynamic_cast<const TimedOut*>(&error);
  return timeout && timeout->LeftConnectionLost();
}

bool IsQuietLoss(const std::exception& error) {
  const auto* lost = dynamic_cast<const ConnectionLost*>(&error);
  return lost && lost->Quiet();
}

bool IsRefusal(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const Cancelled&) {
  } catch (const RemoteError& e) {
    return !IsLost(e);
  } catch (...) {
  }
  return false;
}

}  // namespace hemlo::remote
