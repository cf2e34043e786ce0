#include "webview/hook_application_message.h"

#include <QCoreApplication>
#include <QEvent>

namespace hemlo::webview {

namespace {
QPointer<THookApplicationMessage> g_hook;
}

THookApplicationMessage::THookApplicationMessage(QObject* parent) : QObject(parent) {}

THookApplicationMessage& THookApplicationMessage::Instance() {
  if (!g_hook) {
    QCoreApplication* app = QCoreApplication::instance();
    g_hook = new THookApplicationMessage(app);  // owned by the application object
    app->installEventFilter(g_hook);
  }
  return *g_hook;
}

THookApplicationMessage* THookApplicationMessage::Existing() { return g_hook.data(); }

bool THookApplicationMessage::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type t = event->type();
  if ((t != QEvent::KeyPress && t != QEvent::ShortcutOverride) || list_.Empty()) return false;
  HookedKey key{watched, event, false};
  list_.Dispatch(key);
  return key.consume;
}

int VirtualKeyFromQt(int k) {
  if ((k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9)) return k;
  if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return 112 + (k - Qt::Key_F1);
  switch (k) {
    case Qt::Key_Backspace:
      return kVkBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return kVkTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Space:
      return 32;
    case Qt::Key_PageUp:
      return 33;
    case Qt::Key_PageDown:
      return 34;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Left:
      return kVkLeft;
    case Qt::Key_Up:
      return kVkUp;
    case Qt::Key_Right:
      return kVkRight;
    case Qt::Key_Down:
      return kVkDown;
    case Qt::Key_Insert:
      return 45;
    case Qt::Key_Delete:
      return 46;
    default:
      return 0;
  }
}

}  // namespace hemlo::webview
