#include "ftp/id_exception.h"

namespace hemlo::ftp {

EIdSocketError::EIdSocketError(int winsock_error)
    : EIdException(SocketErrorMessage(winsock_error)), error_(winsock_error) {}

}  // namespace hemlo::ftp
