#include "text/view_codes.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "text/cp932.h"
#include "text/utf8.h"

namespace hemlo::text {

namespace {

constexpr unsigned kPrefix = 0xEF;
constexpr unsigned char kLeads[] = {0x85, 0x86, 0xEB, 0xEC};
constexpr std::uint32_t kTrails = 188;  // 0x40-0x7E, 0x80-0xFC
constexpr std::uint32_t kSecond = 4 * kTrails;

unsigned char Trail(std::uint32_t j) {
  return static_cast<unsigned char>(j < 63 ? 0x40 + j : 0x80 + (j - 63));
}
int TrailIndex(unsigned b) {
  if (b >= 0x40 && b <= 0x7E) return static_cast<int>(b - 0x40);
  if (b >= 0x80 && b <= 0xFC) return static_cast<int>(b - 0x80 + 63);
  return -1;
}
int LeadIndex(unsigned b) {
  for (int k = 0; k < 4; ++k)
    if (kLeads[k] == b) return k;
  return -1;
}

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Raw bytes that CP932 never pairs with what follows.
bool AlwaysSingle(unsigned b) { return b == 0x80 || b == 0xA0 || b >= 0xFD; }

// Two CP932 bytes that decode as one character.
bool Pairs(unsigned lead, int next) {
  return next >= 0 && IsLeadByte(static_cast<unsigned char>(lead)) &&
         DecodeCode(static_cast<std::uint16_t>(lead << 8 | static_cast<unsigned>(next))) != 0;
}

// What one unit becomes in the view, decided right to left.
struct Unit {
  std::uint8_t length = 0;  // 0 for the low half of a pair
  int first = -1;           // first view byte
  char32_t key = 0;         // coded: its key; else 0
};

// True when a lone prefix byte followed by view bytes `first`, `second`
// (-1: none; kAny: not known yet) could be read as a code.
constexpr int kAny = 0x100;
bool ReadsAsCode(int first, int second) {
  if (first < 0 || TrailIndex(static_cast<unsigned>(first)) < 0) return false;
  return second == kAny || (second >= 0 && LeadIndex(static_cast<unsigned>(second)) >= 0);
}

template <typename IsGenuine>
void Classify(std::u16string_view line, IsGenuine is_genuine, std::vector<Unit>& out) {
  const std::size_t n = line.size();
  out.assign(n, Unit{});
  int next_first = -1;   // the first view byte after the unit
  int next_second = -1;  // and the one after that
  for (std::size_t k = n; k-- > 0;) {
    const char16_t u = line[k];
    Unit& unit = out[k];
    if (IsLow(u) && k > 0 && IsHigh(line[k - 1])) {
      unit.length = 0;  // the high half carries the code
      continue;
    }
    int second = -1;  // the unit's own second view byte, if any
    if (IsHigh(u) && k + 1 < n && IsLow(line[k + 1])) {
      unit = Unit{4, static_cast<int>(kPrefix),
                  0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (line[k + 1] - 0xDC00)};
    } else if (IsUtf8RawUnit(u) && !is_genuine(k)) {
      const unsigned b = u - 0xF700u;
      if (b == kPrefix ? !ReadsAsCode(next_first, next_second)
                       : AlwaysSingle(b) ||
                             (IsLeadByte(static_cast<unsigned char>(b)) && !Pairs(b, next_first))) {
        unit = Unit{1, static_cast<int>(b), 0};
      } else {
        unit = Unit{4, static_cast<int>(kPrefix), kRawKeyBase + b};
      }
    } else {
      const int code = (IsUtf8RawUnit(u) || IsHigh(u) || IsLow(u)) ? -1 : PreferredCode(u);
      if (code < 0) {
        unit = Unit{4, static_cast<int>(kPrefix), u};
      } else if (code < 0x100) {
        unit = Unit{1, code, 0};
      } else {
        unit = Unit{2, code >> 8, 0};
        second = code & 0xFF;
      }
    }
    if (unit.length == 4) second = kAny;  // a code's second byte is given later
    next_second = unit.length == 1 ? next_first : second;
    next_first = unit.first;
  }
}

constexpr char32_t kReplacement = 0xFFFD;

struct CodeTable {
  std::unordered_map<char32_t, std::uint32_t> index;
  std::vector<char32_t> keys;
  void Add(char32_t key) {
    index.emplace(key, static_cast<std::uint32_t>(keys.size()));
    keys.push_back(key);
  }
  CodeTable() {
    // Raw bytes are never refused, and U+FFFD stands for a key that was not admitted.
    for (unsigned b = 0x80; b <= 0xFF; ++b) Add(kRawKeyBase + b);
    Add(kReplacement);
  }
};
CodeTable& Table() {
  static CodeTable table;
  return table;
}

// The key a unit of a UTF-8 document's text is coded with, 0 when it has CP932
// bytes or a raw byte's code; `pair` is set for the high half of a pair.
char32_t KeyOf(std::u16string_view text, std::size_t i, bool genuine, bool& pair) {
  const char16_t u = text[i];
  pair = false;
  if (IsHigh(u) && i + 1 < text.size() && IsLow(text[i + 1])) {
    pair = true;
    return 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
  }
  if (IsUtf8RawUnit(u)) return genuine ? u : 0;
  if (IsHigh(u) || IsLow(u)) return u;
  return PreferredCode(u) < 0 ? u : 0;
}

}  // namespace

const std::size_t ViewCodes::kCapacity = kTrails * kSecond;

std::size_t ViewCodes::size() const { return Table().keys.size(); }

std::size_t ViewCodes::Admit(std::u16string_view text, const std::vector<std::size_t>& genuine) {
  CodeTable& table = Table();
  std::vector<char32_t> fresh;
  std::unordered_set<char32_t> seen;
  std::size_t g = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    while (g < genuine.size() && genuine[g] < i) ++g;
    bool pair = false;
    const char32_t key = KeyOf(text, i, g < genuine.size() && genuine[g] == i, pair);
    if (key != 0 && !table.index.contains(key) && seen.insert(key).second) {
      if (table.keys.size() + fresh.size() >= kCapacity) return i;
      fresh.push_back(key);
    }
    if (pair) ++i;
  }
  for (const char32_t key : fresh) table.Add(key);
  return std::u16string_view::npos;
}

