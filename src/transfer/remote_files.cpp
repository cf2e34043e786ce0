#include "transfer/remote_files.h"

#include "ftp/id_exception.h"

namespace hemlo::transfer {

std::optional<int64_t> RemoteFiles::PlaceUploaded(const std::string& from, const std::string& to,
                                                  int64_t utc_seconds) {
  std::optional<int64_t> listed;
  try {
    if (SetModified(from, utc_seconds)) listed = ListedTimeAfterSet();
  } catch (const ftp::EIdConnectionLost&) {
    throw;
  } catch (const ftp::EIdNotConnected&) {
    throw;
  } catch (const ftp::EIdReplyTimeout&) {
    throw;
  } catch (const ftp::EIdSocketError&) {
    throw;
  } catch (const ftp::EIdOperationAborted&) {
    throw;
  } catch (const ftp::EIdException&) {
    // Refused: the file keeps the server's own time.
  }
  Rename(from, to);
  return listed;
}

}  // namespace hemlo::transfer
