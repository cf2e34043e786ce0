#pragma once
// Socket failures told in the Winsock numbering and words the connection
// texts have always shown, whichever protocol's connection met them.
#include <string>

namespace hemlo {

// Text of a Winsock error number; empty for numbers outside the table.
std::string SocketErrorText(int winsock_error);
// "Socket Error # <n>\r\n<text>": what a failed socket call reports.
std::string SocketErrorMessage(int winsock_error);
// Maps a POSIX errno onto Winsock numbering (unknown values map to themselves).
int WinsockErrorFromErrno(int err);
// Maps a getaddrinfo() error onto Winsock numbering.
int WinsockErrorFromResolver(int gai_error);

}  // namespace hemlo
