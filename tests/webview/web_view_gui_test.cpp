// The Qt view with a real engine: Shift-JIS rendering, preview with relative
// resources, key forwarding, self-closing and new windows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QApplication>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <filesystem>
#include <memory>

#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "shell/preview.h"
#include "text/cp932.h"
#include "text/memory_edit_pane.h"
#include "webview/ui_web_browser.h"
#include "support/scripted_prompts.h"

namespace hemlo::webview {
namespace {

namespace fs = std::filesystem;
constexpr int kTimeoutMs = 20000;

// Result of a script, waited for with a bound. The state outlives a late
// callback after a timeout.
QVariant RunJs(QWebEnginePage* page, const QString& js) {
  auto state = std::make_shared<std::pair<bool, QVariant>>(false, QVariant());
  page->runJavaScript(js, [state](const QVariant& v) {
    state->second = v;
    state->first = true;
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return state->first; }, kTimeoutMs)) << js.toStdString();
  return state->second;
}

bool LoadAndWait(TUIWebBrowser& view, const QString& address) {
  QSignalSpy done(&view, &TUIWebBrowser::DocumentComplete);
  if (!view.Navigate(address)) return false;
  return done.wait(kTimeoutMs) && done.takeFirst().at(2).toBool();
}

// The key presses a widget receives (the engine hands the keys a page leaves
// unhandled to the view's parent).
class KeyLog : public QObject {
 public:
  explicit KeyLog(QWidget* widget) { widget->installEventFilter(this); }
  QList<int> keys;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) keys << static_cast<QKeyEvent*>(event)->key();
    return false;
  }
};

class WebViewGui : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/hemlo_webview_XXXXXX";
    ASSERT_NE(::mkdtemp(templ), nullptr);
    root_ = templ;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  fs::path root_;
};

TEST_F(WebViewGui, PageWithoutCharsetRendersAsShiftJis) {
  // ① and ～ sit in the Windows rows of the code page, ソ and 表 end in 0x5C.
  const std::string page = text::Sjis("<html><body><p>日本語ソ表①～</p></body></html>");
  const fs::path file = root_ / "plain.htm";
  ASSERT_TRUE(WriteFileAtomically(file, page));
  TUIWebBrowser view;
  view.resize(400, 300);
  view.show();
  ASSERT_TRUE(LoadAndWait(view, QString::fromStdString(shell::FileUrlForPath(file.string()))));
  EXPECT_EQ(RunJs(view.page(), "document.body.innerText.trim()").toString(),
            QString::fromUtf8("日本語ソ表①～"));
  EXPECT_EQ(RunJs(view.page(), "document.characterSet").toString(), QStringLiteral("Shift_JIS"));
}

TEST_F(WebViewGui, PreviewShowsImageByRelativePathInAwkwardFolder) {
  // Spaces, "#", "%" and Japanese in the folder: the address must still load.
  // The page names no charset and its text is too short (and kana-only in
  // part) for the engine's detector: it must still read as Shift-JIS.
  const fs::path site = root_ / "my site #1 100% 日本語";
  fs::create_directories(site / "img");
  QImage image(7, 5, QImage::Format_RGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(image.save(QString::fromStdString((site / "img" / "pic.png").string())));
  SetProgramFolder(root_);

  TUIWebBrowser view;
  view.resize(400, 300);
  view.show();
  text::MemoryEditPane pane(
      text::Sjis("<html><body><img id=\"i\" src=\"img/pic.png\"><p>絵ｱｲｳ</p></body></html>"));
  pane.SetModified(true);
  ScriptedPrompts prompts;
  shell::PreviewState state;
  shell::PreviewRegistry registry;
  std::string caption = (site / "top.htm").string();
  shell::PreviewContext c;
  c.pane = &pane;
  c.caption = &caption;
  c.owner = &view;
  c.prompts = &prompts;
  c.state = &state;
  c.registry = &registry;
  c.navigate = [&view](const std::string& url) { view.Navigate(QString::fromStdString(url)); };

  QSignalSpy done(&view, &TUIWebBrowser::DocumentComplete);
  shell::PreviewResult r = shell::Image1Click(c);
  ASSERT_EQ(r.outcome, shell::PreviewResult::Outcome::Navigated);
  ASSERT_FALSE(r.used_fallback);
  ASSERT_TRUE(done.wait(kTimeoutMs));
  EXPECT_TRUE(done.at(0).at(2).toBool());
  EXPECT_EQ(view.LocationURL().toStdString(), r.url);
  QVariant width;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        width = RunJs(view.page(), "document.getElementById('i').naturalWidth");
        return width.toInt() == 7;
      },
      kTimeoutMs));
  EXPECT_EQ(width.toInt(), 7);
  EXPECT_EQ(RunJs(view.page(), "document.body.innerText.trim()").toString(),
            QString::fromUtf8("絵ｱｲｳ"));

  EXPECT_EQ(shell::DocumentWindowDestroyed(state, caption, &view, &registry), 1);
  EXPECT_FALSE(fs::exists(site / "topbak.htm"));
}

