#include "shell/main_form.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolButton>
#include <cstdio>

#include "base/program_folder.h"
#include "base/version_store.h"
#include "shell/frame_rules.h"
#include "shell/mdi_child.h"
#include "shell/preview_width.h"

namespace hemlo {

namespace {
constexpr int kFrameWidth = 680;
constexpr int kFrameHeight = 440;
const char kCreditText[] = "Hemlo２ HTMLエディタ";
using C = FrameCommand;
}  // namespace

StatusPanels::StatusPanels(QWidget* parent) : QWidget(parent) {
  for (int i = 0; i < 3; ++i) {
    panels_[i] = new QLabel(this);
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panels_[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
    panels_[i]->setGeometry(50 * i, 0, 50, 20);
  }
  panels_[2]->setText(QString::fromUtf8(kCreditText));
  setMinimumHeight(20);
}

void StatusPanels::resizeEvent(QResizeEvent*) {
  // StatusBar1Resize: 200 | rest | 200.
  const auto widths = StatusPanelWidths(width());
  int x = 0;
  for (int i = 0; i < 3; ++i) {
    panels_[i]->setGeometry(x, 0, widths[i], height());
    x += widths[i];
  }
}

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent), qt_prompts_(this) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Hemlo２"));
  setMinimumSize(kFrameWidth, kFrameHeight);
  const EditorSettings settings = EditorSettings::Load(ProgramFolder() / "Editor.ini");
  SetVersionCap(settings.version_cap_mb * 1024 * 1024);
  frame_slot_ = std::make_unique<FrameSlot>(TemporaryFolder());
  std::vector<FrameRect> screens;
  for (QScreen* screen : QGuiApplication::screens()) {
    const QRect a = screen->availableGeometry();
    const FrameRect area{a.x(), a.y(), a.width(), a.height()};
    if (screen == QGuiApplication::primaryScreen())
      screens.insert(screens.begin(), area);
    else
      screens.push_back(area);
  }
  const FrameRect place =
      PlaceFrame(settings.frame, frame_slot_->number(), screens, {0, 0, kFrameWidth, kFrameHeight});
  setGeometry(place.x, place.y, place.width, place.height);
  if (settings.frame_maximised) setWindowState(Qt::WindowMaximized);

  mdi_ = new QMdiArea(this);
  mdi_->setObjectName(QStringLiteral("ClientArea"));
  mdi_->setBackground(palette().brush(QPalette::Dark));  // application-workspace colour
  setCentralWidget(mdi_);

  status_ = new StatusPanels(this);
  status_->setObjectName(QStringLiteral("StatusBar1"));
  statusBar()->addWidget(status_, 1);
  statusBar()->setSizeGripEnabled(true);

  BuildActions();
  BuildMenus();
  BuildToolBar();
  ConnectCommands();
  LoadHistory();  // FormCreate
  SetEditorSettings(settings);

  connect(mdi_, &QMdiArea::subWindowActivated, this, [this] {
    UpdateEditActions();
    ShowActiveCaret();
  });
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old_w, QWidget* now) {
    // Follow the selection of whichever plain edit control has the focus.
    if (auto* e = qobject_cast<QPlainTextEdit*>(old_w)) disconnect(e, nullptr, this, nullptr);
    if (auto* e = qobject_cast<QLineEdit*>(old_w)) disconnect(e, nullptr, this, nullptr);
    if (auto* e = qobject_cast<QPlainTextEdit*>(now))
      connect(e, &QPlainTextEdit::copyAvailable, this, [this] { UpdateEditActions(); });
    if (auto* e = qobject_cast<QLineEdit*>(now))
      connect(e, &QLineEdit::selectionChanged, this, [this] { UpdateEditActions(); });
    UpdateEditActions();
  });
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
          [this] { UpdateEditActions(); });
  UpdateEditActions();
}

TMainForm::~TMainForm() {
  // The base class closes the document windows after this body has run; the
  // activations and focus moves that causes must not reach a frame that is
  // half taken down.
  QObject::disconnect(mdi_, nullptr, this, nullptr);
  QObject::disconnect(qApp, nullptr, this, nullptr);
}

