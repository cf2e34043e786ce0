#include "text/cp932.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "text/utf8.h"

namespace hemlo::text {
namespace {

#include "text/cp932_table.inc"

constexpr int kNoRow = -1;

constexpr std::array<signed char, 256> MakeLeadRows() {
  std::array<signed char, 256> rows{};
  for (int b = 0; b < 256; ++b) {
    if (b >= 0x81 && b <= 0x9F) {
      rows[b] = static_cast<signed char>(b - 0x81);
    } else if (b >= 0xE0 && b <= 0xFC) {
      rows[b] = static_cast<signed char>(b - 0xE0 + 31);
    } else {
      rows[b] = kNoRow;
    }
  }
  return rows;
}
constexpr std::array<signed char, 256> kLeadRow = MakeLeadRows();

// Bytes that may stand alone as raw bytes: those that are neither ASCII nor
// half-width katakana (every lead byte, 0x80, 0xA0, 0xFD-0xFF).
constexpr bool CanBeRawByte(unsigned b) { return b >= 0x80 && !(b >= 0xA1 && b <= 0xDF); }

// Tables built once from the generated decode table.
struct Tables {
  // UTF-16 unit -> preferred code; 0 = none. Single-byte codes (katakana,
  // raw bytes) are below 0x100. ASCII is handled before the lookup.
  std::array<std::uint16_t, 65536> encode{};
  // One bit per double-byte code: set when the code is non-preferred.
  std::array<std::uint64_t, 65536 / 64> non_preferred{};
  // Characters with duplicates: UTF-16 unit -> its lowest non-preferred code.
  std::array<std::uint16_t, 65536> first_alternate{};

  Tables() {
    for (unsigned code : kNonPreferredCodes)
      non_preferred[code >> 6] |= std::uint64_t{1} << (code & 63);
    for (unsigned b = 0xA1; b <= 0xDF; ++b)
      encode[0xFF61 + (b - 0xA1)] = static_cast<std::uint16_t>(b);
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
      if (CanBeRawByte(b)) encode[kRawByteBase + b] = static_cast<std::uint16_t>(b);
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
      int row = kLeadRow[lead];
      if (row == kNoRow) continue;
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        char16_t u = kDbcsTable[row][trail];
        if (u == 0) continue;
        auto code = static_cast<std::uint16_t>(lead << 8 | trail);
        if (IsNonPreferred(code)) {
          if (first_alternate[u] == 0) first_alternate[u] = code;
        } else {
          encode[u] = code;
        }
      }
    }
  }

  bool IsNonPreferred(std::uint16_t code) const {
    return (non_preferred[code >> 6] >> (code & 63)) & 1;
  }
};

const Tables& T() {
  static const auto* tables = new Tables();  // never destroyed: usable at exit
  return *tables;
}

struct NoLines {
  static constexpr bool kSplitLines = false;
  void Line(std::size_t, std::size_t) {}
};

struct LineSink {
  static constexpr bool kSplitLines = true;
  std::vector<std::uint32_t>* bytes_sink;
  std::vector<std::uint32_t>* units_sink;
  void Line(std::size_t bytes, std::size_t units) {
    if (bytes_sink != nullptr) bytes_sink->push_back(static_cast<std::uint32_t>(bytes));
    if (units_sink != nullptr) units_sink->push_back(static_cast<std::uint32_t>(units));
  }
};

// Decodes bytes into `out` (room for bytes.size() units); returns units written.
// With Lines::kSplitLines, CR, LF and CRLF become one '\n' and
// lines.Line(bytes, units) is called for every line (break excluded), the last too.
template <typename Lines, typename OnAlternate>
std::size_t DecodeInto(std::string_view bytes, char16_t* out, OnAlternate on_alternate,
                       Lines& lines) {
  const Tables& t = T();
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  char16_t* const begin = out;
  std::size_t i = 0;
  std::size_t line_start = 0;
  [[maybe_unused]] const char16_t* line_out = out;
  while (i < n) {
    unsigned b = p[i];
    if (b < 0x80) {
      if constexpr (Lines::kSplitLines) {
        if (b == '\r' || b == '\n') {
          lines.Line(i - line_start, static_cast<std::size_t>(out - line_out));
          *out++ = u'\n';
          line_out = out;
          i += (b == '\r' && i + 1 < n && p[i + 1] == '\n') ? 2 : 1;
          line_start = i;
          continue;
        }
      }
      *out++ = static_cast<char16_t>(b);
      ++i;
      continue;
    }
    if (b >= 0xA1 && b <= 0xDF) {
      *out++ = static_cast<char16_t>(0xFF61 + (b - 0xA1));
      ++i;
      continue;
    }
    int row = kLeadRow[b];
    if (row != kNoRow && i + 1 < n) {
      unsigned trail = p[i + 1];
      char16_t u = kDbcsTable[row][trail];
      if (u != 0) {
        auto code = static_cast<std::uint16_t>(b << 8 | trail);
        if (t.IsNonPreferred(code)) on_alternate(static_cast<std::size_t>(out - begin), code);
        *out++ = u;
        i += 2;
        continue;
      }
    }
    *out++ = static_cast<char16_t>(kRawByteBase + b);
    ++i;
  }
  if constexpr (Lines::kSplitLines)
    lines.Line(n - line_start, static_cast<std::size_t>(out - line_out));
  return static_cast<std::size_t>(out - begin);
}