void ViewCodes::Append(std::string& out, char32_t key) {
  CodeTable& table = Table();
  auto it = table.index.find(key);
  if (it == table.index.end()) {
    const bool room = table.keys.size() < kCapacity;
    if (room) table.Add(key);
    it = table.index.find(room ? key : kReplacement);
  }
  const std::uint32_t k = it->second;
  const std::uint32_t second = k % kSecond;
  out.push_back(static_cast<char>(kPrefix));
  out.push_back(static_cast<char>(Trail(k / kSecond)));
  out.push_back(static_cast<char>(kLeads[second / kTrails]));
  out.push_back(static_cast<char>(Trail(second % kTrails)));
}

char32_t ViewCodes::Lookup(const unsigned char* p) const {
  if (p[0] != kPrefix) return 0;
  const int t1 = TrailIndex(p[1]);
  const int lead = LeadIndex(p[2]);
  const int t2 = TrailIndex(p[3]);
  if (t1 < 0 || lead < 0 || t2 < 0) return 0;
  const auto k = static_cast<std::uint32_t>(t1) * kSecond +
                 static_cast<std::uint32_t>(lead) * kTrails + static_cast<std::uint32_t>(t2);
  const std::vector<char32_t>& keys = Table().keys;
  return k < keys.size() ? keys[k] : 0;
}

void ViewUnitLengths(std::u16string_view line, const std::vector<bool>* genuine,
                     std::vector<std::uint8_t>& out) {
  std::vector<Unit> units;
  Classify(
      line, [genuine](std::size_t k) { return genuine && k < genuine->size() && (*genuine)[k]; },
      units);
  out.resize(units.size());
  for (std::size_t k = 0; k < units.size(); ++k) out[k] = units[k].length;
}

