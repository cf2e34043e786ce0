#pragma once
// THookApplicationMessage: one event filter on the application object that
// offers every key event to the web views' key forwarders, in the order the
// views were created, before the event reaches its receiver or a shortcut.
#include <QObject>
#include <QPointer>

#include "webview/key_forwarding.h"

class QKeyEvent;

namespace hemlo::webview {

// One key event as the forwarders see it.
struct HookedKey {
  QObject* receiver = nullptr;
  QEvent* event = nullptr;
  bool consume = false;  // set by a forwarder that has dealt with the event itself
};

class THookApplicationMessage : public QObject {
  Q_OBJECT
 public:
  using Forwarder = ForwarderList<HookedKey>::Handler;

  // The process's hook, created and installed on first use; it lives as a
  // child of the application object.
  static THookApplicationMessage& Instance();
  // Null before the first view registered (or after the application ended).
  static THookApplicationMessage* Existing();

  void Add(const void* owner, Forwarder forwarder) { list_.Add(owner, std::move(forwarder)); }
  void Remove(const void* owner) { list_.Remove(owner); }
  std::size_t Count() const { return list_.Size(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit THookApplicationMessage(QObject* parent);
  ForwarderList<HookedKey> list_;
};

// Virtual key code of a Qt key (letters, digits, editing and arrow keys,
// function keys); 0 for keys the rules never name.
int VirtualKeyFromQt(int qt_key);

}  // namespace hemlo::webview
