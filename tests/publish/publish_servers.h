#pragma once
// The servers the publish tests run against: vsftpd (LIST only, names as
// bytes) and pyftpdlib (MLSD, MFMT, UTF-8), each also with its clock
// reported in another zone, and pyftpdlib with a limit of two connections,
// refusing to rename over a file, cutting connections mid-run, or failing
// chosen uploads and times.
// Each is started once per test program and kept.
#include <memory>
#include <string>

#include "support/real_servers.h"

namespace hemlo::publish::testing {

enum class Srv {
  kVsftpd,
  kVsftpdPlus9,
  kVsftpdMinus5,
  kPy,
  kPyPlus9,
  kPyMinus5,
  kPyLimit2,
  kPyNoRenameOver,        // refuses RNTO onto an existing file
  kPyCutting,             // drops the connection at every 7th STOR
  kPyFaulty,              // fails uploads of "FAIL...", MFMT on "NOTIME...", RNTO of "NORENAME..."
  kPyFaultyNoRenameOver,  // both of the above
  kPySlow,                // data connections at 20,000 bytes a second
};

const char* SrvName(Srv s);
bool IsVsftpd(Srv s);
// The zone a server's times are shown in ("" = UTC), for TZ.
const char* SrvZone(Srv s);

// The running server of that kind (started on first use).
ftp::testing::RealServer& ServerOf(Srv s);

// vsftpd runs one process per connection, started when the connection
// comes: its zone is the TZ of the test process at that moment. Set for
// the lifetime of this object.
class ZoneForSessions {
 public:
  explicit ZoneForSessions(Srv s);
  ~ZoneForSessions();

 private:
  bool set_ = false;
};

}  // namespace hemlo::publish::testing