std::string EncodeView(std::u16string_view text, char16_t separator,
                       const std::vector<std::size_t>& genuine,
                       const std::vector<std::size_t>& alternates,
                       const std::vector<std::uint16_t>& alternate_codes, ViewCodes& codes) {
  std::string out;
  out.reserve(text.size() * 2);
  std::vector<Unit> units;
  std::size_t g = 0;
  std::size_t a = 0;
  std::size_t line_start = 0;
  while (line_start <= text.size()) {
    std::size_t line_end = text.find(separator, line_start);
    if (line_end == std::u16string_view::npos) line_end = text.size();
    const std::u16string_view line = text.substr(line_start, line_end - line_start);
    const std::size_t g0 = g;
    Classify(
        line,
        [&](std::size_t k) {
          const std::size_t at = line_start + k;
          auto it = std::lower_bound(genuine.begin() + static_cast<std::ptrdiff_t>(g0),
                                     genuine.end(), at);
          return it != genuine.end() && *it == at;
        },
        units);
    for (std::size_t k = 0; k < line.size(); ++k) {
      const Unit& unit = units[k];
      const std::size_t at = line_start + k;
      if (unit.length == 0) continue;
      if (unit.length == 4) {
        codes.Append(out, unit.key);
        continue;
      }
      const char16_t u = line[k];
      if (IsUtf8RawUnit(u)) {
        out.push_back(static_cast<char>(u - 0xF700));
        continue;
      }
      while (a < alternates.size() && alternates[a] < at) ++a;
      if (a < alternates.size() && alternates[a] == at && a < alternate_codes.size() &&
          DecodeCode(alternate_codes[a]) == u) {
        out.push_back(static_cast<char>(alternate_codes[a] >> 8));
        out.push_back(static_cast<char>(alternate_codes[a] & 0xFF));
        continue;
      }
      const int code = PreferredCode(u);
      if (code >= 0x100) out.push_back(static_cast<char>(code >> 8));
      out.push_back(static_cast<char>(code & 0xFF));
    }
    while (g < genuine.size() && genuine[g] < line_end) ++g;
    if (line_end == text.size()) break;
    out.append("\r\n", 2);
    line_start = line_end + 1;
  }
  return out;
}

ViewText DecodeView(std::string_view view, const ViewCodes& codes) {
  ViewText r;
  const auto* p = reinterpret_cast<const unsigned char*>(view.data());
  const std::size_t n = view.size();
  r.text.reserve(n);
  std::u16string buffer;
  std::vector<std::size_t> alternates;
  std::vector<std::uint16_t> alternate_codes;
  std::size_t segment = 0;  // start of the plain CP932 run not yet decoded
  auto flush = [&](std::size_t end) {
    if (end <= segment) return;
    buffer.resize(end - segment);
    alternates.clear();
    alternate_codes.clear();
    const std::size_t m = DecodeLines(view.substr(segment, end - segment), buffer.data(),
                                      &alternates, &alternate_codes, nullptr);
    const std::size_t base = r.text.size();
    for (std::size_t k = 0; k < alternates.size(); ++k) {
      r.alternates.push_back(base + alternates[k]);
      r.alternate_codes.push_back(alternate_codes[k]);
    }
    r.text.append(buffer.data(), m);
  };
  std::size_t i = 0;
  while (i < n) {
    const unsigned b = p[i];
    if (b == kPrefix && i + ViewCodes::kCodeBytes <= n) {
      if (const char32_t key = codes.Lookup(p + i)) {
        flush(i);
        if (key >= kRawKeyBase) {
          r.text.push_back(static_cast<char16_t>(0xF700 + (key - kRawKeyBase)));
        } else if (key >= 0x10000) {
          r.text.push_back(static_cast<char16_t>(0xD800 + ((key - 0x10000) >> 10)));
          r.text.push_back(static_cast<char16_t>(0xDC00 + ((key - 0x10000) & 0x3FF)));
        } else {
          if (IsUtf8RawUnit(static_cast<char16_t>(key))) r.genuine.push_back(r.text.size());
          r.text.push_back(static_cast<char16_t>(key));
        }
        i += ViewCodes::kCodeBytes;
        segment = i;
        continue;
      }
    }
    i += (i + 1 < n && Pairs(b, p[i + 1])) ? 2 : 1;
  }
  flush(n);
  return r;
}

