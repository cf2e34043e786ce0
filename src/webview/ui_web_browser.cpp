#include "webview/ui_web_browser.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMetaMethod>
#include <QKeyEvent>
#include <QTimer>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <atomic>

namespace hemlo::webview {

// Offline, no-cache and no-frame behaviour act on each request of the page.
class HostInterceptor : public QWebEngineUrlRequestInterceptor {
 public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

  std::atomic<bool> offline{false};
  std::atomic<bool> no_cache{false};
  std::atomic<bool> frames{true};

  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    const QString scheme = info.requestUrl().scheme();
    const bool local = scheme == QLatin1String("file") || scheme == QLatin1String("data") ||
                       scheme == QLatin1String("qrc") || scheme == QLatin1String("blob") ||
                       scheme == QLatin1String("about");
    if (offline && !local) {
      info.block(true);
      return;
    }
    if (!frames && info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeSubFrame) {
      info.block(true);
      return;
    }
    if (no_cache && !local) {
      info.setHttpHeader("Pragma", "no-cache");
      info.setHttpHeader("Cache-Control", "no-cache");
    }
  }
};

class HostPage : public QWebEnginePage {
 public:
  explicit HostPage(TUIWebBrowser* view) : QWebEnginePage(view), view_(view) {}

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool main_frame) override {
    return view_->OnNavigationRequest(url, type, main_frame);
  }
  void javaScriptAlert(const QUrl& origin, const QString& msg) override {
    emit view_->UIShowMessage(msg, origin.toString(), 0);
    if (!view_->behaviour_.silent) QWebEnginePage::javaScriptAlert(origin, msg);
  }
  bool javaScriptConfirm(const QUrl& origin, const QString& msg) override {
    emit view_->UIShowMessage(msg, origin.toString(), 1);
    return view_->behaviour_.silent ? false : QWebEnginePage::javaScriptConfirm(origin, msg);
  }
  bool javaScriptPrompt(const QUrl& origin, const QString& msg, const QString& def,
                        QString* result) override {
    emit view_->UIShowMessage(msg, origin.toString(), 2);
    return view_->behaviour_.silent ? false
                                    : QWebEnginePage::javaScriptPrompt(origin, msg, def, result);
  }

 private:
  TUIWebBrowser* view_;
};

void PrepareWebEngine() {
  QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  if (flags.contains("--lang=")) return;
  if (!flags.isEmpty()) flags += ' ';
  flags += "--lang=ja";
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

TUIWebBrowser::TUIWebBrowser(QWidget* parent) : QWebEngineView((PrepareWebEngine(), parent)) {
  page_ = new HostPage(this);
  interceptor_ = new HostInterceptor(this);
  page_->setUrlRequestInterceptor(interceptor_);
  setPage(page_);
  settings()->setDefaultTextEncoding(QString::fromLatin1(kDefaultTextEncoding));
  // Links with a target and scripts may ask for a window; the document
  // window decides through NewWindow2.
  settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
  connect(this, &QWebEngineView::customContextMenuRequested, this, [this](const QPoint& pos) {
    const QPoint global = mapToGlobal(pos);
    emit UIShowContextMenu(MenuKind(), global);
    if (popup_menu_ && auto_popup_) popup_menu_->popup(global);
  });
  connect(this, &QWebEngineView::loadFinished, this,
          [this](bool ok) { emit DocumentComplete(this, url(), ok); });
  ApplyOptions();
  THookApplicationMessage::Instance().Add(
      this, [this](HookedKey& key, bool& handled) { ForwardKey(key, handled); });
}

TUIWebBrowser::~TUIWebBrowser() {
  if (THookApplicationMessage* hook = THookApplicationMessage::Existing()) hook->Remove(this);
}

void TUIWebBrowser::setOptions(const WebOptions& options) {
  options_ = options;
  ApplyOptions();
}

void TUIWebBrowser::ApplyOptions() {
  behaviour_ = BehaviourFor(options_);
  QWebEngineSettings* s = settings();
  s->setAttribute(QWebEngineSettings::ShowScrollBars, behaviour_.scroll_bars);
  s->setAttribute(QWebEngineSettings::JavascriptEnabled, behaviour_.javascript);
  s->setAttribute(QWebEngineSettings::AutoLoadImages, behaviour_.auto_load_images);
  s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, !behaviour_.autoplay_media);
  interceptor_->offline = behaviour_.offline;
  interceptor_->no_cache = behaviour_.no_cache;
  interceptor_->frames = behaviour_.frames;
  setContextMenuPolicy(ShowsStandardContextMenu(options_) ? Qt::DefaultContextMenu
                                                          : Qt::CustomContextMenu);
}

bool TUIWebBrowser::Navigate(const QString& address) {
  const QUrl url(address, QUrl::TolerantMode);
  if (!url.isValid() || url.isEmpty()) return false;
  setUrl(url);
  return true;
}

bool TUIWebBrowser::Busy() const { return page_->isLoading(); }
QString TUIWebBrowser::LocationURL() const { return url().toString(QUrl::FullyEncoded); }
QString TUIWebBrowser::LocationName() const { return title(); }

QWebEngineView* TUIWebBrowser::createWindow(QWebEnginePage::WebWindowType) {
  TUIWebBrowser* target = nullptr;
  emit NewWindow2(&target);
  return target;
}

