#include "remote/ftp_errors.h"

#include "ftp/id_exception.h"

namespace hemlo::transfer {

namespace {

template <typename... T>
bool IsOneOf(const std::exception& e) {
  return ((dynamic_cast<const T*>(&e) != nullptr) || ...);
}

}  // namespace

std::shared_ptr<const remote::RemoteError> RemoteErrorOf(const std::exception& e) {
  using namespace remote;
  if (const auto* own = dynamic_cast<const RemoteError*>(&e))
    return std::shared_ptr<const RemoteError>(std::shared_ptr<void>(), own);
  if (!dynamic_cast<const ftp::EIdException*>(&e)) return nullptr;
  std::string text = e.what();
  if (IsOneOf<ftp::EIdConnectionLost>(e)) return std::make_shared<ConnectionLost>(text);
  if (IsOneOf<ftp::EIdNotConnected, ftp::EIdSocketError>(e))
    return std::make_shared<ConnectionLost>(text, /*quiet=*/false);
  // A reply that never came leaves the control connection out of step.
  if (IsOneOf<ftp::EIdReplyTimeout>(e))
    return std::make_shared<TimedOut>(text, /*connection_lost=*/true);
  if (IsOneOf<ftp::EIdReadTimeout, ftp::EIdConnectTimeout, ftp::EIdDataConnectTimeout,
              ftp::EIdAbortReplyTimeout, ftp::EIdDataTimeout>(e))
    return std::make_shared<TimedOut>(text);
  if (IsOneOf<ftp::EIdOperationAborted>(e)) return std::make_shared<Cancelled>(text);
  if (IsOneOf<ftp::EIdCertificateRejected>(e))
    return std::make_shared<TrustDeclined>(text, TrustDeclined::Of::kCertificate);
  if (IsOneOf<ftp::EIdTLSRefused>(e))
    return std::make_shared<SecureChannelFailed>(text, /*server_declined=*/true);
  if (IsOneOf<ftp::EIdTLSHandshakeFailed>(e))
    return std::make_shared<SecureChannelFailed>(text, /*server_declined=*/false);
  if (IsOneOf<ftp::EIdFTPLocalFileError>(e)) return std::make_shared<LocalFileError>(text);
  if (const auto* reply = dynamic_cast<const ftp::EIdProtocolReplyError*>(&e))
    return std::make_shared<Refused>(text, /*from_server=*/true, reply->ErrorCode());
  return std::make_shared<Refused>(text);
}

bool IsCancelled(const std::exception& e) {
  return dynamic_cast<const remote::Cancelled*>(RemoteErrorOf(e).get()) != nullptr;
}

bool IsQuietLoss(const std::exception& e) {
  const auto error = RemoteErrorOf(e);
  return error && remote::IsQuietLoss(*error);
}

std::exception_ptr AsRemoteError(const std::exception_ptr& error) {
  try {
    try {
      std::rethrow_exception(error);
    } catch (...) {
      RethrowAsRemoteError();
    }
  } catch (...) {
    return std::current_exception();
  }
}

[[noreturn]] void RethrowAsRemoteError() {
  try {
    throw;
  } catch (const remote::RemoteError&) {
    throw;
  } catch (const std::exception& e) {
    if (const auto translated = RemoteErrorOf(e)) translated->Raise();
    throw;
  }
}

}  // namespace hemlo::transfer
