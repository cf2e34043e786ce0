#include "shell/main_form.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolButton>
#include <QUrl>
#include <cstring>

#include "authoring/menu_items.h"
#include "base/program_folder.h"
#include "text/cp932.h"
#include "shell/about_box.h"
#include "shell/frame_rules.h"
#include "shell/mdi_child.h"
#include "shell/print_job.h"

namespace hemlo {

namespace {
constexpr int kFrameWidth = 680;
constexpr int kFrameHeight = 440;
constexpr int kUrlBoxMargin = 375;
const char kDefaultStartAddress[] = "https://www.google.co.jp/";
const char kCreditText[] = "Hemlo２ HTMLエディタ";

QIcon ThemeIcon(const char* name) { return QIcon::fromTheme(QString::fromLatin1(name)); }

// "short|long" hint: tooltip gets the short part, the status panel the long one.
void SetHint(QAction* action, const QString& hint) {
  const int bar = hint.indexOf('|');
  const QString short_part = bar < 0 ? hint : hint.left(bar);
  const QString long_part = bar < 0 ? hint : hint.mid(bar + 1);
  action->setToolTip(short_part);
  action->setStatusTip(long_part);
}
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
  resize(kFrameWidth, kFrameHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(kFrameWidth / 2, kFrameHeight / 2));
  }

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
  LoadHistory();  // FormCreate

