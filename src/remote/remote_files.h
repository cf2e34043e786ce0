#pragma once
// What the transfer tool needs of a remote file system, whatever protocol
// carries it: the FTP client and the SFTP client each stand behind this, so
// the site sync and the operations are written once.
//
// Core code (no Qt). Every call blocks and is made on the connection's
// worker thread; Cancel may be called from any thread and ends the running
// wait soon after. Paths are wire bytes (the connection's name encoding),
// absolute or relative to the current folder, joined with "/".
//
// Failures raise the remote errors (base/remote_errors.h), whatever the
// protocol, so that one error handling serves both: ConnectionLost when the
// connection is gone, Cancelled when Cancel ended the wait, Refused (what()
// a text for the user) for a step refused with the connection usable.
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/remote_errors.h"
#include "remote/transfer_mode.h"

namespace hemlo::transfer {

struct RemoteFact {
  enum class Kind { kFile, kFolder, kLink, kOther };
  std::string name;  // wire bytes, no folder part
  Kind kind = Kind::kFile;
  int64_t size = -1;                    // -1: not given or unreadable
  std::optional<int64_t> modified_utc;  // seconds since 1970 as the server reports
  std::string permissions;              // "rwxr-xr-x" when given, else empty
  std::string link_target;              // links, when known
};

// Bytes moved of the current file; total 0 while unknown.
using ByteProgress = std::function<void(int64_t done, int64_t total)>;

// An entry as the transfer commands list it.
struct OpEntry {
  std::string name;  // wire bytes
  bool folder = false;
  bool link = false;  // where the protocol tells links apart (SFTP)
};

class RemoteFiles {
 public:
  virtual ~RemoteFiles() = default;

  virtual std::string CurrentFolder() = 0;
  virtual void ChangeFolder(const std::string& path) = 0;
  // The entries of `folder` ("" for the current one), "." and ".." left out.
  virtual std::vector<RemoteFact> List(const std::string& folder) = 0;

  virtual void MakeFolder(const std::string& path) = 0;
  virtual void Upload(const std::string& local_path, const std::string& remote_path,
                      const ByteProgress& progress) = 0;
  // The transfer tool's own upload over a file that may be there: where
  // the protocol allows, the bytes go to `temporary` (a free name, no
  // folder part) beside the target first, which takes the old file's
  // place and modes only once whole, so a cut-off upload leaves the old
  // file as it was. By default, Upload.
  virtual void UploadReplacing(const std::string& local_path, const std::string& remote_path,
                               const std::string& /*temporary*/, const ByteProgress& progress) {
    Upload(local_path, remote_path, progress);
  }
  // Writes `local_path` only when the whole file arrived (a temporary file
  // beside it otherwise removed), never leaving a good local file damaged.
  virtual void Download(const std::string& remote_path, const std::string& local_path,
                        const ByteProgress& progress) = 0;
  // Renames, replacing a file already at `to` (where the server refuses to
  // rename over a file, the old one is deleted first).
  virtual void Rename(const std::string& from, const std::string& to) = 0;
  virtual void DeleteFile(const std::string& path) = 0;
  virtual void RemoveFolder(const std::string& path) = 0;
  virtual void SetMode(const std::string& path, unsigned mode) = 0;
  // Sets the modification time; false when the server offers no way to.
  virtual bool SetModified(const std::string& path, int64_t utc_seconds) = 0;
  // The modification time of one file to the second, in the server's
  // clock; nullopt when the server cannot tell.
  virtual std::optional<int64_t> ModifiedTime(const std::string& /*path*/) { return std::nullopt; }
  // Whether List's modified_utc are exact seconds. False where a listing
  // meant for people gives the server's wall clock to the minute (or only
  // the day for older files): such times are only compared with times of
  // the same kind, and ModifiedTime asked where a true time matters.
  virtual bool ListedTimesExact() const { return true; }
  // After SetModified: the time List now gives for that file, when the
  // server told it (saves listing the folder again); nullopt otherwise.
  virtual std::optional<int64_t> ListedTimeAfterSet() const { return std::nullopt; }
  // One rename as the server does it: where it will not replace a file at
  // `to`, that raises like any refusal and nothing is deleted. (A protocol
  // that cannot keep from replacing uses Rename's rules.)
  virtual void RenamePlain(const std::string& from, const std::string& to) { Rename(from, to); }
  // Puts a file just uploaded to `from` in place of `to`, its modification
  // time first set to `utc_seconds` where the server offers a way; a time
  // the server refuses does not stop the rename. Where the server will not
  // rename over the file at `to`, that file is moved to `aside` (a free
  // name in the same folder) first, moved back when the new one cannot take
  // its place, and deleted once it has: the old file is never lost (a
  // cancel or a broken line during that deletion raises, the new file in
  // place and the old one still aside). Empty `aside`: Rename's rules.
  // Returns the time List now gives for it when the server told it
  // (as ListedTimeAfterSet), nullopt otherwise. Only for an upload that
  // succeeded: a failed one must never replace the file at `to`.
  virtual std::optional<int64_t> PlaceUploaded(const std::string& from, const std::string& to,
                                               int64_t utc_seconds, const std::string& aside);

