#pragma once
// The encoding of file names on an FTP connection: Shift-JIS (CP932) or
// UTF-8, chosen once per connection. Local names are UTF-8 on disk; the
// wire carries the connection's bytes. Every conversion either is exact or
// says that it is not, so a name is never sent or written mangled.
#include <optional>
#include <string>
#include <string_view>

namespace hemlo::text {

enum class NameEncoding { kShiftJis, kUtf8 };

class RemoteNames {
 public:
  RemoteNames() = default;
  explicit RemoteNames(NameEncoding encoding) : encoding_(encoding) {}

  NameEncoding Encoding() const { return encoding_; }
  // "Shift-JIS" or "UTF-8", for messages.
  const char* EncodingName() const;

  // A local (UTF-8) name as wire bytes; nullopt when the text is not valid
  // UTF-8 or holds a character the encoding lacks.
  std::optional<std::string> ToWire(std::string_view utf8) const;
  // The first character (UTF-8) of a local name that stops ToWire; empty
  // when there is none or the text is not valid UTF-8.
  std::string FirstUnrepresentable(std::string_view utf8) const;
  // Wire bytes as a local name; nullopt unless the bytes are exact
  // characters of the encoding.
  std::optional<std::string> ToLocal(std::string_view wire) const;
  // Wire bytes for messages (UTF-8): exact when they convert, "?" for what
  // does not.
  std::string Display(std::string_view wire) const;

  // Lossless text for lists and labels: any bytes decode, and Encode gives
  // the same bytes back for an unedited text. Bytes that form no character
  // become private-use stand-ins.
  std::u16string Decode(std::string_view wire) const;
  // Typed text as wire bytes; nullopt when a character cannot be held.
  // Shift-JIS takes the near twins Windows uses (WAVE DASH and the like).
  std::optional<std::string> Encode(std::u16string_view text) const;

  // A listed name that must never become part of a path: empty, "." or
  // "..", or holding "/", "\\" or a control character as a character of
  // its own (a Shift-JIS trail byte 0x5C is part of its character).
  bool Unsafe(std::string_view wire) const;

 private:
  NameEncoding encoding_ = NameEncoding::kShiftJis;
};

}  // namespace hemlo::text
