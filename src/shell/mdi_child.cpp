#include "shell/mdi_child.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QVBoxLayout>
#include <algorithm>

#include "base/prompts.h"
#include "shell/child_frame.h"
#include "shell/document_file.h"
#include "shell/frame_rules.h"
#include "shell/indent.h"
#include "shell/page_site.h"
#include "shell/web_pane_frame.h"
#include "site/markup_check.h"
#include "text/abbreviation.h"

namespace hemlo {

namespace {
constexpr int kSplitterWidth = 5;
}  // namespace

// Keeps the edit pane's share of the height when the window grows or
// shrinks (a plain splitter gives every added pixel to the web pane, so a
// maximised window kept a three-line edit pane).
class PaneSplitter : public QSplitter {
 public:
  using QSplitter::QSplitter;
  int share = kDefaultEditPaneShare;  // thousandths

  void ApplyShare() {
    const int room = height() - handleWidth();
    if (room < 2) return;
    const int memo = std::clamp(
        static_cast<int>((static_cast<long long>(room) * share + 500) / 1000), 1, room - 1);
    setSizes({memo, room - memo});
  }
  void TakeShareFromSizes() {
    const QList<int> s = sizes();
    const long long total = s.value(0) + s.value(1);
    if (total > 0)
      share = std::clamp(static_cast<int>((s.value(0) * 1000LL + total / 2) / total), 1, 999);
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QSplitter::resizeEvent(event);
    ApplyShare();
  }
};

TMDIChild::TMDIChild(ChildFrame* frame, QWidget* parent) : QWidget(parent), frame_(frame) {
  setObjectName(QStringLiteral("MDIChild"));
  setAttribute(Qt::WA_DeleteOnClose);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);

  Splitter1 = new PaneSplitter(Qt::Vertical, this);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setHandleWidth(kSplitterWidth);
  Splitter1->setChildrenCollapsible(false);
  // The splitter bar in the active-caption colour.
  Splitter1->setStyleSheet(QStringLiteral("QSplitter::handle { background: palette(highlight); }"));

  Memo1 = new text::QtEditPane(Splitter1);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setTabChangesFocus(false);
  Memo1->setMinimumHeight(1);
  // A Japanese monospace face for both scripts, so ASCII after kana is drawn
  // from the same font; 文字 (the font command) still changes it.
  QFont source(QStringLiteral("IPAGothic"));
  source.setStyleHint(QFont::Monospace);
  source.setFixedPitch(true);
  source.setPointSize(11);
  Memo1->setFont(source);
  Memo1->installEventFilter(this);
  Memo1->SetSiteOfPage([this] { return SiteOfPage(caption_.toStdString()); });
  Memo1->viewport()->installEventFilter(this);
  // The caret text and the title follow the pane.
  connect(Memo1, &QPlainTextEdit::cursorPositionChanged, this, &TMDIChild::CaretMoved);
  connect(Memo1, &QPlainTextEdit::blockCountChanged, this, &TMDIChild::CaretMoved);
  connect(Memo1, &QPlainTextEdit::modificationChanged, this, &QWidget::setWindowModified);
  connect(Memo1, &text::QtEditPane::inputRefused, this, [this](const QString& message) {
    if (frame_) frame_->SetStatusText(0, message);
  });

  // Markup marks: the site check's libtidy check, run by the pane off the UI thread.
  Memo1->SetMarkupChecker([](const std::string& bytes, text::Encoding encoding) {
    std::vector<text::QtEditPane::MarkupMark> marks;
    for (site::MarkupIssue& issue : site::CheckMarkup(bytes, encoding))
      marks.push_back({issue.line, issue.severity == site::MarkupSeverity::kError,
                       std::move(issue.message)});
    return marks;
  });

  connect(Memo1, &text::QtEditPane::encodingChanged, this, [this] {
    if (loading_file_) return;  // encoding and detecting a whole page again is slow
    // A conversion (its undo, its redo) renames the declaration in the same
    // edit after the encoding changes: look once the whole edit is in.
    QMetaObject::invokeMethod(this, &TMDIChild::RefreshEncoding, Qt::QueuedConnection);
  });

  CreateWebPane();
  Splitter1->setStretchFactor(0, 1);
  Splitter1->setStretchFactor(1, 1);
  connect(Splitter1, &QSplitter::splitterMoved, this, [this] {
    Splitter1->TakeShareFromSizes();
    emit editPaneShareChanged(Splitter1->share);
  });
  layout->addWidget(Splitter1);
  SetCaption(QString());
}

void TMDIChild::SetCaption(const QString& path) {
  caption_ = path;
  // "[*]" stands where the window system shows "*" while the page is modified.
  QString title = path;
  setWindowTitle(title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")) +
                 QStringLiteral("[*]"));
  emit captionChanged();
}