// The code to write for unit u at an alternate position; `wanted` is the code
// the caller asks for (0: the default alternate).
std::uint16_t AlternateCode(const Tables& t, char16_t u, std::uint16_t wanted) {
  if (wanted != 0) {
    if (t.IsNonPreferred(wanted) && DecodeCode(wanted) == u) return wanted;
    return 0;
  }
  return t.first_alternate[u];
}

// Encodes text; with kLines, `separator` becomes CRLF and units without a code
// are skipped, else such a unit makes the result nullopt.
template <bool kLines>
std::optional<std::string> EncodeImpl(std::u16string_view text,
                                      const std::vector<std::size_t>& alternates,
                                      const std::vector<std::uint16_t>* alternate_codes,
                                      char16_t separator = 0) {
  const Tables& t = T();
  std::string out;
  out.resize(text.size() * 2);
  char* o = out.data();
  std::size_t next_alt = 0;
  const std::size_t alt_count = alternates.size();
  for (std::size_t k = 0; k < text.size(); ++k) {
    char16_t u = text[k];
    if (u < 0x80) {
      if constexpr (kLines) {
        if (u == separator) {
          *o++ = '\r';
          *o++ = '\n';
          continue;
        }
      }
      *o++ = static_cast<char>(u);
      continue;
    }
    std::uint16_t code = t.encode[u];
    if (code == 0) {
      if constexpr (kLines) {
        if (u == separator) {
          *o++ = '\r';
          *o++ = '\n';
        }
        continue;
      } else {
        return std::nullopt;
      }
    }
    while (next_alt < alt_count && alternates[next_alt] < k) ++next_alt;
    if (next_alt < alt_count && alternates[next_alt] == k) {
      std::uint16_t wanted = 0;
      if (alternate_codes != nullptr && next_alt < alternate_codes->size())
        wanted = (*alternate_codes)[next_alt];
      if (std::uint16_t alt = AlternateCode(t, u, wanted); alt != 0) code = alt;
    }
    if (code < 0x100) {
      *o++ = static_cast<char>(code);
    } else {
      *o++ = static_cast<char>(code >> 8);
      *o++ = static_cast<char>(code & 0xFF);
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

}  // namespace

bool IsLeadByte(unsigned char b) { return kLeadRow[b] != kNoRow; }

std::size_t CharLength(std::string_view s, std::size_t i) {
  if (i >= s.size()) return 0;
  auto b = static_cast<unsigned char>(s[i]);
  int row = kLeadRow[b];
  if (row == kNoRow || i + 1 >= s.size()) return 1;
  return kDbcsTable[row][static_cast<unsigned char>(s[i + 1])] != 0 ? 2 : 1;
}

std::size_t CharStart(std::string_view s, std::size_t i) {
  if (i >= s.size()) return s.size();
  // A byte that cannot be a lead byte ends a character (it is a single-byte
  // character or a trail), so a character starts right after it. Walk back to
  // such a byte and scan forward from there.
  std::size_t start = i;
  while (start > 0 && IsLeadByte(static_cast<unsigned char>(s[start - 1]))) --start;
  std::size_t pos = start;
  while (true) {
    std::size_t len = CharLength(s, pos);
    if (pos + len > i) return pos;
    pos += len;
  }
}

bool IsRawByteCodePoint(char32_t cp) {
  return cp >= kRawByteBase && cp <= kRawByteBase + 0xFFu && CanBeRawByte(cp - kRawByteBase);
}

Decoded Decode(std::string_view bytes) {
  Decoded r;
  r.text.resize(bytes.size());
  NoLines lines;
  std::size_t n = DecodeInto(
      bytes, r.text.data(),
      [&r](std::size_t index, std::uint16_t code) {
        r.alternates.push_back(index);
        r.alternate_codes.push_back(code);
      },
      lines);
  r.text.resize(n);
  return r;
}

std::optional<std::string> Encode(std::u16string_view text,
                                  const std::vector<std::size_t>& alternates) {
  return EncodeImpl<false>(text, alternates, nullptr);
}

std::optional<std::string> Encode(std::u16string_view text,
                                  const std::vector<std::size_t>& alternates,
                                  const std::vector<std::uint16_t>& alternate_codes) {
  return EncodeImpl<false>(text, alternates, &alternate_codes);
}

std::size_t DecodeLines(std::string_view bytes, char16_t* out, std::vector<std::size_t>* alternates,
                        std::vector<std::uint16_t>* alternate_codes,
                        std::vector<std::uint32_t>* line_bytes,
                        std::vector<std::uint32_t>* line_units) {
  LineSink lines{line_bytes, line_units};
  return DecodeInto(
      bytes, out,
      [alternates, alternate_codes](std::size_t index, std::uint16_t code) {
        if (alternates != nullptr) alternates->push_back(index);
        if (alternate_codes != nullptr) alternate_codes->push_back(code);
      },
      lines);
}

std::string EncodeLines(std::u16string_view text, char16_t separator,
                        const std::vector<std::size_t>& alternates,
                        const std::vector<std::uint16_t>& alternate_codes) {
  // Room for CRLF per separator: at most 2 bytes per unit either way.
  return *EncodeImpl<true>(text, alternates, &alternate_codes, separator);
}

bool CanEncode(char32_t cp) {
  if (cp < 0x80) return true;
  if (cp > 0xFFFF) return false;
  return T().encode[cp] != 0;
}

char16_t ToCp932Twin(char16_t unit) {
  switch (unit) {
    case 0x00A2:
      return 0xFFE0;
    case 0x00A3:
      return 0xFFE1;
    case 0x00A5:
      return 0x005C;
    case 0x00AC:
      return 0xFFE2;
    case 0x2014:
      return 0x2015;
    case 0x2016:
      return 0x2225;
    case 0x203E:
      return 0x007E;
    case 0x2212:
      return 0xFF0D;
    case 0x301C:
      return 0xFF5E;
    default:
      return unit;
  }
}

int EncodedLength(char16_t unit) {
  if (unit < 0x80) return 1;
  std::uint16_t code = T().encode[unit];
  if (code == 0) return 0;
  return code < 0x100 ? 1 : 2;
}

int PreferredCode(char16_t unit) {
  if (unit < 0x80) return unit;
  std::uint16_t code = T().encode[unit];
  return code == 0 ? -1 : code;
}

char16_t DecodeCode(std::uint16_t code) {
  if (code < 0x80) return static_cast<char16_t>(code);
  if (code < 0x100) {
    if (code >= 0xA1 && code <= 0xDF) return static_cast<char16_t>(0xFF61 + (code - 0xA1));
    return 0;
  }
  int row = kLeadRow[code >> 8];
  if (row == kNoRow) return 0;
  return kDbcsTable[row][code & 0xFF];
}

bool IsNonPreferredCode(std::uint16_t code) { return T().IsNonPreferred(code); }

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  const Tables& t = T();
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    const std::size_t len = Utf8SequenceAt(utf8, i, cp);
    // Invalid, or beyond the BMP (CP932 has nothing there).
    if (len == 0 || cp > 0xFFFF) return std::nullopt;
    i += len;
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    if (IsRawByteCodePoint(cp)) return std::nullopt;
    std::uint16_t code = t.encode[cp];
    if (code == 0) return std::nullopt;
    if (code >= 0x100) out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
  }
  return out;
}

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
  std::u16string units(cp932.size(), u'\0');
  bool raw = false;
  NoLines lines;
  std::size_t n = DecodeInto(
      cp932, units.data(), [](std::size_t, std::uint16_t) {}, lines);
  std::string out;
  out.reserve(n * 3 / 2 + 1);
  for (std::size_t k = 0; k < n; ++k) {
    char16_t u = units[k];
    if (IsRawByteCodePoint(u)) raw = true;
    AppendUtf8(out, u);
  }
  if (raw) return std::nullopt;
  return out;
}

std::string Sjis(std::string_view utf8_literal) {
  auto bytes = Utf8ToCp932(utf8_literal);
  if (!bytes) {
    std::fprintf(stderr, "hemlo::text::Sjis: not representable in CP932: %.*s\n",
                 static_cast<int>(utf8_literal.size()), utf8_literal.data());
    std::abort();
  }
  return *std::move(bytes);
}

}  // namespace hemlo::text
