#include "base/version_object.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <optional>
#include <sstream>

namespace hemlo {
namespace version_object {

namespace {

bool Deflate(std::string_view in, int level, std::string& out) {
  uLongf n = compressBound(static_cast<uLong>(in.size()));
  const std::size_t head = out.size();
  out.resize(head + n);
  if (compress2(reinterpret_cast<Bytef*>(out.data() + head), &n,
                reinterpret_cast<const Bytef*>(in.data()), static_cast<uLong>(in.size()),
                level) != Z_OK)
    return false;
  out.resize(head + n);
  return true;
}

}  // namespace

std::string Hex(const unsigned char* p, std::size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(n * 2);
  for (std::size_t i = 0; i < n; ++i) {
    out += digits[p[i] >> 4];
    out += digits[p[i] & 15];
  }
  return out;
}

std::string Sha256(std::string_view bytes) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  EVP_Digest(bytes.data(), bytes.size(), md, &n, EVP_sha256(), nullptr);
  return Hex(md, n);
}

bool IsHash(std::string_view s) {
  return s.size() == 64 &&
         std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

bool Inflate(std::string_view in, std::size_t size, std::string& out) {
  out.assign(size, '\0');
  uLongf n = static_cast<uLongf>(size);
  if (uncompress(reinterpret_cast<Bytef*>(out.data()), &n,
                 reinterpret_cast<const Bytef*>(in.data()), static_cast<uLong>(in.size())) != Z_OK)
    return false;
  return n == size;
}

// Above this a page's newest version is kept as it is: deflating 20 MB would
// cost more than the save itself, and it is deflated anyway as a difference
// once a newer version arrives.
constexpr std::size_t kDeflatedWholeMost = 2u << 20;

bool ParseObject(std::string_view bytes, Object& o) {
  const auto eol = bytes.find('\n');
  if (eol == std::string_view::npos) return false;
  std::istringstream in{std::string(bytes.substr(0, eol))};
  char kind = 0;
  in >> kind;
  if (kind == 'F' || kind == 'W') {
    o.whole = true;
    o.raw = kind == 'W';
    in >> o.size;
  } else if (kind == 'D') {
    in >> o.base >> o.head >> o.tail >> o.size;
    if (!IsHash(o.base)) return false;
  } else {
    return false;
  }
  if (in.fail()) return false;
  o.body = bytes.substr(eol + 1);
  return !o.raw || o.body.size() == o.size;
}

bool WholeBytes(const Object& o, std::string& out) {
  if (!o.raw) return Inflate(o.body, o.size, out);
  out.assign(o.body);
  return true;
}

std::string WholeObject(std::string_view bytes) {
  if (bytes.size() > kDeflatedWholeMost)
    return "W " + std::to_string(bytes.size()) + "\n" + std::string(bytes);
  std::string out = "F " + std::to_string(bytes.size()) + "\n";
  Deflate(bytes, Z_BEST_SPEED, out);
  return out;
}

std::string DeltaObject(std::string_view older, std::string_view newer, const std::string& newer_hash) {
  const std::size_t most = std::min(older.size(), newer.size());
  std::size_t head = 0;
  while (head < most && older[head] == newer[head]) ++head;
  std::size_t tail = 0;
  while (tail < most - head && older[older.size() - 1 - tail] == newer[newer.size() - 1 - tail]) ++tail;
  const std::string_view middle = older.substr(head, older.size() - head - tail);
  std::string out = "D " + newer_hash + " " + std::to_string(head) + " " + std::to_string(tail) +
                    " " + std::to_string(middle.size()) + "\n";
  // The middle of a small edit is small: the fastest level costs nothing in size.
  Deflate(middle, Z_BEST_SPEED, out);
  return out;
}

}  // namespace version_object

std::string PackVersionBytes(std::string_view bytes) { return version_object::WholeObject(bytes); }

std::optional<std::string> UnpackVersionBytes(std::string_view packed) {
  version_object::Object o;
  std::string out;
  if (!version_object::ParseObject(packed, o) || !o.whole || !version_object::WholeBytes(o, out))
    return std::nullopt;
  return out;
}

std::string VersionHash(std::string_view bytes) { return version_object::Sha256(bytes); }

}  // namespace hemlo