  connect(mdi_, &QMdiArea::subWindowActivated, this, [this] { UpdateEditActions(); });
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

TMainForm::~TMainForm() = default;

QAction* TMainForm::action(const QString& objectName) const { return actions_.value(objectName); }
QMenu* TMainForm::menu(const QString& objectName) const { return menus_.value(objectName); }

void TMainForm::SetHandler(const QString& objectName, std::function<void()> handler) {
  handlers_[objectName] = std::move(handler);
}

QAction* TMainForm::AddItem(QMenu* menu, const QString& name, const QString& caption,
                            const QKeySequence& shortcut) {
  auto* a = menu->addAction(caption);
  a->setObjectName(name);
  if (!shortcut.isEmpty()) a->setShortcut(shortcut);
  actions_[name] = a;
  // Handlers are looked up at trigger time, so later features can attach them.
  connect(a, &QAction::triggered, this, [this, name] {
    auto it = handlers_.find(name);
    if (it != handlers_.end() && *it) (*it)();
  });
  return a;
}

void TMainForm::BuildActions() {
  struct Def {
    const char* name;
    const char* caption;
    const char* hint;
    QKeySequence key;
    const char* icon;
  };
  const Def defs[] = {
      {"FileNew1", "新規作成(&N)", "新規作成|新しいファイルを作成", QKeySequence(Qt::CTRL | Qt::Key_N), "document-new"},
      {"FileOpen1", "開く(&O)", "開く|ファイルを開く", QKeySequence(Qt::CTRL | Qt::Key_O), "document-open"},
      {"EditCut1", "切り取り(&T)", "切り取り|選択部分を切り取り、クリップボードに送る", QKeySequence(Qt::CTRL | Qt::Key_X), "edit-cut"},
      {"EditCopy1", "コピー(&C)", "コピー|選択範囲をクリップボードにコピー", QKeySequence(Qt::CTRL | Qt::Key_C), "edit-copy"},
      {"EditPaste1", "貼り付け(&P)", "貼り付け|クリップボードの内容を貼り付ける", QKeySequence(Qt::CTRL | Qt::Key_V), "edit-paste"},
      {"WindowCascade1", "重ねて表示(&C)", "重ねて表示", {}, "focus-windows-symbolic"},
      {"WindowTileHorizontal1", "上下に並べて表示(&H)", "上下に並べて表示", {}, "view-continuous-symbolic"},
      {"WindowTileVertical1", "左右に並べて表示(&V)", "左右に並べて表示", {}, "view-dual-symbolic"},
      {"WindowMinimizeAll1", "すべてを最小化(&M)", "最小化|すべてを最小化(&M)", {}, nullptr},
      {"WindowArrangeAll1", "すべて整列(&A)", "すべて整列", {}, nullptr},
      {"HelpAbout1", "バージョン情報(&A)...", "バージョン情報|プログラムの情報，バージョン番号，および著作権を表示します", {}, "help-about"},
  };
  for (const Def& d : defs) {
    auto* a = new QAction(QString::fromUtf8(d.caption), this);
    a->setObjectName(QString::fromLatin1(d.name));
    SetHint(a, QString::fromUtf8(d.hint));
    if (!d.key.isEmpty()) a->setShortcut(d.key);
    if (d.icon) a->setIcon(ThemeIcon(d.icon));
    actions_[a->objectName()] = a;
    const QString name = a->objectName();
    connect(a, &QAction::triggered, this, [this, name] {
      auto it = handlers_.find(name);
      if (it != handlers_.end() && *it) (*it)();
    });
  }
  // The window actions' long hints equal their short ones.
  action("WindowMinimizeAll1")->setStatusTip(QStringLiteral("最小化"));

  SetHandler("EditCut1", [] {
    QWidget* w = QApplication::focusWidget();
    if (auto* e = qobject_cast<QPlainTextEdit*>(w)) e->cut();
    else if (auto* l = qobject_cast<QLineEdit*>(w)) l->cut();
  });
  SetHandler("EditCopy1", [] {
    QWidget* w = QApplication::focusWidget();
    if (auto* e = qobject_cast<QPlainTextEdit*>(w)) e->copy();
    else if (auto* l = qobject_cast<QLineEdit*>(w)) l->copy();
  });
  SetHandler("EditPaste1", [] {
    QWidget* w = QApplication::focusWidget();
    if (auto* e = qobject_cast<QPlainTextEdit*>(w)) e->paste();
    else if (auto* l = qobject_cast<QLineEdit*>(w)) l->paste();
  });
  SetHandler("WindowCascade1", [this] { mdi_->cascadeSubWindows(); });
  SetHandler("WindowTileHorizontal1", [this] {
    // One above another: full width, equal heights.
    const auto windows = mdi_->subWindowList();
    if (windows.isEmpty()) return;
    const int h = mdi_->viewport()->height() / static_cast<int>(windows.size());
    int y = 0;
    for (auto* w : windows) {
      w->showNormal();
      w->setGeometry(0, y, mdi_->viewport()->width(), h);
      y += h;
    }
  });
  SetHandler("WindowTileVertical1", [this] {
    const auto windows = mdi_->subWindowList();
    if (windows.isEmpty()) return;
    const int w = mdi_->viewport()->width() / static_cast<int>(windows.size());
    int x = 0;
    for (auto* s : windows) {
      s->showNormal();
      s->setGeometry(x, 0, w, mdi_->viewport()->height());
      x += w;
    }
  });
  SetHandler("WindowMinimizeAll1", [this] {
    for (auto* w : mdi_->subWindowList()) w->showMinimized();
  });
  SetHandler("WindowArrangeAll1", [this] {
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
  });
  SetHandler("HelpAbout1", [this] { HelpAbout1Execute(); });
}

void TMainForm::BuildMenus() {
  QMenuBar* bar = menuBar();
  auto top = [&](const char* name, const char* caption, const char* hint = nullptr) {
    QMenu* m = bar->addMenu(QString::fromUtf8(caption));
    m->setObjectName(QString::fromLatin1(name));
    m->setSeparatorsCollapsible(false);
    m->setToolTipsVisible(true);  // short hints as tooltips
    m->menuAction()->setObjectName(QString::fromLatin1(name));
    if (hint) m->menuAction()->setStatusTip(QString::fromUtf8(hint));
    menus_[m->objectName()] = m;
    return m;
  };
  auto sub = [&](QMenu* parent, const char* name, const char* caption) {
    QMenu* m = parent->addMenu(QString::fromUtf8(caption));
    m->setObjectName(QString::fromLatin1(name));
    m->setSeparatorsCollapsible(false);
    m->setToolTipsVisible(true);
    menus_[m->objectName()] = m;
    return m;
  };
  auto item = [&](QMenu* m, const char* name, const char* caption, QKeySequence key = {}) {
    return AddItem(m, QString::fromLatin1(name), QString::fromUtf8(caption), key);
  };

  QMenu* file = top("File1", "ファイル(&F)", "ファイル関連のコマンド");
  item(file, "HTML1", "基本形HTML");
  file->addSeparator();
  file->addAction(action("FileNew1"));
  actions_["FileNewItem"] = action("FileNew1");
  QAction* open = item(file, "FileOpenItem", "開く(&O)...", action("FileOpen1")->shortcut());
  // The menu shows Ctrl+O; the toolbar's action answers it everywhere else.
  open->setShortcutContext(Qt::WidgetShortcut);
  SetHint(open, action("FileOpen1")->toolTip() + "|" + action("FileOpen1")->statusTip());
  connect(open, &QAction::triggered, action("FileOpen1"), &QAction::trigger);
  SetHint(item(file, "FileCloseItem", "閉じる"), QStringLiteral("閉じる|現在のファイルを閉じる"));
  SetHint(item(file, "FileSaveItem", "上書き保存(&S)", QKeySequence(Qt::CTRL | Qt::Key_S)),
          QStringLiteral("上書き保存|現在のファイルを保存"));
  SetHint(item(file, "FileSaveAsItem", "名前を付けて保存..."),
          QStringLiteral("名前を付けて保存|現在のファイルを別名で保存"));
  file->addSeparator();
  for (int i = 1; i <= 7; ++i) {
    const QString name = i == 1 ? QStringLiteral("mnuFavorit") : QStringLiteral("mnuFavorit%1").arg(i);
    AddItem(file, name, QString());
  }
  file->addSeparator();
  item(file, "mnuPrint", "印刷");
  file->addSeparator();
  SetHint(item(file, "FileExitItem", "Hemlo2の終了"), QStringLiteral("終了|アプリケーションを終了"));

  QMenu* edit = top("Edit1", "編集", "編集コマンド");
  item(edit, "Undo1", "元に戻す");
  edit->addSeparator();
  edit->addAction(action("EditCut1"));
  edit->addAction(action("EditCopy1"));
  edit->addAction(action("EditPaste1"));
  actions_["CutItem"] = action("EditCut1");
  actions_["CopyItem"] = action("EditCopy1");
  actions_["PasteItem"] = action("EditPaste1");
  item(edit, "Find1", "検索･置換...", QKeySequence(Qt::CTRL | Qt::Key_F));
  item(edit, "N18", "次を検索", QKeySequence(Qt::Key_F3));
  item(edit, "N47", "ジャンプ");
  item(edit, "mnuSelectAll", "すべてを選択");
  edit->addSeparator();
  item(edit, "N44", "半角カナを全角カナに");
  edit->addSeparator();
  item(edit, "mnuComment", "コメント化");
  item(edit, "mnuDelTag", "タグ消去");

  // The authoring menus come from one table of the authoring core.
  const std::pair<const char*, const char*> top_names[] = {
      {"文字", "N4"}, {"書式", "N51"}, {"挿入", "N13"}, {"段落", "N12"}, {"表", "N20"}, {"加工", "N32"}};
  const std::pair<const char*, const char*> sub_names[] = {
      {"配置（div）", "N52"}, {"配置（align）", "N53"}, {"ｽﾀｲﾙｼｰﾄ", "N33"}, {"javascript", "java1"}, {"ﾌｫｰﾑ", "N34"}};
  auto name_of = [](const auto& table, const char* caption) {
    for (const auto& [c, n] : table)
      if (std::strcmp(c, caption) == 0) return n;
    return caption;
  };
  QHash<QString, QMenu*> by_caption;
  for (const authoring::AuthoringMenuItem& it : authoring::AuthoringMenuItems()) {
    const QString menu_caption = QString::fromUtf8(it.menu);
    if (it.handler == authoring::Handler::mnuColorSetClick) {
      // 色... is a command on the menu bar itself.
      QAction* color = bar->addAction(QString::fromUtf8(it.caption));
      color->setObjectName(QStringLiteral("mnuColorSet"));
      color->setData(it.tag);
      actions_["mnuColorSet"] = color;
      connect(color, &QAction::triggered, this, [this] {
        auto h = handlers_.find(QStringLiteral("mnuColorSet"));
        if (h != handlers_.end() && *h) (*h)();
      });
      continue;
    }
    QMenu* m = by_caption.value(menu_caption);
    if (!m) by_caption[menu_caption] = m = top(name_of(top_names, it.menu), it.menu);
    if (*it.submenu) {
      const QString key = menu_caption + "/" + QString::fromUtf8(it.submenu);
      QMenu* s = by_caption.value(key);
      if (!s) by_caption[key] = s = sub(m, name_of(sub_names, it.submenu), it.submenu);
      m = s;
    }
    if (std::strcmp(it.caption, authoring::kSeparator) == 0) {
      m->addSeparator();
      continue;
    }
    const QString name = QStringLiteral("%1_%2").arg(QString::fromLatin1(authoring::HandlerName(it.handler))).arg(it.tag);
    QAction* a = AddItem(m, name, QString::fromUtf8(it.caption));
    a->setData(it.tag);
  }

  QMenu* env = top("N37", "環境設定");
  QMenu* editor = sub(env, "N19", "ｴﾃﾞｨﾀﾍﾟｲﾝ環境");
  item(editor, "N43", "文字");
  item(editor, "mnuTab", "タブ幅設定");
  QMenu* web = sub(env, "WEB1", "Webﾍﾟｲﾝ表示");
  item(web, "mnuWebMAX", "最大化");
  item(web, "mnuWebUndo", "元に戻す");
  env->addSeparator();
  item(env, "mnuFTP", "ﾌｧｲﾙ転送");

  // お気に入り is a command on the menu bar itself.
  QAction* fav = bar->addAction(QStringLiteral("お気に入り"));
  fav->setObjectName(QStringLiteral("mnuFavorite"));
  actions_["mnuFavorite"] = fav;
  connect(fav, &QAction::triggered, this, [this] {
    auto it = handlers_.find(QStringLiteral("mnuFavorite"));
    if (it != handlers_.end() && *it) (*it)();
  });

  window_menu_ = top("Window1", "ウィンドウ", "ウィンドウ関連のコマンド");
  connect(window_menu_, &QMenu::aboutToShow, this, [this] { UpdateWindowMenu(); });
  UpdateWindowMenu();

  QMenu* help = top("Help1", "ヘルプ", "ヘルプトピック");
  item(help, "mnuHelp", "使用方法");
  help->addAction(action("HelpAbout1"));
  action("HelpAbout1")->setText(QStringLiteral("バージョン情報"));
  actions_["HelpAboutItem"] = action("HelpAbout1");

  SetHandler("FileNew1", [this] { FileNew1Execute(); });
  SetHandler("FileOpen1", [this] { FileOpen1Execute(); });
  SetHandler("FileCloseItem", [this] { FileCloseItemClick(); });
  SetHandler("FileSaveItem", [this] { FileSaveItemClick(); });
  SetHandler("FileSaveAsItem", [this] { FileSaveAsItemClick(); });
  for (int i = 0; i < History::kSlots; ++i)
    SetHandler(i == 0 ? QStringLiteral("mnuFavorit") : QStringLiteral("mnuFavorit%1").arg(i + 1),
               [this, i] { mnuFavoritClick(i); });
  SetHandler("Undo1", [this] { Undo1Click(); });
  SetHandler("mnuSelectAll", [this] { mnuSelectAllClick(); });
  SetHandler("N43", [this] { N43Click(); });
  SetHandler("mnuTab", [this] { mnuTabClick(); });
  SetHandler("mnuPrint", [this] { mnuPrintClick(); });
  SetHandler("mnuHelp", [this] { mnuHelpClick(); });
  SetHandler("FileExitItem", [this] { FileExit1Execute(); });
  SetHandler("mnuFTP", [this] { mnuFTPClick(); });
  SetHandler("Image1Click", [this] { Image1Click(); });
  SetHandler("mnuWebMAX", [this] { mnuWebMAXClick(true); });
  SetHandler("mnuWebUndo", [this] { mnuWebMAXClick(false); });
}

void TMainForm::UpdateWindowMenu() {
  window_menu_->clear();
  const char* names[][2] = {{"WindowCascadeItem", "WindowCascade1"},
                            {"WindowTileItem", "WindowTileHorizontal1"},
                            {"WindowTileItem2", "WindowTileVertical1"},
                            {"WindowMinimizeItem", "WindowMinimizeAll1"},
                            {"WindowArrangeItem", "WindowArrangeAll1"}};
  for (auto& n : names) {
    window_menu_->addAction(action(QString::fromLatin1(n[1])));
    actions_[QString::fromLatin1(n[0])] = action(QString::fromLatin1(n[1]));
  }
  const auto windows = mdi_->subWindowList();
  if (windows.isEmpty()) return;
  window_menu_->addSeparator();
  int i = 1;
  for (QMdiSubWindow* w : windows) {
    const QString title = w->widget() ? w->widget()->windowTitle() : QString();
    QAction* a = window_menu_->addAction(QStringLiteral("&%1 %2").arg(i++).arg(title));
    a->setCheckable(true);
    a->setChecked(w == mdi_->activeSubWindow());
    connect(a, &QAction::triggered, this, [this, w] { mdi_->setActiveSubWindow(w); });
  }
}

void TMainForm::BuildToolBar() {
  toolbar_ = addToolBar(QStringLiteral("ToolBar2"));
  toolbar_->setObjectName(QStringLiteral("ToolBar2"));
  toolbar_->setMovable(false);
  toolbar_->setFixedHeight(30);
  toolbar_->setIconSize(QSize(16, 16));
  toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  toolbar_->layout()->setSpacing(0);
  toolbar_->layout()->setContentsMargins(0, 0, 0, 0);
  QPalette pal = toolbar_->palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Active, QPalette::Highlight));
  toolbar_->setAutoFillBackground(true);
  toolbar_->setPalette(pal);

  auto button = [&](const char* name, QAction* a) {
    toolbar_->addAction(a);
    if (auto* w = toolbar_->widgetForAction(a)) {
      w->setObjectName(QString::fromLatin1(name));
      w->setFixedSize(23, 22);  // everything but the address box fits in 375 pixels
    }
  };
  auto* close = new QAction(ThemeIcon("window-close"), QStringLiteral("閉じる"), this);
  close->setObjectName(QStringLiteral("ToolButton13Action"));
  SetHint(close, QStringLiteral("閉じる|現在のﾍﾟｰｼﾞを閉じる"));
  connect(close, &QAction::triggered, action("FileCloseItem"), &QAction::trigger);
  button("ToolButton13", close);
  button("ToolButton9", action("FileNew1"));
  auto* print = new QAction(ThemeIcon("document-print"), QString(), this);
  print->setToolTip(QString());
  connect(print, &QAction::triggered, action("mnuPrint"), &QAction::trigger);
  button("ToolButton14", print);
  button("ToolButton1", action("FileOpen1"));
  auto* save = new QAction(ThemeIcon("document-save"), QStringLiteral("上書き保存"), this);
  SetHint(save, QStringLiteral("上書き保存|現在のファイルを保存"));
  connect(save, &QAction::triggered, action("FileSaveItem"), &QAction::trigger);
  button("ToolButton2", save);
  toolbar_->addSeparator();
  button("ToolButton4", action("EditCut1"));
  button("ToolButton5", action("EditCopy1"));
  button("ToolButton6", action("EditPaste1"));
  toolbar_->addSeparator();
  button("ToolButton8", action("WindowCascade1"));
  button("ToolButton10", action("WindowTileHorizontal1"));
  button("ToolButton11", action("WindowTileVertical1"));
  toolbar_->addSeparator();

  auto* preview = new QToolButton(toolbar_);
  preview->setObjectName(QStringLiteral("Image2"));
  preview->setFixedSize(53, 22);
  preview->setText(QStringLiteral("ﾌﾟﾚﾋﾞｭｰ"));
  preview->setToolButtonStyle(Qt::ToolButtonTextOnly);
  preview->setCursor(Qt::PointingHandCursor);
  preview->setToolTip(QString());
  preview->setStatusTip(QStringLiteral("ｴﾃﾞｨｯﾄﾍﾟｲﾝをWebﾍﾟｲﾝに表示"));
  preview->setAutoRaise(true);
  connect(preview, &QToolButton::clicked, this, [this] {
    auto it = handlers_.find(QStringLiteral("Image1Click"));
    if (it != handlers_.end() && *it) (*it)();
  });
  toolbar_->addWidget(preview);
  toolbar_->addSeparator();

  cmbURL_ = new QComboBox(toolbar_);
  cmbURL_->setObjectName(QStringLiteral("cmbURL"));
  cmbURL_->setEditable(true);
  cmbURL_->setInsertPolicy(QComboBox::NoInsert);
  QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
  f.setPixelSize(12);
  cmbURL_->setFont(f);
  cmbURL_->addItem(QString::fromLatin1(kDefaultStartAddress));
  cmbURL_->setCurrentIndex(0);
  cmbURL_->installEventFilter(this);
  cmbURL_->lineEdit()->installEventFilter(this);
  toolbar_->addWidget(cmbURL_);

  auto* go = new QAction(ThemeIcon("go-jump"), QString(), this);
  go->setObjectName(QStringLiteral("ToolButton16Action"));
  connect(go, &QAction::triggered, this, [this] { ToolButton16Click(); });
  button("ToolButton16", go);

  toolbar_->installEventFilter(this);
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
  const bool editable = qobject_cast<QPlainTextEdit*>(w) ||
                        (qobject_cast<QLineEdit*>(w) && w != cmbURL_->lineEdit());
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  action("EditCut1")->setEnabled(has_selection);
  action("EditCopy1")->setEnabled(has_selection);
  action("EditPaste1")->setEnabled(editable && mime && mime->hasText());
  const bool any = !mdi_->subWindowList().isEmpty();
  for (const char* n : {"WindowCascade1", "WindowTileHorizontal1", "WindowTileVertical1",
                        "WindowMinimizeAll1", "WindowArrangeAll1"})
    action(QString::fromLatin1(n))->setEnabled(any);
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
  QMdiSubWindow* sub = mdi_->addSubWindow(child);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  // Cascade each new window from the last one.
  const auto list = mdi_->subWindowList();
  const int n = static_cast<int>(list.size()) - 1;
  const int step = 24;
  sub->resize(qMax(320, mdi_->viewport()->width() * 3 / 4), qMax(240, mdi_->viewport()->height() * 3 / 4));
  sub->move((n * step) % qMax(step, mdi_->viewport()->width() / 2),
            (n * step) % qMax(step, mdi_->viewport()->height() / 2));
  connect(child, &TMDIChild::captionChanged, this, [this] { UpdateWindowMenu(); });
  // FormDestroy: only a preview file this program wrote for the window goes.
  child->on_destroy = [this, child](const QString& caption) {
    shell::DocumentWindowDestroyed(preview_state_, caption.toStdString(), child);
  };
  connect(sub, &QObject::destroyed, this, [this] { QMetaObject::invokeMethod(this, [this] { UpdateEditActions(); }, Qt::QueuedConnection); });
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
  for (auto& form : forms_)
    if (form) form->close();
}