  // The size the server gives for one file: nullopt when it cannot tell,
  // -1 when there is no such file.
  virtual std::optional<int64_t> FileSize(const std::string& /*path*/) { return std::nullopt; }
  // After PlaceUploaded(from, to): FileSize of `to`, then of `from`, for
  // telling a rename (or a store) that was answered as done but was not.
  virtual std::pair<std::optional<int64_t>, std::optional<int64_t>> SizesAfterPlace(
      const std::string& from, const std::string& to) {
    return {FileSize(to), FileSize(from)};
  }

  // Any thread: ends the running wait (remote::Cancelled).
  virtual void Cancel() = 0;

  // The transfer commands' own calls (the window's buttons, the folder
  // upload), each sending what those commands always sent. By default
  // they are made of the calls above.
  //
  // Whether the connection still stands.
  virtual bool Connected() const { return true; }
  // The mode box's type, applied before each transfer (nothing where the
  // protocol moves bytes unchanged).
  virtual void SetTransferType(TransferMode /*mode*/) {}
  // A command's upload. By default through `temporary` (a free name, no
  // folder part), as UploadReplacing.
  virtual void Store(const std::string& local_path, const std::string& remote_path,
                     const std::string& temporary);
  // Lands in a temporary file that replaces `local_path` once complete.
  virtual void Fetch(const std::string& remote_path, const std::string& local_path);
  // The entries of `folder` ("" for the current one), names starting with
  // a dot only when `hidden`; listing lines that could not be read are
  // added to `unread`.
  virtual std::vector<OpEntry> ListEntries(const std::string& folder, bool hidden,
                                           size_t& unread);
  // The rename command's rename. By default Rename.
  virtual void RenameEntry(const std::string& from, const std::string& to) { Rename(from, to); }
  // `digits`: three octal digits, as the permission dialog gives them.
  virtual void SetModeDigits(const std::string& path, const std::string& digits);
  // The byte progress of Store and Fetch goes to `sink` (a few updates a
  // second) while the returned handle lives.
  virtual std::shared_ptr<void> ReportProgress(ByteProgress sink);
  // After a Store that raised: whether the server had begun to store the
  // file in place, so that its old copy is gone and part of the new stands.
  virtual bool StoreLeftPartial() const { return false; }

 protected:
  // The rest of PlaceUploaded once the plain rename was refused with
  // `refusal` (what is raised when nothing at `to` can be moved aside).
  void ReplaceByAside(const std::string& from, const std::string& to, const std::string& aside,
                      const std::exception_ptr& refusal);

 private:
  // The default Store's and Fetch's progress, spaced for the sink.
  void Progress(int64_t done, int64_t total);

  ByteProgress sink_;
  int64_t last_ms_ = 0;
};

// A local file as seen at one moment: an upload compares it before and
// after reading, and refuses a file that changed meanwhile.
struct LocalStamp {
  uint64_t device = 0, inode = 0;
  int64_t size = -1;
  int64_t mtime_ns = 0;
  bool operator==(const LocalStamp&) const = default;
};
std::optional<LocalStamp> StampOf(const std::string& path);
std::optional<LocalStamp> StampOfOpen(int fd);
// Raises the refusal for `local_path` when `after` differs from `before`
// (an unknown `before` checks nothing).
void RefuseIfChanged(const std::string& local_path, const std::optional<LocalStamp>& before,
                     const std::optional<LocalStamp>& after);

}  // namespace hemlo::transfer
