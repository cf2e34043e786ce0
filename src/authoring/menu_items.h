#pragma once
// The authoring menus of the main frame: caption, order, handler and tag of
// every item, so the Qt frame builds its menus from one table.
#include <span>

#include "authoring/fragments.h"

namespace hemlo::authoring {

struct AuthoringMenuItem {
  const char* menu;     // menu-bar entry (UTF-8 caption)
  const char* submenu;  // "" for an item directly in the menu
  const char* caption;  // "-" for a separator
  Handler handler;      // meaningless for a separator
  int tag;
};

inline constexpr const char* kSeparator = "-";

// Menu-bar entries in order: 文字, 書式, 挿入, 段落, 表, 色... (a command of
// the menu bar itself: submenu "" and caption "色..."), 加工. The edit and
// file menu items of the authoring commands (半角カナを全角カナに, コメント化,
// タグ消去, 基本形HTML) stand in the frame's own menus and are not listed.
std::span<const AuthoringMenuItem> AuthoringMenuItems();

// The handler's own name ("Font1Click"), used to name menu items.
const char* HandlerName(Handler handler);

}  // namespace hemlo::authoring
