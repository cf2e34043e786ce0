#include "text/remote_names.h"

#include "text/cp932.h"
#include "text/utf8.h"

namespace hemlo::text {

namespace {

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
}

bool BadNameByte(unsigned char b) { return b < 0x20 || b == 0x7F || b == '/' || b == '\\'; }

}  // namespace

const char* RemoteNames::EncodingName() const {
  return encoding_ == NameEncoding::kUtf8 ? "UTF-8" : "Shift-JIS";
}

std::optional<std::string> RemoteNames::ToWire(std::string_view utf8) const {
  if (encoding_ == NameEncoding::kShiftJis) return Utf8ToCp932(utf8);
  if (!IsValidUtf8(utf8)) return std::nullopt;
  return std::string(utf8);
}

std::string RemoteNames::FirstUnrepresentable(std::string_view utf8) const {
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    const size_t len = Utf8SequenceAt(utf8, i, cp);
    if (len == 0) return {};
    // Raw-byte stand-ins never cross the boundary to the server.
    if (encoding_ == NameEncoding::kShiftJis && (!CanEncode(cp) || IsRawByteCodePoint(cp)))
      return std::string(utf8.substr(i, len));
    i += len;
  }
  return {};
}

std::optional<std::string> RemoteNames::ToLocal(std::string_view wire) const {
  if (encoding_ == NameEncoding::kShiftJis) return Cp932ToUtf8(wire);
  if (!IsValidUtf8(wire)) return std::nullopt;
  return std::string(wire);
}

std::string RemoteNames::Display(std::string_view wire) const {
  if (auto exact = ToLocal(wire)) return *exact;
  std::string out;
  for (size_t i = 0; i < wire.size();) {
    if (encoding_ == NameEncoding::kShiftJis) {
      const size_t len = CharLength(wire, i);
      auto one = Cp932ToUtf8(wire.substr(i, len));
      out += one ? *one : std::string("?");
      i += len;
    } else {
      char32_t cp = 0;
      const size_t len = Utf8SequenceAt(wire, i, cp);
      out += len ? std::string(wire.substr(i, len)) : std::string("?");
      i += len ? len : 1;
    }
  }
  return out;
}

std::u16string RemoteNames::Decode(std::string_view wire) const {
  if (encoding_ == NameEncoding::kShiftJis) return text::Decode(wire).text;
  std::u16string out;
  out.reserve(wire.size());
  for (size_t i = 0; i < wire.size();) {
    char32_t cp = 0;
    const size_t len = Utf8SequenceAt(wire, i, cp);
    if (len == 0) {
      // Never ASCII: every byte below 0x80 is a character of its own.
      out += static_cast<char16_t>(kRawByteBase + static_cast<unsigned char>(wire[i]));
      ++i;
      continue;
    }
    AppendUtf16(out, cp);
    i += len;
  }
  return out;
}

std::optional<std::string> RemoteNames::Encode(std::u16string_view text) const {
  if (encoding_ == NameEncoding::kShiftJis) {
    std::u16string twins(text);
    for (char16_t& u : twins) u = ToCp932Twin(u);
    return text::Encode(twins);
  }
  std::string out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (IsUtf8RawUnit(u)) {
      out += static_cast<char>(u - kRawByteBase);
    } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      return std::nullopt;  // a lone surrogate has no UTF-8
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

bool RemoteNames::Unsafe(std::string_view wire) const {
  if (wire.empty() || wire == "." || wire == "..") return true;
  for (size_t i = 0; i < wire.size();) {
    // In UTF-8 no byte below 0x80 is ever part of a longer character.
    const size_t len = encoding_ == NameEncoding::kShiftJis ? CharLength(wire, i) : 1;
    if (len == 1 && BadNameByte(static_cast<unsigned char>(wire[i]))) return true;
    i += len;
  }
  return false;
}

}  // namespace hemlo::text
