#include "webview/key_forwarding.h"

namespace hemlo::webview {

KeyDecision DecideKey(const KeyMessage& m, bool already_handled, bool taken_by_dialog_navigation) {
  KeyDecision d;
  if (already_handled) {
    d.handled = true;
    return d;
  }
  d.handled = taken_by_dialog_navigation;
  if (!d.handled) return d;
  if (m.kind == KeyMessageKind::Char) {
    d.clear_char = m.key == kVkTab;
    return d;
  }
  switch (m.kind) {
    case KeyMessageKind::KeyDown:
      // Backspace would go back in the history and the arrows would be eaten
      // as accelerators; they reach the page as ordinary keys only.
      d.pass_to_view = !(m.key == kVkBack || (m.key >= kVkLeft && m.key <= kVkDown));
      break;
    case KeyMessageKind::SysKeyDown:
    case KeyMessageKind::Command:
    case KeyMessageKind::SysCommand:
      d.pass_to_view = true;
      break;
    default:
      break;
  }
  return d;
}

HostAnswer TranslateAcceleratorAnswer(bool enable_accelerator, const HostAnswer* handler_result) {
  if (!enable_accelerator) return HostAnswer::Ok;  // the host swallows every accelerator
  if (handler_result == nullptr) return HostAnswer::False;
  return *handler_result;
}

}  // namespace hemlo::webview
