#pragma once
// TUIWebBrowser: the HTML view of the document windows and the builder
// dialog, a QWebEngineView that applies the eight host options, publishes
// the host's events as signals and forwards keys through the process-wide
// hook. The preview page renders as Shift-JIS even without a charset.
#include <QEvent>
#include <QMenu>
#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "webview/hook_application_message.h"
#include "webview/web_options.h"

namespace hemlo::webview {

class HostPage;
class HostInterceptor;

// The charset a page without a declaration is read in. Chromium's Shift_JIS
// decoder is the Windows code page 932 one (NEC and IBM rows included).
inline constexpr const char* kDefaultTextEncoding = "Shift_JIS";

// Gives the engine a Japanese user language (Accept-Language, and the hint
// its encoding detector uses for pages that name no charset). Takes effect
// only before the first web engine object exists: main() calls it before
// creating the application; every view calls it too, harmlessly late.
void PrepareWebEngine();

// Context menu kinds reported with UIShowContextMenu.
enum ContextMenuKind {
  kMenuDefault = 0,
  kMenuImage = 1,
  kMenuControl = 2,
  kMenuTextSelect = 4,
  kMenuAnchor = 5
};

class TUIWebBrowser : public QWebEngineView {
  Q_OBJECT
 public:
  explicit TUIWebBrowser(QWidget* parent = nullptr);
  ~TUIWebBrowser() override;

  // --- options -----------------------------------------------------------
  const WebOptions& options() const { return options_; }
  void setOptions(const WebOptions& options);
  std::uint32_t hostInfoFlags() const { return HostInfoFlags(options_); }
  std::int32_t ambientDownloadControl() const {
    return AmbientDownloadControl(options_.DownLoadControl);
  }
  // The menu popped up instead of the engine's own when IeNoContext is set.
  void setPopupMenu(QMenu* menu) { popup_menu_ = menu; }
  QMenu* popupMenu() const { return popup_menu_; }
  void setAutoPopup(bool on) { auto_popup_ = on; }
  bool autoPopup() const { return auto_popup_; }

  // --- what the windows use ----------------------------------------------
  // Navigates to the address exactly as given (no scheme is added). False
  // when the text is not a URL at all; nothing is loaded then.
  bool Navigate(const QString& address);
  bool Busy() const;
  QString LocationURL() const;   // the shown page's address
  QString LocationName() const;  // its title

 signals:
  // The top-level page finished loading (frames never raise it).
  void DocumentComplete(hemlo::webview::TUIWebBrowser* sender, const QUrl& url, bool ok);
  // The page asks for a new window: set *target to the view that is to
  // receive it (the new document window's web pane). Connect directly.
  void NewWindow2(hemlo::webview::TUIWebBrowser** target);
  // The view is about to destroy itself (an address containing "close");
  // emitted from the event loop after the navigation callback has returned,
  // just before deleteLater().
  void CloseRequested(hemlo::webview::TUIWebBrowser* sender);

  // Host events; each is emitted only where the engine offers the moment.
  void UIShowContextMenu(int kind, const QPoint& screen_point);
  // A key the engine would treat as an accelerator. *done = true keeps the
  // key from the page. Connect directly.
  void UITranslateAccelerator(int virtual_key, Qt::KeyboardModifiers shift_states, bool* done);
  // A JavaScript alert/confirm/prompt (type 0, 1, 2); the engine then shows
  // its own dialog unless CS_Silent is set.
  void UIShowMessage(const QString& text, const QString& caption, int type);
  // A navigation is about to start; set *translated to send the view elsewhere.
  void UITranslateUrl(const QUrl& url, QUrl* translated);

 protected:
  QWebEngineView* createWindow(QWebEnginePage::WebWindowType type) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  friend class HostPage;
  void ApplyOptions();
  void ForwardKey(HookedKey& key, bool& handled);
  bool Contains(QObject* receiver, QEvent::Type type) const;
  void ScheduleClose();
  bool OnNavigationRequest(const QUrl& url, QWebEnginePage::NavigationType type, bool main_frame);
  int MenuKind() const;

  WebOptions options_;
  EngineBehaviour behaviour_;
  HostPage* page_ = nullptr;                // child of this view
  HostInterceptor* interceptor_ = nullptr;  // child of this view
  QPointer<QMenu> popup_menu_;
  bool auto_popup_ = true;
  bool closing_ = false;
};

}  // namespace hemlo::webview
