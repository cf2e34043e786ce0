#pragma once
// The preview files this program wrote, for which windows, and what each
// file looked like right after the write (device, inode, size, time). A file
// that carries a preview name but is not in here, or was changed by someone
// else since we wrote it, belongs to the user: it is never overwritten nor
// deleted. The shared record is kept in a small state file, so a preview
// file left behind by a run that ended abruptly is still known as ours: the
// next preview of that page reuses it and closing the window removes it.
#include <functional>
#include <map>
#include <set>
#include <string>

namespace hemlo {

// Name of the state file in the program's folder.
inline constexpr const char* kPreviewRecordName = "PreviewFiles.dat";

class PreviewRecord {
 public:
  // `state_file` names the file the record is kept in, asked anew before
  // each use (the program's folder may be set after creation); none: the
  // record lives in memory only.
  explicit PreviewRecord(std::function<std::string()> state_file = {});
  // The program's record, kept in kPreviewRecordName in the program's folder.
  static PreviewRecord& Shared();

  // True when `path` exists and is, unchanged, a file this program wrote
  // (under that name, or under another spelling of the same file).
  bool IsOurs(const std::string& path) const;
  // Records a file just written by `owner` (a document window's identity).
  void Written(const std::string& path, const void* owner);
  // The window is going away: deletes each preview file it wrote, when no
  // other open window previewed through it and the file is still the one we
  // wrote. Returns the number of files deleted. Failures to delete are ignored.
  int Release(const void* owner);

 private:
  struct Identity {
    unsigned long long device = 0, inode = 0, size = 0;
    long long mtime_ns = 0;
    bool operator==(const Identity&) const = default;
  };
  struct Record {
    Identity identity;
    std::set<const void*> owners;
  };
  static bool Stat(const std::string& path, Identity& out);
  // Takes in the state file's records when the file in use changed.
  void Load() const;
  void Save() const;

  std::function<std::string()> state_file_;
  mutable std::string loaded_from_;
  mutable std::map<std::string, Record> files_;
};

}  // namespace hemlo