void TMainForm::ConnectCommands() {
  auto on = [this](FrameCommand c, auto receiver) {
    connect(action(c), &QAction::triggered, this, receiver);
  };
  on(C::FileNew, &TMainForm::FileNew1Execute);
  on(C::FileOpen, &TMainForm::FileOpen1Execute);
  on(C::FileClose, &TMainForm::FileCloseItemClick);
  on(C::FileSave, &TMainForm::FileSaveItemClick);
  on(C::FileSaveAs, &TMainForm::FileSaveAsItemClick);
  on(C::FileSavePublish, &TMainForm::FileSavePublishClick);
  on(C::Print, &TMainForm::mnuPrintClick);
  on(C::Exit, &TMainForm::FileExit1Execute);
  on(C::Undo, &TMainForm::Undo1Click);
  on(C::Redo, &TMainForm::Redo1Click);
  on(C::ConvertEncoding, &TMainForm::ConvertEncodingClick);
  auto toggle = [this](bool EditorSettings::*field) {
    return [this, field](bool on) {
      EditorSettings s = editor_settings_;
      s.*field = on;
      SetEditorSettings(s);
      if (const WriteResult saved = s.Save(ProgramFolder() / "Editor.ini"); !saved)
        status_->SetText(0, QString::fromStdString("Editor.ini: " + saved.error));
    };
  };
  connect(action(C::Highlighting), &QAction::triggered, this,
          toggle(&EditorSettings::highlighting));
  connect(action(C::LineNumbers), &QAction::triggered, this, toggle(&EditorSettings::line_numbers));
  connect(action(C::LivePreview), &QAction::triggered, this, toggle(&EditorSettings::live_preview));
  connect(action(C::WebPhotos), &QAction::triggered, this, toggle(&EditorSettings::web_photos));
  connect(action(C::MarkupMarks), &QAction::triggered, this, toggle(&EditorSettings::markup_marks));
  for (const auto& [command, width] : {std::pair{C::PreviewPhone, kPreviewPhone},
                                       std::pair{C::PreviewTablet, kPreviewTablet},
                                       std::pair{C::PreviewPc, kPreviewPc}})
    on(command, [this, width] {
      EditorSettings s = editor_settings_;
      s.preview_width = width;
      SetEditorSettings(s);
      if (const WriteResult saved = s.Save(ProgramFolder() / "Editor.ini"); !saved)
        status_->SetText(0, QString::fromStdString("Editor.ini: " + saved.error));
    });
  on(C::MatchingTag, [this] {
    if (TMDIChild* c = ActiveChild(); c && !c->Memo()->JumpToMatchingTag())
      status_->SetText(0, QStringLiteral("対応するタグがありません"));
  });
  connect(action(C::ClosingTags), &QAction::triggered, this, toggle(&EditorSettings::closing_tags));
  connect(action(C::Abbreviations), &QAction::triggered, this,
          toggle(&EditorSettings::abbreviations));
  connect(action(C::Completion), &QAction::triggered, this, toggle(&EditorSettings::completion));
  connect(action(C::MatchingTags), &QAction::triggered, this,
          toggle(&EditorSettings::matching_tags));
  on(C::SelectAll, &TMainForm::mnuSelectAllClick);
  on(C::Font, &TMainForm::N43Click);
  on(C::TabWidth, &TMainForm::mnuTabClick);
  on(C::WebMaximise, [this] { mnuWebMAXClick(true); });
  on(C::WebRestore, [this] { mnuWebMAXClick(false); });
  on(C::Transfer, &TMainForm::mnuFTPClick);
  on(C::Help, &TMainForm::mnuHelpClick);
  on(C::Go, &TMainForm::ToolButton16Click);
  for (int i = 0; i < History::kSlots; ++i)
    connect(history_action(i), &QAction::triggered, this, [this, i] { mnuFavoritClick(i); });
  connect(preview_button_, &QToolButton::clicked, this, &TMainForm::Image1Click);
  // Second entry points to the same command.
  connect(action(C::FileOpenItem), &QAction::triggered, action(C::FileOpen), &QAction::trigger);
  // The menu shows Ctrl+O; the toolbar's action answers it everywhere else.
  action(C::FileOpenItem)->setShortcut(action(C::FileOpen)->shortcut());
  action(C::FileOpenItem)->setShortcutContext(Qt::WidgetShortcut);
  connect(action(C::ToolClose), &QAction::triggered, action(C::FileClose), &QAction::trigger);
  connect(action(C::ToolPrint), &QAction::triggered, action(C::Print), &QAction::trigger);
  connect(action(C::ToolSave), &QAction::triggered, action(C::FileSave), &QAction::trigger);

  // The edit commands act on whichever plain edit control has the focus.
  const auto on_focused_edit = [&](C command, auto in_pane, auto in_line) {
    on(command, [in_pane, in_line] {
      QWidget* w = QApplication::focusWidget();
      if (auto* e = qobject_cast<QPlainTextEdit*>(w))
        (e->*in_pane)();
      else if (auto* l = qobject_cast<QLineEdit*>(w))
        (l->*in_line)();
    });
  };
  on_focused_edit(C::EditCut, &QPlainTextEdit::cut, &QLineEdit::cut);
  on_focused_edit(C::EditCopy, &QPlainTextEdit::copy, &QLineEdit::copy);
  on_focused_edit(C::EditPaste, &QPlainTextEdit::paste, &QLineEdit::paste);

  on(C::WindowCascade, [this] { mdi_->cascadeSubWindows(); });
  on(C::WindowTileHorizontal, [this] { TileWindows(Qt::Vertical); });
  on(C::WindowTileVertical, [this] { TileWindows(Qt::Horizontal); });
  on(C::WindowMinimizeAll, [this] {
    for (auto* w : mdi_->subWindowList()) w->showMinimized();
  });
  on(C::WindowArrangeAll, &TMainForm::ArrangeMinimisedWindows);
}

