#include "shell/live_preview.h"

#include <QAction>
#include <QBuffer>
#include <QFileInfo>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeDatabase>
#include <QPointer>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

#include "base/dialog_folder.h"
#include "shell/frame_rules.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "shell/preview.h"

namespace hemlo {

namespace {

// The live texts by page path, for the scheme handler (UI thread only).
QHash<QString, QByteArray>& LiveTexts() {
  static QHash<QString, QByteArray> texts;
  return texts;
}

class LiveSchemeHandler : public QWebEngineUrlSchemeHandler {
 public:
  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
  void requestStarted(QWebEngineUrlRequestJob* job) override {
    const QString path = job->requestUrl().path();
    QByteArray bytes;
    QByteArray type = "text/html";
    if (auto it = LiveTexts().constFind(path); it != LiveTexts().constEnd()) {
      bytes = *it;
    } else {
      QFile file(path);
      if (!file.open(QIODevice::ReadOnly)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
      }
      bytes = file.readAll();
      type = QMimeDatabase().mimeTypeForFileNameAndData(path, bytes).name().toLatin1();
    }
    auto* buffer = new QBuffer(job);
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    job->reply(type, buffer);
  }
};

void EnsureHandler(QWebEngineProfile* profile) {
  if (profile->urlSchemeHandler(kLivePreviewScheme)) return;
  profile->installUrlSchemeHandler(kLivePreviewScheme, new LiveSchemeHandler(profile));
}

// One document window's live preview.
class LivePreview : public QObject {
 public:
  LivePreview(TMDIChild* child, TMainForm* frame) : QObject(child), child_(child), frame_(frame) {
    timer_.setSingleShot(true);
    timer_.setInterval(kLivePreviewPauseMs);
    connect(&timer_, &QTimer::timeout, this, &LivePreview::Update);
    connect(child->Memo(), &QPlainTextEdit::textChanged, this, [this] {
      if (On()) timer_.start();
    });
    connect(frame->action(FrameCommand::LivePreview), &QAction::toggled, this, [this](bool on) {
      if (on) QTimer::singleShot(0, this, [this] { Update(); });
    });
  }
  ~LivePreview() override {
    if (!key_.isEmpty()) LiveTexts().remove(key_);
  }

 private:
  bool On() const { return frame_ && frame_->editor_settings().live_preview; }

  // The path the text is served under: the page's own, or for an untitled
  // page a name in the folder its links work from (never written).
  QString PagePath() const {
    if (!child_->Caption().isEmpty()) return QFileInfo(child_->Caption()).absoluteFilePath();
    QString base = QString::fromStdString(DialogFolder::LinkBase());
    if (base.isEmpty()) base = QDir::tempPath();
    return QDir(base).filePath(
        QStringLiteral("untitled-%1.htm").arg(reinterpret_cast<quintptr>(child_.data()), 0, 16));
  }

  void Update() {
    if (!On() || !child_) return;
    const QString path = PagePath();
    if (!key_.isEmpty() && key_ != path) LiveTexts().remove(key_);
    key_ = path;
    text::QtEditPane* memo = child_->Memo();
    const std::string bytes = shell::PreviewBytes(memo->DocumentBytes(), memo->DocumentEncoding());
    LiveTexts().insert(path, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    webview::TUIWebBrowser* view = child_->WebBrowser();
    EnsureHandler(view->page()->profile());
    const QUrl url = LivePreviewUrl(path);
    if (view->url() != url || view != shown_in_) {
      shown_in_ = view;
      view->load(url);
      return;
    }
    // The page is there: its document is rewritten in place, which keeps the
    // scroll position and costs no navigation. The text travels as a script
    // string, so no size limit of the engine's own content route applies.
    const QByteArray array =
        QJsonDocument(QJsonArray{memo->toPlainText()}).toJson(QJsonDocument::Compact);
    const QString literal = QString::fromUtf8(array.mid(1, array.size() - 2));  // inside [ ]
    view->page()->runJavaScript(
        QStringLiteral("(function(t){var x=window.scrollX,y=window.scrollY;document.open();"
                       "document.write(t);document.close();window.scrollTo(x,y);})(%1)")
            .arg(literal));
  }

  QPointer<TMDIChild> child_;
  QPointer<TMainForm> frame_;
  QTimer timer_;
  QString key_;
  QPointer<webview::TUIWebBrowser> shown_in_;
};

}  // namespace

void RegisterLivePreviewScheme() {
  if (QWebEngineUrlScheme::schemeByName(kLivePreviewScheme).name() == kLivePreviewScheme) return;
  QWebEngineUrlScheme scheme(kLivePreviewScheme);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
  // Local like file: pages from the web cannot reach it.
  scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
  QWebEngineUrlScheme::registerScheme(scheme);
}

QUrl LivePreviewUrl(const QString& page_path) {
  QUrl url;
  url.setScheme(QString::fromLatin1(kLivePreviewScheme));
  url.setPath(page_path);
  return url;
}

void AttachLivePreview(TMainForm& frame) {
  QObject::connect(&frame, &TMainForm::childCreated, &frame,
                   [&frame](TMDIChild* child) { new LivePreview(child, &frame); });
}

}  // namespace hemlo