void TMDIChild::CaretMoved() {
  if (caret_text_queued_) return;
  caret_text_queued_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        caret_text_queued_ = false;
        // A page edited in the background (a site replace) leaves the
        // active window's text alone.
        if (frame_ && frame_->ActiveChild() == this) ShowCaretPosition();
      },
      Qt::QueuedConnection);
}

void TMDIChild::CreateWebPane() {
  WebBrowser1 = new webview::TUIWebBrowser;
  // The new pane takes the place of the one it replaces (which leaves the
  // holder and deletes itself), at its width.
  if (!web_frame_) {
    web_frame_ = new WebPaneFrame;
    Splitter1->addWidget(web_frame_);
  }
  web_frame_->SetView(WebBrowser1);
  WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
  connect(WebBrowser1, &webview::TUIWebBrowser::DocumentComplete, this,
          [this](webview::TUIWebBrowser* sender, const QUrl&, bool) {
            WebBrowser1DocumentComplete(sender);
          });
  connect(
      WebBrowser1, &webview::TUIWebBrowser::NewWindow2, this,
      [this](webview::TUIWebBrowser** target) { WebBrowser1NewWindow2(target); },
      Qt::DirectConnection);
  connect(WebBrowser1, &webview::TUIWebBrowser::CloseRequested, this,
          [this](webview::TUIWebBrowser* closing) {
            // A page that closes its view leaves a fresh, empty web pane, so
            // the window never holds a dangling one.
            if (closing != WebBrowser1) return;
            CreateWebPane();
          });
}

TMDIChild::~TMDIChild() {
  // FormDestroy: the window's preview file goes with it.
  emit destroying(Caption());
}

void TMDIChild::SetMemoHeight(int pixels) {
  const int total = Splitter1->height() > 0 ? Splitter1->height() : 10000;
  Splitter1->setSizes({pixels, qMax(1, total - pixels - kSplitterWidth)});
  Splitter1->TakeShareFromSizes();
}

void TMDIChild::SetEditPaneShare(int per_mille) {
  Splitter1->share = std::clamp(per_mille, 1, 999);
  Splitter1->ApplyShare();
}

int TMDIChild::EditPaneShare() const { return Splitter1->share; }

int TMDIChild::MemoHeight() const { return Memo1->height(); }

void TMDIChild::ShowCaretPosition() {
  if (!frame_) return;
  const std::size_t p = Memo1->SelStart();
  const int n = Memo1->LineFromOffset(p);
  const std::size_t s = Memo1->LineStart(n);
  const int c = Memo1->LineCount();
  frame_->SetStatusText(1, QStringLiteral("%1行%2列目 (全%3行)")
                                       .arg(n + 1)
                                       .arg(static_cast<qulonglong>(p - s + 1))
                                       .arg(c));
  ShowEncoding();
}

void TMDIChild::ApplyEditorSettings(const EditorSettings& settings) {
  Memo1->SetHighlighting(settings.highlighting);
  Memo1->SetLineNumbers(settings.line_numbers);
  Memo1->SetClosingTags(settings.closing_tags);
  Memo1->SetMarkupMarks(settings.markup_marks);
  web_frame_->SetPreviewWidth(settings.preview_width);
  abbreviations_ = settings.abbreviations;
  Memo1->SetCompletion(settings.completion);
  Memo1->SetMatchingTags(settings.matching_tags);
}

bool TMDIChild::ExpandAbbreviation() {
  if (Memo1->SelLength() != 0 || Memo1->isReadOnly()) return false;
  const text::CaretPos pos = Memo1->CaretPosition();
  const std::string line = Memo1->LineListItem(pos.line);
  if (pos.column <= 0 || static_cast<std::size_t>(pos.column) > line.size()) return false;
  const std::string_view before = std::string_view(line).substr(0, static_cast<std::size_t>(pos.column));
  // The page's own indentation step, from the lines above.
  std::vector<std::string> above;
  for (int l = pos.line - 1; l >= 0 && l >= pos.line - kIndentSampleLines; --l)
    above.push_back(LeadingIndent(Memo1->LineListItem(l)));
  const auto x = text::ExpandAbbreviation(before, LeadingIndent(before), IndentStep(above));
  if (!x) return false;
  const std::size_t start = Memo1->LineStart(pos.line) + x->start;
  Memo1->SetSelStart(start);
  Memo1->SetSelLength(before.size() - x->start);
  Memo1->ReplaceSelection(x->text);
  Memo1->SetSelStart(start + x->caret);
  return true;
}

std::string TMDIChild::LoadFile(std::string_view bytes) {
  loading_file_ = true;
  std::string refusal;
  const text::EncodingGuess guess = LoadIntoPane(*Memo1, bytes, refusal);
  loading_file_ = false;
  if (!refusal.empty()) return refusal;
  declaration_disagrees_ = guess.declaration_disagrees;
  ShowEncoding();
  return {};
}