int TUIWebBrowser::MenuKind() const {
  const QWebEngineContextMenuRequest* r = lastContextMenuRequest();
  if (r == nullptr) return kMenuDefault;
  if (r->isContentEditable()) return kMenuControl;
  if (r->mediaType() == QWebEngineContextMenuRequest::MediaTypeImage) return kMenuImage;
  if (r->linkUrl().isValid()) return kMenuAnchor;
  if (!r->selectedText().isEmpty()) return kMenuTextSelect;
  return kMenuDefault;
}

void TUIWebBrowser::contextMenuEvent(QContextMenuEvent* event) {
  // Reached only with the default policy, i.e. the engine's own menu.
  emit UIShowContextMenu(MenuKind(), event->globalPos());
  QWebEngineView::contextMenuEvent(event);
}

bool TUIWebBrowser::Contains(QObject* receiver, QEvent::Type type) const {
  // A shortcut check is judged by the widget holding the focus: the engine's
  // focus object is not a widget, and keys the page leaves unhandled come
  // back to the view's parent for another shortcut check, which must not
  // reach the frame's shortcuts either. Key presses are judged at the widget
  // stage only (the engine passes them on internally).
  QWidget* widget = type == QEvent::ShortcutOverride ? QApplication::focusWidget()
                                                     : qobject_cast<QWidget*>(receiver);
  for (auto* w = widget; w != nullptr; w = w->parentWidget())
    if (w == this) return true;
  return false;
}

void TUIWebBrowser::ForwardKey(HookedKey& key, bool& handled) {
  if (handled) return;
  auto* ev = static_cast<QKeyEvent*>(key.event);
  const bool alt = ev->modifiers() & Qt::AltModifier;
  const bool ctrl = ev->modifiers() & Qt::ControlModifier;
  const int vk = VirtualKeyFromQt(ev->key());
  // "Dialog navigation" here: the key goes to this view's widgets.
  const KeyDecision down =
      DecideKey({alt ? KeyMessageKind::SysKeyDown : KeyMessageKind::KeyDown, vk}, handled,
                Contains(key.receiver, ev->type()));
  handled = down.handled;
  if (!handled) return;

  if (ev->type() == QEvent::ShortcutOverride) {
    // The key is the view's: no shortcut of the frame acts on it.
    ev->accept();
    key.consume = true;
    return;
  }
  bool swallowed = false;
  if (down.pass_to_view && IsAcceleratorKey(vk, ctrl, alt)) {
    HostAnswer from_handler = HostAnswer::False;
    const bool has_handler =
        isSignalConnected(QMetaMethod::fromSignal(&TUIWebBrowser::UITranslateAccelerator));
    if (options_.IeEnableAccelerator && has_handler) {
      bool done = false;
      emit UITranslateAccelerator(vk, ev->modifiers(), &done);
      from_handler = done ? HostAnswer::Ok : HostAnswer::False;
    }
    swallowed = TranslateAcceleratorAnswer(options_.IeEnableAccelerator,
                                           has_handler ? &from_handler : nullptr) == HostAnswer::Ok;
  }
  if (swallowed) {
    key.consume = true;
    return;
  }
  if (ev->text() == QLatin1String("\t")) {
    const KeyDecision chr = DecideKey({KeyMessageKind::Char, kVkTab}, false, true);
    if (chr.clear_char) {
      // Same key without its character: focus moves, nothing is typed.
      QKeyEvent bare(ev->type(), ev->key(), ev->modifiers(), ev->nativeScanCode(),
                     ev->nativeVirtualKey(), ev->nativeModifiers(), QString(), ev->isAutoRepeat(),
                     ev->count());
      QCoreApplication::sendEvent(key.receiver, &bare);
      key.consume = true;
    }
  }
}

bool TUIWebBrowser::OnNavigationRequest(const QUrl& url, QWebEnginePage::NavigationType type,
                                        bool main_frame) {
  // Only a page's own link or script may close its view; addresses the
  // program passes (previews, the address box), reloads and frames never do.
  NavigationOrigin origin = NavigationOrigin::Other;
  if (type == QWebEnginePage::NavigationTypeLinkClicked ||
      type == QWebEnginePage::NavigationTypeOther)
    origin = NavigationOrigin::PageLinkOrScript;
  else if (type == QWebEnginePage::NavigationTypeTyped)
    origin = NavigationOrigin::Program;
  else if (type == QWebEnginePage::NavigationTypeReload)
    origin = NavigationOrigin::Reload;
  if (NavigationClosesView(url.toString(QUrl::FullyEncoded).toStdString(), origin, main_frame)) {
    ScheduleClose();
    return false;
  }
  if (main_frame) {
    QUrl translated;
    emit UITranslateUrl(url, &translated);
    if (translated.isValid() && translated != url) {
      QTimer::singleShot(0, this, [this, translated] { setUrl(translated); });
      return false;
    }
  }
  return true;
}

void TUIWebBrowser::ScheduleClose() {
  if (closing_) return;
  closing_ = true;
  // Destroying the view inside the engine's callback would free what the
  // engine still uses: leave the callback first.
  QTimer::singleShot(0, this, [this] {
    emit CloseRequested(this);
    deleteLater();
  });
}

}  // namespace hemlo::webview