TEST_F(WebViewGui, EachViewRegistersOneForwarderRemovedOnDestruction) {
  const std::size_t before =
      THookApplicationMessage::Existing() ? THookApplicationMessage::Existing()->Count() : 0;
  auto first = std::make_unique<TUIWebBrowser>();
  TUIWebBrowser second;
  ASSERT_NE(THookApplicationMessage::Existing(), nullptr);
  EXPECT_EQ(THookApplicationMessage::Existing()->Count(), before + 2);
  first.reset();
  EXPECT_EQ(THookApplicationMessage::Existing()->Count(), before + 1);
}

TEST_F(WebViewGui, KeysInTheViewGoToThePageBeforeFrameShortcuts) {
  QMainWindow frame;
  QAction save(&frame);
  save.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  frame.addAction(&save);
  QSignalSpy fired(&save, &QAction::triggered);
  auto* central = new QWidget(&frame);
  auto* layout = new QVBoxLayout(central);
  auto* edit = new QLineEdit(central);
  auto* second_view =
      new TUIWebBrowser(central);  // an earlier forwarder that must not take the key
  auto* view = new TUIWebBrowser(central);
  layout->addWidget(edit);
  layout->addWidget(second_view);
  layout->addWidget(view);
  frame.setCentralWidget(central);
  KeyLog returned(central);
  frame.resize(500, 500);
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  frame.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  ASSERT_TRUE(LoadAndWait(*view, "data:text/html,<p>x</p>"));
  ASSERT_NE(view->focusProxy(), nullptr);

  // Outside the views the frame's shortcut works.
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(fired.count(), 1);

  // Inside the view the key goes to the page, not to the frame.
  view->focusProxy()->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->focusProxy()->hasFocus(); }, kTimeoutMs));
  QTest::keyClick(view->focusProxy(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(fired.count(), 1);

  // With accelerators off the page does not get Ctrl keys; a handler can
  // also keep one from the page.
  int asked = 0;
  QObject::connect(view, &TUIWebBrowser::UITranslateAccelerator, view,
                   [&](int vk, Qt::KeyboardModifiers, bool* done) {
                     ++asked;
                     *done = vk == 'S';
                   });
  ASSERT_TRUE(LoadAndWait(*view, "data:text/html,<p>y</p>"));
  RunJs(view->page(),
        "window.keys=[];document.addEventListener('keydown',e=>window.keys.push(e.key));");
  view->focusProxy()->setFocus();
  QTest::keyClick(view->focusProxy(), Qt::Key_S, Qt::ControlModifier);
  QTest::keyClick(view->focusProxy(), Qt::Key_Q, Qt::ControlModifier);
  QTest::keyClick(view->focusProxy(), Qt::Key_A);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return RunJs(view->page(), "window.keys.join()").toString().contains('a'); },
      kTimeoutMs));
  // The modifier alone reaches the page; Ctrl+S was kept from it by the handler.
  EXPECT_EQ(RunJs(view->page(), "window.keys.join()").toString(),
            QStringLiteral("Control,Control,q,a"));
  EXPECT_GE(asked, 2);

  // With accelerators off no Ctrl key reaches the page, plain typing does.
  WebOptions off;
  off.IeEnableAccelerator = false;
  view->setOptions(off);
  RunJs(view->page(), "window.keys=[];");
  QTest::keyClick(view->focusProxy(), Qt::Key_Q, Qt::ControlModifier);
  QTest::keyClick(view->focusProxy(), Qt::Key_B);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return RunJs(view->page(), "window.keys.join()").toString().contains('b'); },
      kTimeoutMs));
  EXPECT_EQ(RunJs(view->page(), "window.keys.join()").toString(), QStringLiteral("b"));
  // Keys the page leaves unhandled come back to the view's parent late and in
  // order: once the last one is back, none of the earlier Ctrl+S reached the frame.
  ASSERT_TRUE(QTest::qWaitFor([&] { return returned.keys.contains(Qt::Key_B); }, kTimeoutMs));
  EXPECT_EQ(fired.count(), 1);
}

TEST_F(WebViewGui, TabMovesFocusInThePageAndTypesNothing) {
  TUIWebBrowser view;
  view.resize(300, 200);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  ASSERT_TRUE(LoadAndWait(view, "data:text/html,<textarea id=a></textarea><input id=b>"));
  RunJs(view.page(), "document.getElementById('a').focus();");
  view.focusProxy()->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return view.focusProxy()->hasFocus(); }, kTimeoutMs));
  // Editing accelerators still work in the page (Ctrl+A selects the text the
  // next key replaces).
  QTest::keyClick(view.focusProxy(), Qt::Key_W);
  QTest::keyClick(view.focusProxy(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(view.focusProxy(), Qt::Key_X);
  QTest::keyClick(view.focusProxy(), Qt::Key_Tab);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return RunJs(view.page(), "document.activeElement.id").toString() == "b"; },
      kTimeoutMs));
  // Typing still reaches the page; the Tab added no character.
  EXPECT_EQ(RunJs(view.page(), "document.getElementById('a').value").toString(),
            QStringLiteral("x"));
}