void TMainForm::FormClose() {
  SaveHistory();
  auto it = handlers_.find(QStringLiteral("FormClose"));
  if (it != handlers_.end() && *it) (*it)();
  std::error_code ec;
  std::filesystem::remove(ProgramFolder() / "TABLEFILE.$$$", ec);
}

void TMainForm::OpenUrl(const QString& address) {
  if (address.isEmpty()) return;
  TMDIChild* child = ActiveChild();
  if (!child) child = CreateChild();
  const QFileInfo file(address);
  QString target = address;
  switch (KindOfAddressText(address.toStdString(), file.exists())) {
    case AddressKind::AsTyped: break;
    case AddressKind::LocalFile: target = QUrl::fromLocalFile(file.absoluteFilePath()).toString(); break;
    case AddressKind::Web: target = QStringLiteral("http://") + address; break;
  }
  // An address even the engine refuses leaves the window and its edits alone.
  if (!child->WebBrowser1->Navigate(target))
    status_->SetText(0, QStringLiteral("アドレス %1 を開けません。").arg(address));
}

void TMainForm::Image1Click() {
  TMDIChild* child = ActiveChild();
  std::string caption = child ? child->Caption().toStdString() : std::string();
  shell::PreviewContext context;
  context.pane = child ? child->Memo1 : nullptr;
  context.caption = &caption;
  context.owner = child;
  context.prompts = &prompts();
  context.state = &preview_state_;
  context.save_dialog = DocumentDialog("名前を付けて保存");
  context.navigate = [child](const std::string& url) {
    child->WebBrowser1->Navigate(QString::fromStdString(url));
  };
  const shell::PreviewResult result = shell::Image1Click(context);
  if (child && result.caption_changed) child->SetCaption(QString::fromStdString(caption));
  if (!result.status.empty()) status_->SetText(0, QString::fromStdString(result.status));
}

