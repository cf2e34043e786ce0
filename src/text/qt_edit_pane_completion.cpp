// QtEditPane's completion list: the rules (completion.h) on the bytes
// before the caret, the site's files from a worker thread (site_files.h),
// and a list that never has the focus, so every typed key reaches the text.
#include <QApplication>
#include <QKeyEvent>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "text/completion.h"
#include "text/completion_popup.h"
#include "text/qt_edit_pane.h"
#include "text/site_files.h"

namespace hemlo::text {

namespace {

// Rows the list shows at once, and the most items it holds (typing narrows it).
constexpr int kRowsShown = 10;
constexpr std::size_t kMostItems = 60;

QString FromUtf8(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

bool IsTrigger(QChar c) {
  return c == QLatin1Char('<') || c == QLatin1Char(' ') || c == QLatin1Char('"') ||
         c == QLatin1Char('\'') || c == QLatin1Char(':') || c == QLatin1Char(';') ||
         c == QLatin1Char('{') || c == QLatin1Char(',');
}

bool IsListKey(const QKeyEvent* event) {
  if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Escape:
      return true;
    default:
      return false;
  }
}

}  // namespace

void QtEditPane::SetCompletion(bool on) {
  completion_ = on;
  if (!on) HideCompletion();
}

bool QtEditPane::CompletionShown() const {
  return completion_list_ != nullptr && completion_list_->isVisible();
}

QStringList QtEditPane::CompletionLabels() const {
  if (!CompletionShown()) return {};
  return completion_list_->Labels();
}

void QtEditPane::HideCompletion() {
  if (completion_list_) completion_list_->hide();
  completion_items_.clear();
  completion_all_ = nullptr;
  completion_start_ = -1;
}

bool QtEditPane::event(QEvent* event) {
  // The list's keys go to the pane even where a menu command has them.
  if (event->type() == QEvent::ShortcutOverride && CompletionShown() &&
      IsListKey(static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  const bool done = QPlainTextEdit::event(event);
  // The partner of a tag typed in is found before the key's paint, not in a
  // second paint after it.
  if (event->type() == QEvent::KeyPress || event->type() == QEvent::InputMethod) FlushTagMatch();
  return done;
}

void QtEditPane::focusOutEvent(QFocusEvent* event) {
  HideCompletion();
  QPlainTextEdit::focusOutEvent(event);
}

bool QtEditPane::CompletionKey(QKeyEvent* event) {
  if (!CompletionShown() || !IsListKey(event)) return false;
  const int count = static_cast<int>(completion_list_->Labels().size());
  const int row = completion_list_->CurrentRow();
  switch (event->key()) {
    case Qt::Key_Up:
      completion_list_->SetCurrentRow(row <= 0 ? count - 1 : row - 1);
      break;
    case Qt::Key_Down:
      completion_list_->SetCurrentRow(row + 1 >= count ? 0 : row + 1);
      break;
    case Qt::Key_PageUp:
      completion_list_->SetCurrentRow(std::max(0, row - kRowsShown));
      break;
    case Qt::Key_PageDown:
      completion_list_->SetCurrentRow(std::min(count - 1, row + kRowsShown));
      break;
    case Qt::Key_Escape:
      HideCompletion();
      break;
    default:  // Enter, Tab
      AcceptCompletion();
  }
  return true;
}

void QtEditPane::CompleteAfter(QChar typed) {
  const int caret = textCursor().position();
  if (CompletionShown()) {
    // A key that goes on with the word narrows the list without a new look.
    if (caret > completion_start_ && NarrowsCompletion(QString(typed).toStdString()))
      NarrowCompletionList();
    else
      RefreshCompletion(true);
    return;
  }
  if (!IsTrigger(typed)) return;
  if (typed == QLatin1Char(' ') || typed == QLatin1Char(',')) {
    // Spaces in text are common: a glance at the last bytes first.
    const int from = std::max(0, caret - static_cast<int>(kCompletionGlance));
    if (!CompletionMayStart(EncodeRange(from, caret))) return;
  }
  RefreshCompletion(true);
}

const std::vector<std::string>& QtEditPane::PageFiles() {
  static const std::vector<std::string> kNone;
  if (!site_of_page_) return kNone;
  const auto [site, page] = site_of_page_();
  if (page.empty() || site.empty()) return kNone;
  if (!site_files_) site_files_ = std::make_shared<SiteFiles>();
  const SiteFiles::List list = site_files_->Get(site, [this] {
    // From the worker: the list opens when the caret still waits for it.
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (completion_ && files_wanted_at_ == textCursor().position()) RefreshCompletion(true);
        },
        Qt::QueuedConnection);
  });
  if (!list) {
    files_wanted_at_ = textCursor().position();
    return kNone;
  }
  files_wanted_at_ = -1;
  std::string folder = page.lexically_relative(site).generic_string();
  if (folder == ".") folder.clear();
  if (list != page_files_of_ || folder != page_files_folder_) {
    page_files_.clear();
    page_files_.reserve(list->size());
    for (const std::string& f : *list) page_files_.push_back(PathFromPage(folder, f));
    page_files_of_ = list;
    page_files_folder_ = folder;
  }
  return page_files_;
}

void QtEditPane::RefreshCompletion(bool open) {
  QTextCursor cursor = textCursor();
  if (!completion_ || cursor.hasSelection() || isReadOnly() || (!open && !CompletionShown())) {
    HideCompletion();
    return;
  }
  const int caret = cursor.position();
  const int from = std::max(0, caret - static_cast<int>(kCompletionWindow));
  const std::string before = EncodeRange(from, caret);
  const CompletionContext context = FindCompletionContext(before);
  if (context.kind == CompletionKind::kNone) {
    HideCompletion();
    return;
  }
  completion_start_ = PositionOfOffset(OffsetOfPosition(from) + context.start);
  if (WantsSiteFiles(context)) {
    completion_files_ = CompletionItems(context, "", PageFiles());
    completion_all_ = &completion_files_;
  } else {
    const std::string key = std::to_string(static_cast<int>(context.kind)) + '\0' +
                            context.element + '\0' + context.attribute + '\0' + context.property;
    auto it = completion_words_.find(key);
    if (it == completion_words_.end()) {
      if (completion_words_.size() >= 64) completion_words_.clear();  // a bound, seldom met
      it = completion_words_.emplace(key, CompletionItems(context, "", {})).first;
    }
    completion_all_ = &it->second;
  }
  NarrowCompletionList();
}

void QtEditPane::NarrowCompletionList() {
  const int start = completion_start_;
  const int caret = textCursor().position();
  if (start < 0 || start > caret || completion_all_ == nullptr) {
    HideCompletion();
    return;
  }
  const QString typed = RawRange(start, caret);
  std::vector<CompletionItem> items =
      NarrowCompletion(*completion_all_, typed.toStdString(), kMostItems);
  // Nothing to offer, or only what is typed already.
  if (items.empty() ||
      (items.size() == 1 && FromUtf8(items[0].label).compare(typed, Qt::CaseInsensitive) == 0)) {
    HideCompletion();
    return;
  }
  completion_items_ = std::move(items);

  if (!completion_list_) {
    completion_list_ = new CompletionPopup(viewport(), kRowsShown);
    completion_list_->on_clicked = [this] { AcceptCompletion(); };
  }
  if (completion_list_->font() != font())
    completion_list_->setFont(font());  // a window: not inherited
  QStringList labels;
  labels.reserve(static_cast<qsizetype>(completion_items_.size()));
  for (const CompletionItem& item : completion_items_) labels << FromUtf8(item.label);
  completion_list_->SetLabels(labels);
  const QSize size =
      completion_list_->SizeFor(std::min(kRowsShown, static_cast<int>(labels.size())));
  const int width = std::min(viewport()->width(), size.width());
  QTextCursor word_start(document());
  word_start.setPosition(start);
  const QRect at = cursorRect(word_start);
  int y = at.bottom() + 2;
  if (y + size.height() > viewport()->height() && at.top() - size.height() - 2 >= 0)
    y = at.top() - size.height() - 2;
  const int x = std::clamp(at.left(), 0, std::max(0, viewport()->width() - width));
  completion_list_->setGeometry(
      QRect(viewport()->mapToGlobal(QPoint(x, y)), QSize(width, size.height())));
  if (!completion_list_->isVisible()) completion_list_->show();
}

void QtEditPane::AcceptCompletion() {
  const int row = completion_list_ ? completion_list_->CurrentRow() : -1;
  if (row < 0 || row >= static_cast<int>(completion_items_.size())) {
    HideCompletion();
    return;
  }
  const CompletionItem item = completion_items_[static_cast<std::size_t>(row)];
  const int start = completion_start_;
  HideCompletion();
  QTextCursor cursor = textCursor();
  const int caret = cursor.position();
  if (start < 0 || start > caret) return;
  const QString typed = RawRange(start, caret);
  QString insert = FromUtf8(item.insert);
  // What was typed stays as typed: only the rest is added, in capitals
  // after a word typed in capitals.
  if (!insert.startsWith(typed, Qt::CaseInsensitive)) return;
  QString rest = insert.mid(typed.size());
  if (!typed.isEmpty() && typed == typed.toUpper() && typed != typed.toLower() &&
      item.caret_back == 0 && !item.reopen)
    rest = rest.toUpper();
  if (rest.isEmpty() || !AcceptInput(rest)) return;
  InsertUserText(rest);
  if (item.caret_back > 0) {
    cursor = textCursor();
    cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::MoveAnchor,
                        static_cast<int>(item.caret_back));
    setTextCursor(cursor);
    typing_end_ = cursor.position();
  }
  if (item.reopen) RefreshCompletion(true);
}

}  // namespace hemlo::text
