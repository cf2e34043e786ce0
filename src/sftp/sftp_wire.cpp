#include "sftp/sftp_wire.h"

#include <stdexcept>

namespace hemlo::sftp {

namespace {
void PutU32(std::string& out, uint32_t v) {
  const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  out.append(b, 4);
}
}  // namespace

PacketWriter::PacketWriter(PacketType type, uint32_t id) : PacketWriter(type) { U32(id); }

PacketWriter::PacketWriter(PacketType type) {
  bytes_.assign(4, '\0');  // the length, filled in by Finish
  bytes_.push_back(char(type));
}

PacketWriter& PacketWriter::U32(uint32_t v) {
  PutU32(bytes_, v);
  return *this;
}

PacketWriter& PacketWriter::U64(uint64_t v) {
  PutU32(bytes_, uint32_t(v >> 32));
  PutU32(bytes_, uint32_t(v));
  return *this;
}

PacketWriter& PacketWriter::Str(std::string_view s) {
  PutU32(bytes_, uint32_t(s.size()));
  bytes_.append(s);
  return *this;
}

PacketWriter& PacketWriter::Attrs(const Attributes& a) {
  const uint32_t flags = a.flags & ~Attributes::kExtendedPairs;
  U32(flags);
  if (flags & Attributes::kSize) U64(a.size);
  if (flags & Attributes::kUidGid) U32(a.uid).U32(a.gid);
  if (flags & Attributes::kPermissions) U32(a.permissions);
  if (flags & Attributes::kTimes) U32(a.atime).U32(a.mtime);
  return *this;
}

std::string PacketWriter::Finish() && {
  const uint32_t n = uint32_t(bytes_.size() - 4);
  for (int i = 0; i < 4; ++i) bytes_[i] = char(n >> (24 - 8 * i));
  return std::move(bytes_);
}

std::string_view PacketReader::Take(size_t n) {
  if (rest_.size() < n) throw std::out_of_range("packet cut short");
  std::string_view s = rest_.substr(0, n);
  rest_.remove_prefix(n);
  return s;
}

uint8_t PacketReader::U8() { return uint8_t(Take(1)[0]); }

uint32_t PacketReader::U32() {
  const std::string_view b = Take(4);
  return uint32_t(uint8_t(b[0])) << 24 | uint32_t(uint8_t(b[1])) << 16 |
         uint32_t(uint8_t(b[2])) << 8 | uint32_t(uint8_t(b[3]));
}

uint64_t PacketReader::U64() {
  const uint64_t high = U32();
  return high << 32 | U32();
}

std::string_view PacketReader::StrView() { return Take(U32()); }
std::string PacketReader::Str() { return std::string(StrView()); }

Attributes PacketReader::Attrs() {
  Attributes a;
  a.flags = U32();
  if (a.flags & Attributes::kSize) a.size = U64();
  if (a.flags & Attributes::kUidGid) {
    a.uid = U32();
    a.gid = U32();
  }
  if (a.flags & Attributes::kPermissions) a.permissions = U32();
  if (a.flags & Attributes::kTimes) {
    a.atime = U32();
    a.mtime = U32();
  }
  if (a.flags & Attributes::kExtendedPairs) {
    for (uint32_t n = U32(); n > 0; --n) {
      StrView();
      StrView();
    }
  }
  return a;
}

std::optional<size_t> WholePacketLength(std::string_view buffer) {
  if (buffer.size() < 4) return std::nullopt;
  const size_t n = PacketReader(buffer.substr(0, 4)).U32();
  if (buffer.size() - 4 < n) return std::nullopt;
  return n + 4;
}

std::string PermissionText(uint32_t mode) {
  std::string s = "rwxrwxrwx";
  for (int i = 0; i < 9; ++i) {
    if (!(mode & (0400u >> i))) s[i] = '-';
  }
  if (mode & 04000) s[2] = (mode & 0100) ? 's' : 'S';
  if (mode & 02000) s[5] = (mode & 010) ? 's' : 'S';
  if (mode & 01000) s[8] = (mode & 01) ? 't' : 'T';
  return s;
}

}  // namespace hemlo::sftp