std::size_t ClampViewOffset(std::string_view view, const ViewCodes& codes, std::size_t offset) {
  const auto* p = reinterpret_cast<const unsigned char*>(view.data());
  const std::size_t n = view.size();
  if (offset >= n) return n;
  if (offset > 0 && p[offset - 1] == '\r' && p[offset] == '\n') return offset - 1;
  // Walk from the start of the line: CR and LF never sit inside a character.
  std::size_t i = offset;
  while (i > 0 && p[i - 1] != '\n') --i;
  while (i < n) {
    std::size_t len = 1;
    if (p[i] == kPrefix && i + ViewCodes::kCodeBytes <= n && codes.Lookup(p + i) != 0)
      len = ViewCodes::kCodeBytes;
    else if (i + 1 < n && Pairs(p[i], p[i + 1]))
      len = 2;
    if (i + len > offset) return i;
    i += len;
  }
  return n;
}

std::string Utf8ToView(std::string_view utf8) {
  std::u16string units(utf8.size(), u'\0');
  std::vector<std::size_t> genuine;
  units.resize(DecodeUtf8Lines(utf8, units.data(), &genuine));
  ViewCodes codes;
  return EncodeView(units, u'\n', genuine, {}, {}, codes);
}

std::string FirstCodedCharacter(std::string_view view) {
  const ViewCodes codes;
  const auto* p = reinterpret_cast<const unsigned char*>(view.data());
  const std::size_t n = view.size();
  for (std::size_t i = 0; i < n;) {
    if (p[i] == kPrefix && i + ViewCodes::kCodeBytes <= n) {
      if (const char32_t key = codes.Lookup(p + i)) {
        if (key >= kRawKeyBase) {
          static constexpr char kHex[] = "0123456789ABCDEF";
          const unsigned b = key - kRawKeyBase;
          return std::string("0x") + kHex[b >> 4] + kHex[b & 15];
        }
        const ViewText one = DecodeView(view.substr(i, ViewCodes::kCodeBytes), codes);
        return EncodeUtf8Lines(one.text, u'\n', one.genuine);
      }
    }
    i += (i + 1 < n && Pairs(p[i], p[i + 1])) ? 2 : 1;
  }
  return {};
}

}  // namespace hemlo::text

namespace hemlo::text {

std::string Utf8Refusal(std::string_view sjis) {
  std::u16string units(sjis.size(), u'\0');
  units.resize(DecodeLines(sjis, units.data(), nullptr, nullptr, nullptr));
  for (const char16_t u : units) {
    if (!IsRawByteCodePoint(u)) continue;
    static constexpr char kHex[] = "0123456789ABCDEF";
    const unsigned b = u - kRawByteBase;
    return std::string("Shift-JIS として読めないバイトがあるため UTF-8 に変換できません（0x") +
           kHex[b >> 4] + kHex[b & 15] + "）";
  }
  return {};
}

std::string CodeTableFullMessage(std::u16string_view text, std::size_t at) {
  const std::size_t len = (at + 1 < text.size() && IsHigh(text[at]) && IsLow(text[at + 1])) ? 2 : 1;
  return "扱える文字の種類が上限に達したため、この文字は使えません（" +
         EncodeUtf8Lines(text.substr(at, len), u'\n', {0}) + "）";
}

std::string ShiftJisRefusal(std::u16string_view text, const std::vector<std::size_t>& genuine) {
  std::size_t g = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u == u'\n') continue;
    while (g < genuine.size() && genuine[g] < i) ++g;
    const bool is_genuine = g < genuine.size() && genuine[g] == i;
    if (IsUtf8RawUnit(u) && !is_genuine) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      const unsigned b = u - 0xF700u;
      return std::string("UTF-8 として読めないバイトがあるため Shift-JIS に変換できません（0x") +
             kHex[b >> 4] + kHex[b & 15] + "）";
    }
    const bool pair = IsHigh(u) && i + 1 < text.size() && IsLow(text[i + 1]);
    if (pair || is_genuine || IsHigh(u) || IsLow(u) || PreferredCode(u) < 0) {
      const std::size_t len = pair ? 2 : 1;
      return "Shift-JIS で表せない文字があるため変換できません（" +
             EncodeUtf8Lines(
                 text.substr(i, len), u'\n',
                 is_genuine ? std::vector<std::size_t>{0} : std::vector<std::size_t>{}) +
             "）";
    }
  }
  return {};
}

}  // namespace hemlo::text