void TMainForm::mnuWebMAXClick(bool maximise) {
  TMDIChild* child = ActiveChild();
  if (!child) return;
  child->SetMemoHeight(shell::EditPaneHeightFor(maximise ? shell::WebPaneSize::Maximise
                                                         : shell::WebPaneSize::Restore));
}

void TMainForm::ToolButton16Click() { OpenUrl(cmbURL_->currentText()); }

void TMainForm::Undo1Click() {
  if (TMDIChild* c = ActiveChild()) c->Memo1->undo();
}

void TMainForm::mnuSelectAllClick() {
  if (TMDIChild* c = ActiveChild()) c->Memo1->selectAll();
}

void TMainForm::N43Click() {
  TMDIChild* c = ActiveChild();
  if (!c) return;
  bool ok = false;
  QFont font = QFontDialog::getFont(&ok, c->Memo1->font(), this, QStringLiteral("フォント"));
  if (ok) c->Memo1->setFont(font);
  c->Memo1->setFocus();
}

void TMainForm::mnuTabClick() {
  TMDIChild* c = ActiveChild();
  if (!c) return;
  auto answer = prompts().Input("タブ幅変更", "タブ幅を指定してください", std::to_string(TabWidth));
  if (!answer || answer->empty()) return;
  auto width = ParseTabWidth(*answer);
  if (!width) {
    prompts().Error("'" + *answer + "' は整数ではありません");
    return;
  }
  TabWidth = *width;
  c->SetTabWidth(TabWidth);
}

