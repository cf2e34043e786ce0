#pragma once
// What the parts of QtEditPane share about characters that carry a stored
// code: the character-format property and its marker for genuine characters.
#include <QString>
#include <QTextFormat>
#include <cstdint>
#include <string_view>

namespace hemlo::text::pane {

// Character-format property holding the non-preferred CP932 code of a character.
inline constexpr int kCodeProperty = QTextFormat::UserProperty + 932;
// Its value for a genuine U+F780-U+F7FF character of a UTF-8 document.
inline constexpr std::uint16_t kGenuineMark = 0xFFFF;

inline std::u16string_view View(const QString& s) {
  return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())};
}

}  // namespace hemlo::text::pane