void TMainForm::TileWindows(Qt::Orientation orientation) {
  // Vertical: one above another, full width, equal heights; Horizontal: side by side.
  const auto windows = mdi_->subWindowList();
  if (windows.isEmpty()) return;
  const int n = static_cast<int>(windows.size());
  const int width = mdi_->viewport()->width();
  const int height = mdi_->viewport()->height();
  int pos = 0;
  for (auto* w : windows) {
    w->showNormal();
    if (orientation == Qt::Vertical) {
      w->setGeometry(0, pos, width, height / n);
      pos += height / n;
    } else {
      w->setGeometry(pos, 0, width / n, height);
      pos += width / n;
    }
  }
}

void TMainForm::ArrangeMinimisedWindows() {
  // Line the minimised windows up in rows from the bottom edge upwards,
  // each row as wide as the client area allows.
  const int width = mdi_->viewport()->width();
  int x = 0;
  int y = mdi_->viewport()->height();
  int row_height = 0;
  for (auto* w : mdi_->subWindowList()) {
    if (!w->isMinimized()) continue;
    const QSize s = w->size();
    if (x > 0 && x + s.width() > width) {
      x = 0;
      y -= row_height;
      row_height = 0;
    }
    row_height = qMax(row_height, s.height());
    w->move(x, y - s.height());
    x += s.width();
  }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == toolbar_ && event->type() == QEvent::Resize) {
    // ToolBar2Resize
    cmbURL_->setFixedWidth(UrlBoxWidth(toolbar_->width()));
  }
  if ((watched == cmbURL_ || watched == cmbURL_->lineEdit()) && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {  // cmbURLKeyDown
      ToolButton16Click();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    // Long hints go to panel 0, never over the whole bar.
    status_->SetText(0, static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  return QMainWindow::event(event);
}

void TMainForm::UpdateEditActions() {
  QWidget* w = QApplication::focusWidget();
  bool has_selection = false;
  if (auto* e = qobject_cast<QPlainTextEdit*>(w)) {
    has_selection = e->textCursor().hasSelection();
  } else if (auto* l = qobject_cast<QLineEdit*>(w); l && l != cmbURL_->lineEdit()) {
    has_selection = l->hasSelectedText();
  }
  const bool editable =
      qobject_cast<QPlainTextEdit*>(w) || (qobject_cast<QLineEdit*>(w) && w != cmbURL_->lineEdit());
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  action(C::EditCut)->setEnabled(has_selection);
  action(C::EditCopy)->setEnabled(has_selection);
  action(C::EditPaste)->setEnabled(editable && mime && mime->hasText());
  const bool any = !mdi_->subWindowList().isEmpty();
  for (FrameCommand c : {C::WindowCascade, C::WindowTileHorizontal, C::WindowTileVertical,
                         C::WindowMinimizeAll, C::WindowArrangeAll})
    action(c)->setEnabled(any);
}

void TMainForm::ShowActiveCaret() {
  if (TMDIChild* child = ActiveChild()) {
    child->ShowCaretPosition();
    return;
  }
  status_->SetText(1, QString());
  status_->SetText(2, QString::fromUtf8(kCreditText));
}

TMDIChild* TMainForm::ActiveChild() const {
  QMdiSubWindow* sub = mdi_->activeSubWindow();
  if (!sub) sub = mdi_->currentSubWindow();
  if (!sub) {
    const auto list = mdi_->subWindowList(QMdiArea::ActivationHistoryOrder);
    if (!list.isEmpty()) sub = list.last();
  }
  return sub ? qobject_cast<TMDIChild*>(sub->widget()) : nullptr;
}

QList<TMDIChild*> TMainForm::Children() const {
  QList<TMDIChild*> out;
  for (auto* s : mdi_->subWindowList())
    if (auto* c = qobject_cast<TMDIChild*>(s->widget())) out << c;
  return out;
}

TMDIChild* TMainForm::CreateChild() {
  auto* child = new TMDIChild(this);
  child->ApplyEditorSettings(editor_settings_);
  child->SetEditPaneShare(editor_settings_.edit_pane_share);
  // Kept for the next windows and, at exit, in Editor.ini.
  connect(child, &TMDIChild::editPaneShareChanged, this,
          [this](int share) { editor_settings_.edit_pane_share = share; });
  QMdiSubWindow* sub = mdi_->addSubWindow(child);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  // Cascade each new window from the last one.
  const auto list = mdi_->subWindowList();
  const int n = static_cast<int>(list.size()) - 1;
  const int step = 24;
  sub->resize(qMax(320, mdi_->viewport()->width() * 3 / 4),
              qMax(240, mdi_->viewport()->height() * 3 / 4));
  sub->move((n * step) % qMax(step, mdi_->viewport()->width() / 2),
            (n * step) % qMax(step, mdi_->viewport()->height() / 2));
  connect(child, &TMDIChild::captionChanged, this, [this] { UpdateWindowMenu(); });
  // FormDestroy: only a preview file this program wrote for the window goes.
  connect(child, &TMDIChild::destroying, this, [this, child](const QString& caption) {
    shell::DocumentWindowDestroyed(preview_state_, caption.toStdString(), child);
  });
  connect(sub, &QObject::destroyed, this, [this] {
    QMetaObject::invokeMethod(
        this,
        [this] {
          UpdateEditActions();
          ShowActiveCaret();
        },
        Qt::QueuedConnection);
  });
  sub->show();
  mdi_->setActiveSubWindow(sub);
  UpdateEditActions();
  emit childCreated(child);
  return child;
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // Every document window is asked first; one refusal cancels the exit.
  for (TMDIChild* child : Children()) {
    if (!child->FormCloseQuery()) {
      event->ignore();
      return;
    }
  }
  FormClose();
  // Destroy the windows now so each removes its preview file.
  for (auto* s : mdi_->subWindowList()) {
    s->setAttribute(Qt::WA_DeleteOnClose, false);
    delete s;
  }
  event->accept();
}

void TMainForm::SaveFramePlace() {
  const QRect g = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
  editor_settings_.frame = FrameRect{g.x(), g.y(), g.width(), g.height()};
  editor_settings_.frame_maximised = isMaximized();
  // Nobody to tell while the frame goes: the session's log hears of it.
  if (const WriteResult saved = editor_settings_.Save(ProgramFolder() / "Editor.ini"); !saved)
    std::fprintf(stderr, "hemlo2: Editor.ini: %s\n", saved.error.c_str());
}

void TMainForm::FormClose() {
  SaveFramePlace();
  SaveHistory();
  std::error_code ec;
  std::filesystem::remove(TableTestFile(), ec);
  emit closing();
}

}  // namespace hemlo
