#pragma once
// Keyboard forwarding from the application's event loop to the web views:
// the decision one view's key forwarder makes for one message, and the
// ordered list of forwarders the process-wide hook walks. Plain C++; the Qt
// hook (THookApplicationMessage) translates events into KeyMessage and back.
#include <cstdint>
#include <functional>
#include <vector>

namespace hemlo::webview {

enum class KeyMessageKind { KeyDown, SysKeyDown, Char, Command, SysCommand, Other };

// Virtual key codes the rules name.
inline constexpr int kVkBack = 8;
inline constexpr int kVkTab = 9;
inline constexpr int kVkLeft = 37;
inline constexpr int kVkUp = 38;
inline constexpr int kVkRight = 39;
inline constexpr int kVkDown = 40;

struct KeyMessage {
  KeyMessageKind kind = KeyMessageKind::Other;
  int key = 0;  // virtual key for key-downs, the character for Char
};

struct KeyDecision {
  bool handled = false;       // the event loop must not dispatch it again
  bool pass_to_view = false;  // offered to the view's own accelerator handling
  bool clear_char = false;    // a Tab character: replaced by 0 (typed as nothing)
  bool operator==(const KeyDecision&) const = default;
};

// One forwarder's rules: a message already handled is left alone; dialog
// navigation (the view's window taking the key) comes first and decides
// `handled`; a Tab character is suppressed; key-downs (except Backspace and
// the four arrows), system key-downs and commands go on to the view.
KeyDecision DecideKey(const KeyMessage& message, bool already_handled,
                      bool taken_by_dialog_navigation);

// Keys the browser treats as accelerators rather than typing: anything held
// with Ctrl or Alt, and the function keys. Only these are put to the
// accelerator rule below; plain typing always reaches the page.
constexpr bool IsAcceleratorKey(int virtual_key, bool ctrl, bool alt) {
  return ctrl || alt || (virtual_key >= 112 && virtual_key <= 135);
}

// The host's answer to the browser's accelerator query.
enum class HostAnswer { Ok, False };
// `handler_result` is what an assigned handler left in its result (preset to
// False), or nullptr when none is assigned.
HostAnswer TranslateAcceleratorAnswer(bool enable_accelerator, const HostAnswer* handler_result);

// Ordered list of key forwarders. Each entry has an owner (its view) and a
// handler; Dispatch calls them in order and stops at the first that sets
// `handled`. An exception from an entry ends the dispatch of that message
// silently (the message then counts as not handled).
template <typename Message>
class ForwarderList {
 public:
  using Handler = std::function<void(Message&, bool& handled)>;

  void Add(const void* owner, Handler handler) {
    entries_.push_back({owner, std::move(handler), ++last_id_});
  }
  // Removes the owner's entry; the others keep their order.
  void Remove(const void* owner) {
    std::erase_if(entries_, [owner](const Entry& e) { return e.owner == owner; });
  }
  std::size_t Size() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }

  bool Dispatch(Message& message) {
    bool handled = false;
    // A handler may add or remove entries (a view going away while a key is
    // being forwarded): walk a copy and skip entries removed meanwhile.
    const std::vector<Entry> snapshot = entries_;
    try {
      for (const Entry& e : snapshot) {
        if (!Present(e.id)) continue;
        e.handler(message, handled);
        if (handled) break;
      }
    } catch (...) {
      return handled;
    }
    return handled;
  }

 private:
  struct Entry {
    const void* owner;
    Handler handler;
    std::uint64_t id;
  };
  bool Present(std::uint64_t id) const {
    for (const Entry& e : entries_)
      if (e.id == id) return true;
    return false;
  }
  std::vector<Entry> entries_;
  std::uint64_t last_id_ = 0;
};

}  // namespace hemlo::webview