void TMDIChild::RefreshEncoding() {
  declaration_disagrees_ = text::DetectEncoding(Memo1->DocumentBytes()).declaration_disagrees;
  ShowEncoding();
}

void TMDIChild::ShowEncoding() {
  if (!frame_) return;
  frame_->SetStatusText(
      2, QString::fromStdString(text::EncodingLabel(
             Memo1->DocumentEncoding(), Memo1->HasByteOrderMark(), declaration_disagrees_)));
}

void TMDIChild::SetTabWidth(int width) {
  const QFontMetrics form_metrics(font());
  const QFontMetrics memo_metrics(Memo1->font());
  Memo1->setTabStopDistance(TabStopPixels(form_metrics.horizontalAdvance(QLatin1Char(' ')), width,
                                          memo_metrics.averageCharWidth()));
  Memo1->viewport()->update();
}

void TMDIChild::CopyIndent() {
  const text::CaretPos pos = Memo1->CaretPosition();
  if (pos.column != 0) return;
  for (int line = pos.line - 1; line >= 0; --line) {
    const std::string text = Memo1->LineListItem(line);
    if (!text.empty()) {
      Memo1->ReplaceSelection(LeadingIndent(text));
      return;
    }
  }
}

bool TMDIChild::FormCloseQuery() {
  if (!Memo1->Modified()) return true;
  // Named, for the frame's exit asks window after window.
  const std::string name = caption_.isEmpty() ? "（名前のないページ）" : caption_.toStdString();
  const Answer answer = frame_->prompts().Message(
      "確認",
      "「" + name +
          "」\r\n\r\n現在書き込まれてある内容を保存しないで閉じます。\r\n\r\n　…よろしいですか？",
      Buttons::YesSaveCancel, Icon::None, Answer::Cancel);
  if (answer == Answer::Save) return frame_->SaveChild(this);
  return answer == Answer::Yes;
}

void TMDIChild::closeEvent(QCloseEvent* event) {
  // FormCloseQuery, then FormClose destroys the window (WA_DeleteOnClose).
  if (FormCloseQuery())
    event->accept();
  else
    event->ignore();
}

bool TMDIChild::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Memo1 && event->type() == QEvent::KeyPress) {
    ShowCaretPosition();  // Memo1KeyDown: before the pane acts on the key
    auto* key = static_cast<QKeyEvent*>(event);
    const auto mods = key->modifiers() & ~Qt::KeypadModifier;
    const bool expand = (key->key() == Qt::Key_Tab && mods == Qt::NoModifier) ||
                        (key->key() == Qt::Key_E && mods == Qt::ControlModifier);
    // Tab after anything but an abbreviation indents as ever.
    // Tab accepts an item of the completion list instead.
    if (expand && abbreviations_ && !Memo1->CompletionShown() && ExpandAbbreviation()) return true;
  } else if (watched == Memo1 && event->type() == QEvent::KeyRelease) {
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat())
      CopyIndent();  // Memo1KeyUp
  } else if (watched == Memo1->viewport() && event->type() == QEvent::MouseButtonPress) {
    // Memo1MouseDown: after the click has placed the caret.
    QMetaObject::invokeMethod(
        this, [this] { ShowCaretPosition(); }, Qt::QueuedConnection);
  }
  return QWidget::eventFilter(watched, event);
}

void TMDIChild::WebBrowser1NewWindow2(webview::TUIWebBrowser** target) {
  // The page's new window becomes a new, untitled document window. The
  // engine loads it only after this returns, so there is nothing to wait for.
  if (!frame_ || !target) return;
  TMDIChild* child = frame_->CreateChild();
  *target = child->WebBrowser();
}

void TMDIChild::WebBrowser1DocumentComplete(webview::TUIWebBrowser* sender) {
  if (sender != WebBrowser1 || !frame_) return;
  const QString url = WebBrowser1->LocationURL();
  if (url.isEmpty()) return;
  QComboBox* box = frame_->cmbURL();
  // Local pages (previews) and blank ones are never listed and leave the
  // box as it is; a web page is listed once and shown in the box, so an
  // address typed and entered stays there.
  if (url.startsWith(QStringLiteral("fil")) || !ListableAddress(url.toStdString())) return;
  int listed = -1;
  for (int i = 0; i < box->count() && listed < 0; ++i)
    if (box->itemText(i).compare(url, Qt::CaseInsensitive) == 0) listed = i;
  if (listed < 0) {
    box->insertItem(0, url);
    listed = 0;
  }
  box->setCurrentIndex(listed);
}

}  // namespace hemlo
