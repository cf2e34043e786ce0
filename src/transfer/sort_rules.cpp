#include "transfer/sort_rules.h"

#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <locale>
#include <optional>

#include "base/ascii_case.h"

namespace hemlo::transfer {

void SortState::HeaderClick(int column) {
  SortColumn = column;
  if (column + 1 == std::abs(SortDirection))
    SortDirection = -SortDirection;
  else
    SortDirection = column + 1;
}

int CompareTextAscii(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = AsciiUpper(static_cast<unsigned char>(a[i]));
    const unsigned char y = AsciiUpper(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

namespace {
std::wstring Widen(const std::string& s) {
  std::mbstate_t st{};
  std::wstring out;
  const char* p = s.c_str();
  const char* end = p + s.size();
  while (p < end) {
    wchar_t wc = 0;
    const size_t r = std::mbrtowc(&wc, p, static_cast<size_t>(end - p), &st);
    if (r == 0 || r == static_cast<size_t>(-1) || r == static_cast<size_t>(-2)) {
      // Bytes the locale cannot read sort by their value.
      wc = static_cast<wchar_t>(static_cast<unsigned char>(*p));
      st = {};
      ++p;
    } else {
      p += r;
    }
    out += wc;
  }
  return out;
}
}  // namespace

int CollateUtf8(const std::string& a, const std::string& b) {
  const int r = std::wcscoll(Widen(a).c_str(), Widen(b).c_str());
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

namespace {
// The value of a size cell (blanks, digits and thousands commas); nullopt
// for any other text.
std::optional<unsigned long long> SizeValue(std::string_view cell) {
  unsigned long long value = 0;
  bool digits = false;
  for (char c : cell) {
    if (c == ' ' || c == ',') {
      if (digits && c == ' ') return std::nullopt;  // blanks only lead
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    if (value > (~0ULL - 9) / 10) return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
    digits = true;
  }
  if (!digits) return std::nullopt;
  return value;
}

}  // namespace

namespace {
int CompareSizedCells(std::string_view a, const std::optional<unsigned long long>& x,
                      std::string_view b, const std::optional<unsigned long long>& y) {
  if (x && y) return *x < *y ? -1 : (*x > *y ? 1 : 0);
  if (x || y) return x ? 1 : -1;
  return CompareTextAscii(a, b);
}
}  // namespace

int CompareCells(std::string_view a, std::string_view b) {
  return CompareSizedCells(a, SizeValue(a), b, SizeValue(b));
}

CellKey::CellKey(std::string cell) : text(std::move(cell)), size(SizeValue(text)) {}

int CompareCellKeys(const CellKey& a, const CellKey& b) {
  return CompareSizedCells(a.text, a.size, b.text, b.size);
}

int CompareRows(const SortState& state, const std::vector<std::string>& a,
                const std::vector<std::string>& b, const NameCollator& names) {
  const size_t col = static_cast<size_t>(state.SortColumn < 0 ? 0 : state.SortColumn);
  static const std::string kEmpty;
  const std::string& x = col < a.size() ? a[col] : kEmpty;
  const std::string& y = col < b.size() ? b[col] : kEmpty;
  int r = col == 0 ? names(x, y) : CompareCells(x, y);
  if (state.SortDirection < 0) r = -r;
  return r;
}

}  // namespace hemlo::transfer