void TMainForm::mnuPrintClick() {
  TMDIChild* c = ActiveChild();
  if (!c) return;
  std::vector<QString> lines;
  const int n = c->Memo1->LineListCount();
  lines.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const std::string bytes = c->Memo1->LineListItem(i);
    lines.push_back(QString::fromStdU16String(text::Decode(bytes).text));
  }
  if (!PrintTextJob(lines, c->Memo1->font())) {
    prompts().Message("エラー", "印刷エラー", Buttons::Ok, Icon::Error);
    return;
  }
  prompts().Message("情報", "印刷しました", Buttons::Ok, Icon::Information);
}

void TMainForm::mnuHelpClick() {
  const auto path = ProgramFolder() / "Korimo.chm";
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path.string())));
}

void TMainForm::HelpAbout1Execute() {
  if (auto* about = qobject_cast<QDialog*>(Form("FrmVer"))) about->exec();
}

void TMainForm::FileExit1Execute() { close(); }

void TMainForm::mnuFTPClick() {
  QWidget* ftp = Form("Ftp1");
  if (!ftp) return;
  if (!ftp->isVisible()) {
    TMDIChild* c = ActiveChild();
    const std::string folder = c ? FolderOfPath(c->Caption().toStdString()) : std::string();
    if (!folder.empty() && set_ftp_folder) set_ftp_folder(QString::fromStdString(folder));
  }
  ftp->show();
  ftp->raise();
  ftp->activateWindow();
}

}  // namespace hemlo
