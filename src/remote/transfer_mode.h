#pragma once
// How a file's bytes travel: as text, whose line ends the server may turn
// into its own, or unchanged. Only FTP tells the two apart; SFTP always
// moves the bytes as they are.
namespace hemlo::transfer {

enum class TransferMode { kAscii, kBinary };

}  // namespace hemlo::transfer