// The visible popup menu, if any.
QMenu* VisibleMenu() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* m = qobject_cast<QMenu*>(w); m && m->isVisible()) return m;
  return nullptr;
}

// Every popup menu shown while it lives, in order.
struct MenuShowLog : QObject {
  std::vector<QObject*> shown;
  MenuShowLog() { qApp->installEventFilter(this); }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show && qobject_cast<QMenu*>(o)) shown.push_back(o);
    return false;
  }
};

TEST_F(WebViewGui, NoContextShowsOnlyTheAttachedMenu) {
  TUIWebBrowser view;
  view.resize(300, 200);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  ASSERT_TRUE(LoadAndWait(view, "data:text/html,<body style='height:100%'><p>text</p></body>"));
  QSignalSpy asked(&view, &TUIWebBrowser::UIShowContextMenu);
  auto right_click = [&] {
    QTest::mouseClick(view.focusProxy(), Qt::RightButton, Qt::NoModifier, QPoint(150, 150));
  };

  // The engine's own menu first, so the check below can see a menu at all.
  right_click();
  ASSERT_TRUE(QTest::qWaitFor([] { return VisibleMenu() != nullptr; }, kTimeoutMs));
  VisibleMenu()->close();
  EXPECT_EQ(asked.count(), 1);

  WebOptions no_context;
  no_context.IeNoContext = true;
  view.setOptions(no_context);
  right_click();
  MenuShowLog menus;
  right_click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return asked.count() == 2; }, kTimeoutMs));

  // The attached menu for a later click; an engine menu for the click
  // above would have shown before it.
  QMenu attached;
  attached.addAction("attached");
  view.setPopupMenu(&attached);
  right_click();
  ASSERT_TRUE(QTest::qWaitFor([] { return VisibleMenu() != nullptr; }, kTimeoutMs));
  EXPECT_EQ(VisibleMenu(), &attached);
  EXPECT_EQ(menus.shown, std::vector<QObject*>{&attached});
  attached.close();
}

TEST_F(WebViewGui, CloseAddressFromThePageDestroysTheViewLater) {
  fs::create_directories(root_ / "closet");
  ASSERT_TRUE(WriteFileAtomically(root_ / "closet" / "a.htm", "<p>a</p>"));
  ASSERT_TRUE(WriteFileAtomically(root_ / "close", "<p>bye</p>"));
  auto* view = new TUIWebBrowser;  // deletes itself
  QPointer<TUIWebBrowser> alive(view);
  QSignalSpy closing(view, &TUIWebBrowser::CloseRequested);
  QSignalSpy destroyed(view, &QObject::destroyed);
  // The program's own navigation to a folder named "closet" keeps the view
  // (the one close counted at the end is the later one).
  ASSERT_TRUE(LoadAndWait(
      *view, QString::fromStdString(shell::FileUrlForPath((root_ / "closet" / "a.htm").string()))));
  ASSERT_FALSE(alive.isNull());
  const QString target = QString::fromStdString(shell::FileUrlForPath((root_ / "close").string()));
  view->page()->runJavaScript("location.href='" + target + "';");
  EXPECT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, kTimeoutMs));
  EXPECT_EQ(closing.count(), 1);
  EXPECT_EQ(destroyed.count(), 1);
  if (alive) delete alive.data();
}

TEST_F(WebViewGui, NewWindowRequestLandsInTheViewTheHandlerGives) {
  ASSERT_TRUE(WriteFileAtomically(root_ / "second.htm", "<title>two</title><p>2</p>"));
  ASSERT_TRUE(WriteFileAtomically(root_ / "first.htm", "<p>1</p>"));
  TUIWebBrowser view;
  view.show();
  auto popup = std::make_unique<TUIWebBrowser>();
  QObject::connect(&view, &TUIWebBrowser::NewWindow2, &view,
                   [&](TUIWebBrowser** target) { *target = popup.get(); });
  ASSERT_TRUE(LoadAndWait(
      view, QString::fromStdString(shell::FileUrlForPath((root_ / "first.htm").string()))));
  QSignalSpy popup_done(popup.get(), &TUIWebBrowser::DocumentComplete);
  view.page()->runJavaScript("window.open('second.htm');");
  ASSERT_TRUE(popup_done.wait(kTimeoutMs));
  EXPECT_TRUE(popup->LocationURL().endsWith("/second.htm"));
  EXPECT_EQ(popup->LocationName(), QStringLiteral("two"));
  EXPECT_FALSE(popup->Busy());
}

}  // namespace
}  // namespace hemlo::webview
