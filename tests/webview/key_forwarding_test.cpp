#include "webview/key_forwarding.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace hemlo::webview {
namespace {

using K = KeyMessageKind;

TEST(DecideKey, NotTakenByTheViewIsLeftToTheLoop) {
  for (K kind : {K::KeyDown, K::SysKeyDown, K::Char, K::Command, K::SysCommand, K::Other}) {
    KeyDecision d = DecideKey({kind, 'A'}, false, false);
    EXPECT_EQ(d, KeyDecision{}) << static_cast<int>(kind);
  }
}

TEST(DecideKey, AlreadyHandledIsNotTouched) {
  KeyDecision d = DecideKey({K::Char, kVkTab}, true, true);
  EXPECT_TRUE(d.handled);
  EXPECT_FALSE(d.pass_to_view);
  EXPECT_FALSE(d.clear_char);
}

TEST(DecideKey, KeyDownsPassedExceptBackspaceAndArrows) {
  for (int vk : {kVkTab, 13, int{'A'}, int{'C'}, 46, 112}) {
    KeyDecision d = DecideKey({K::KeyDown, vk}, false, true);
    EXPECT_TRUE(d.handled);
    EXPECT_TRUE(d.pass_to_view) << vk;
  }
  for (int vk : {kVkBack, kVkLeft, kVkUp, kVkRight, kVkDown}) {
    KeyDecision d = DecideKey({K::KeyDown, vk}, false, true);
    EXPECT_TRUE(d.handled) << vk;  // taken: the loop must not dispatch it twice
    EXPECT_FALSE(d.pass_to_view) << vk;
  }
  // With Alt (system key-down) even the arrows go on: Alt+Left is an accelerator.
  EXPECT_TRUE(DecideKey({K::SysKeyDown, kVkLeft}, false, true).pass_to_view);
  EXPECT_TRUE(DecideKey({K::Command, 0}, false, true).pass_to_view);
  EXPECT_TRUE(DecideKey({K::SysCommand, 0}, false, true).pass_to_view);
  EXPECT_FALSE(DecideKey({K::Other, 'A'}, false, true).pass_to_view);
}

TEST(DecideKey, TabCharacterSuppressedOtherCharactersKept) {
  KeyDecision tab = DecideKey({K::Char, kVkTab}, false, true);
  EXPECT_TRUE(tab.handled);
  EXPECT_TRUE(tab.clear_char);
  EXPECT_FALSE(tab.pass_to_view);
  KeyDecision a = DecideKey({K::Char, 'a'}, false, true);
  EXPECT_TRUE(a.handled);
  EXPECT_FALSE(a.clear_char);
  // A Tab key-down is not a character: it goes on to the view (focus moves).
  EXPECT_FALSE(DecideKey({K::KeyDown, kVkTab}, false, true).clear_char);
}

TEST(TranslateAccelerator, Answers) {
  const HostAnswer ok = HostAnswer::Ok, no = HostAnswer::False;
  EXPECT_EQ(TranslateAcceleratorAnswer(false, nullptr), HostAnswer::Ok);
  EXPECT_EQ(TranslateAcceleratorAnswer(false, &no), HostAnswer::Ok);
  EXPECT_EQ(TranslateAcceleratorAnswer(true, nullptr), HostAnswer::False);
  EXPECT_EQ(TranslateAcceleratorAnswer(true, &ok), HostAnswer::Ok);
  EXPECT_EQ(TranslateAcceleratorAnswer(true, &no), HostAnswer::False);
  EXPECT_TRUE(IsAcceleratorKey('C', true, false));
  EXPECT_TRUE(IsAcceleratorKey(kVkLeft, false, true));
  EXPECT_TRUE(IsAcceleratorKey(116, false, false));  // F5
  EXPECT_FALSE(IsAcceleratorKey('A', false, false));
  EXPECT_FALSE(IsAcceleratorKey(13, false, false));
}

struct Msg {
  std::string log;
};

TEST(ForwarderList, OrderStopAtHandledAndRemoval) {
  ForwarderList<Msg> list;
  int first = 1, second = 2, third = 3;
  list.Add(&first, [](Msg& m, bool&) { m.log += "1"; });
  list.Add(&second, [](Msg& m, bool& handled) {
    m.log += "2";
    handled = true;
  });
  list.Add(&third, [](Msg& m, bool&) { m.log += "3"; });
  Msg m;
  EXPECT_TRUE(list.Dispatch(m));
  EXPECT_EQ(m.log, "12");

  // Removing the first view leaves the others working, in order.
  list.Remove(&first);
  Msg m2;
  EXPECT_TRUE(list.Dispatch(m2));
  EXPECT_EQ(m2.log, "2");
  list.Remove(&second);
  Msg m3;
  EXPECT_FALSE(list.Dispatch(m3));
  EXPECT_EQ(m3.log, "3");
  EXPECT_EQ(list.Size(), 1u);
}

TEST(ForwarderList, ExceptionEndsThisMessageOnly) {
  ForwarderList<Msg> list;
  int a = 0, b = 0;
  bool throw_now = true;
  list.Add(&a, [&](Msg& m, bool&) {
    m.log += "a";
    if (throw_now) throw std::runtime_error("boom");
  });
  list.Add(&b, [](Msg& m, bool& handled) {
    m.log += "b";
    handled = true;
  });
  Msg m;
  EXPECT_NO_THROW(list.Dispatch(m));
  EXPECT_EQ(m.log, "a");
  throw_now = false;
  Msg m2;
  EXPECT_TRUE(list.Dispatch(m2));
  EXPECT_EQ(m2.log, "ab");
}

TEST(ForwarderList, EntriesRemovedDuringDispatch) {
  ForwarderList<Msg> list;
  int a = 0, b = 0, c = 0;
  // The first entry removes itself and the third (a view going away).
  list.Add(&a, [&](Msg& m, bool&) {
    m.log += "a";
    list.Remove(&a);
    list.Remove(&c);
  });
  list.Add(&b, [](Msg& m, bool&) { m.log += "b"; });
  list.Add(&c, [](Msg& m, bool&) { m.log += "c"; });
  Msg m;
  list.Dispatch(m);
  EXPECT_EQ(m.log, "ab");  // the removed third entry is not called
  Msg m2;
  list.Dispatch(m2);
  EXPECT_EQ(m2.log, "b");
}

}  // namespace
}  // namespace hemlo::webview
