#pragma once
// What the server tells of a file: the fields SFTP carries, each valid when
// its flag is set.
#include <cstdint>
#include <string>

namespace hemlo::sftp {

struct Attributes {
  enum : uint32_t { kSize = 1, kUidGid = 2, kPermissions = 4, kTimes = 8 };
  uint32_t flags = 0;
  uint64_t size = 0;
  uint32_t uid = 0, gid = 0;
  uint32_t permissions = 0;  // st_mode: type bits and permission bits
  uint32_t atime = 0, mtime = 0;

  bool IsFolder() const { return (flags & kPermissions) && (permissions & 0170000) == 0040000; }
  bool IsLink() const { return (flags & kPermissions) && (permissions & 0170000) == 0120000; }
  bool IsRegular() const { return (flags & kPermissions) && (permissions & 0170000) == 0100000; }
};

// "rwxr-xr-x" from permission bits.
std::string PermissionText(uint32_t mode);

}  // namespace hemlo::sftp
