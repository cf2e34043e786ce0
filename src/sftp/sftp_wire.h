#pragma once
// Packets of the SSH file transfer protocol, version 3 (the version every
// OpenSSH server speaks): building requests and reading replies. No I/O.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::sftp {

enum PacketType : uint8_t {
  kInit = 1,
  kVersion = 2,
  kOpen = 3,
  kClose = 4,
  kRead = 5,
  kWrite = 6,
  kLstat = 7,
  kFstat = 8,
  kSetstat = 9,
  kOpendir = 11,
  kReaddir = 12,
  kRemove = 13,
  kMkdir = 14,
  kRmdir = 15,
  kRealpath = 16,
  kStat = 17,
  kRename = 18,
  kReadlink = 19,
  kStatus = 101,
  kHandle = 102,
  kData = 103,
  kName = 104,
  kAttrs = 105,
  kExtended = 200,
  kExtendedReply = 201,
};

enum StatusCode : uint32_t {
  kOk = 0,
  kEof = 1,
  kNoSuchFile = 2,
  kPermissionDenied = 3,
  kFailure = 4,
  kBadMessage = 5,
  kOpUnsupported = 8,
};

enum OpenFlags : uint32_t {
  kOpenRead = 0x01,
  kOpenWrite = 0x02,
  kOpenCreate = 0x08,
  kOpenTruncate = 0x10,
};

struct Attributes {
  enum : uint32_t {
    kSize = 1,
    kUidGid = 2,
    kPermissions = 4,
    kTimes = 8,
    kExtendedPairs = 0x80000000u
  };
  uint32_t flags = 0;
  uint64_t size = 0;
  uint32_t uid = 0, gid = 0;
  uint32_t permissions = 0;  // st_mode: type bits and permission bits
  uint32_t atime = 0, mtime = 0;

  bool IsFolder() const { return (flags & kPermissions) && (permissions & 0170000) == 0040000; }
  bool IsLink() const { return (flags & kPermissions) && (permissions & 0170000) == 0120000; }
  bool IsRegular() const { return (flags & kPermissions) && (permissions & 0170000) == 0100000; }
};

// Bytes of one packet body in the making; Finish puts the length in front.
class PacketWriter {
 public:
  PacketWriter(PacketType type, uint32_t id);
  explicit PacketWriter(PacketType type);  // packets without a request id
  PacketWriter& U32(uint32_t v);
  PacketWriter& U64(uint64_t v);
  PacketWriter& Str(std::string_view s);
  PacketWriter& Attrs(const Attributes& a);
  std::string Finish() &&;

 private:
  std::string bytes_;
};

// Reads fields of one packet body; a packet cut short raises
// std::out_of_range (the caller treats the stream as broken).
class PacketReader {
 public:
  explicit PacketReader(std::string_view body) : rest_(body) {}
  uint8_t U8();
  uint32_t U32();
  uint64_t U64();
  std::string Str();
  std::string_view StrView();
  Attributes Attrs();
  bool AtEnd() const { return rest_.empty(); }

 private:
  std::string_view Take(size_t n);
  std::string_view rest_;
};

// The length of the first whole packet in `buffer` (its 4-byte length
// prefix included), or nothing while it has not fully arrived.
std::optional<size_t> WholePacketLength(std::string_view buffer);

// "rwxr-xr-x" from permission bits.
std::string PermissionText(uint32_t mode);

}  // namespace hemlo::sftp
