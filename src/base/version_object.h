#pragma once
// How a kept version is stored on disk, shared by the store and its program-wide worker.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hemlo::version_object {

// Lower-case hex of the bytes.
std::string Hex(const unsigned char* p, std::size_t n);
std::string Sha256(std::string_view bytes);
bool IsHash(std::string_view s);

// An object: "F <size>\n" and the whole version deflated, "W <size>\n" and
// the whole version as it is, or
// "D <newer hash> <head> <tail> <size>\n" and the deflated middle: the version
// is the newer one's first <head> bytes, the middle, its last <tail> bytes.
struct Object {
  bool whole = false;
  bool raw = false;  // a whole version not deflated
  std::string base;
  std::uint64_t head = 0, tail = 0, size = 0;
  std::string_view body;
};

bool ParseObject(std::string_view bytes, Object& o);
bool WholeBytes(const Object& o, std::string& out);
bool Inflate(std::string_view in, std::size_t size, std::string& out);
std::string WholeObject(std::string_view bytes);
// `older` as what differs from `newer`.
std::string DeltaObject(std::string_view older, std::string_view newer, const std::string& newer_hash);

}  // namespace hemlo::version_object

namespace hemlo {

// One whole version as the store keeps it (zlib, or as it is when large),
// for other keepers of old bytes; Unpack gives nullopt for damaged bytes.
std::string PackVersionBytes(std::string_view bytes);
std::optional<std::string> UnpackVersionBytes(std::string_view packed);
// SHA-256 of `bytes`, lower-case hex.
std::string VersionHash(std::string_view bytes);

}  // namespace hemlo
