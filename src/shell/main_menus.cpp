// The frame's command table and the layout of its menus and toolbar.
#include <QAction>
#include <QActionGroup>
#include <QLayout>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <cstring>
#include <utility>

#include "shell/main_form.h"
#include "shell/mdi_child.h"

namespace hemlo {

namespace {

using C = FrameCommand;

struct CommandDef {
  FrameCommand command;
  const char* name;  // object name
  const char* caption;
  const char* hint;  // "short|long"; nullptr for none
  QKeySequence key;
  const char* icon;  // theme icon name; nullptr for none
};

const CommandDef* CommandTable(std::size_t* count) {
  static const CommandDef defs[] = {
      {C::BasicHtml, "HTML1", "基本形HTML", nullptr, {}, nullptr},
      {C::FileNew, "FileNew1", "新規作成(&N)", "新規作成|新しいファイルを作成",
       QKeySequence(Qt::CTRL | Qt::Key_N), "document-new"},
      {C::FileOpen, "FileOpen1", "開く(&O)", "開く|ファイルを開く",
       QKeySequence(Qt::CTRL | Qt::Key_O), "document-open"},
      {C::FileOpenItem,
       "FileOpenItem",
       "開く(&O)...",
       "開く|ファイルを開く",
       {},
       nullptr},  // FileOpen owns Ctrl+O
      {C::FileClose, "FileCloseItem", "閉じる", "閉じる|現在のファイルを閉じる", {}, nullptr},
      {C::FileSave, "FileSaveItem", "上書き保存(&S)", "上書き保存|現在のファイルを保存",
       QKeySequence(Qt::CTRL | Qt::Key_S), nullptr},
      {C::FileSaveAs,
       "FileSaveAsItem",
       "名前を付けて保存...",
       "名前を付けて保存|現在のファイルを別名で保存",
       {},
       nullptr},
      {C::FileSavePublish, "mnuSavePublish", "保存して公開",
       "保存して公開|現在のファイルを保存し、変更分をサーバに公開",
       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U), nullptr},
      {C::FileVersions, "mnuVersions", "以前の版...",
       "以前の版|このページの以前に保存した版を見る・復元する", {}, nullptr},
      {C::SiteOpen, "mnuSiteOpen", "サイトを開く...",
       "サイトを開く|サイトのフォルダをサイトパネルに表示", {}, nullptr},
      {C::SitePanel, "mnuSitePanel", "サイトパネル", nullptr, {}, nullptr},
      {C::SiteCheck, "mnuSiteCheck", "サイトチェック...", nullptr, {}, nullptr},
      {C::LinkUpdate, "mnuLinkUpdate", "移動･名前の変更 (リンクの更新)...", nullptr, {}, nullptr},
      {C::InsertPart, "mnuInsertPart", "共通部品...", nullptr, {}, nullptr},
      {C::SiteUpdateParts, "mnuUpdateParts", "共通部品をすべて更新", nullptr, {}, nullptr},
      {C::Print, "mnuPrint", "印刷", nullptr, {}, nullptr},
      {C::Exit, "FileExitItem", "Hemlo2の終了", "終了|アプリケーションを終了", {}, nullptr},
      {C::Undo, "Undo1", "元に戻す", nullptr, {}, nullptr},
      {C::Redo, "Redo1", "やり直し", nullptr, QKeySequence(Qt::CTRL | Qt::Key_Y), nullptr},
      {C::EditCut, "EditCut1", "切り取り(&T)", "切り取り|選択部分を切り取り、クリップボードに送る",
       QKeySequence(Qt::CTRL | Qt::Key_X), "edit-cut"},
      {C::EditCopy, "EditCopy1", "コピー(&C)", "コピー|選択範囲をクリップボードにコピー",
       QKeySequence(Qt::CTRL | Qt::Key_C), "edit-copy"},
      {C::EditPaste, "EditPaste1", "貼り付け(&P)", "貼り付け|クリップボードの内容を貼り付ける",
       QKeySequence(Qt::CTRL | Qt::Key_V), "edit-paste"},
      {C::Find, "Find1", "検索･置換...", nullptr, QKeySequence(Qt::CTRL | Qt::Key_F), nullptr},
      {C::FindNext, "N18", "次を検索", nullptr, QKeySequence(Qt::Key_F3), nullptr},
      {C::SiteSearch, "mnuSiteSearch", "サイト内検索･置換...", nullptr, {}, nullptr},
      {C::Jump, "N47", "ジャンプ", nullptr, {}, nullptr},
      {C::SelectAll, "mnuSelectAll", "すべてを選択", nullptr, {}, nullptr},
      {C::MatchingTag, "mnuMatchingTag", "対応するタグへ移動", nullptr,
       QKeySequence(Qt::CTRL | Qt::Key_M), nullptr},
      {C::HalfWidthKana, "N44", "半角カナを全角カナに", nullptr, {}, nullptr},
      {C::Comment, "mnuComment", "コメント化", nullptr, {}, nullptr},
      {C::DeleteTag, "mnuDelTag", "タグ消去", nullptr, {}, nullptr},
      {C::ConvertEncoding,
       "mnuConvertEncoding",
       "文字コード変換",
       "文字コード変換|Shift-JIS と UTF-8 を切り替える",
       {},
       nullptr},
      {C::Font, "N43", "文字", nullptr, {}, nullptr},
      {C::TabWidth, "mnuTab", "タブ幅設定", nullptr, {}, nullptr},
      {C::Highlighting, "mnuHighlight", "色分け表示", nullptr, {}, nullptr},
      {C::LineNumbers, "mnuLineNumbers", "行番号", nullptr, {}, nullptr},
      {C::LivePreview, "mnuLivePreview", "ライブプレビュー", nullptr, {}, nullptr},
      {C::WebPhotos, "mnuWebPhotos", "大きな画像を Web 用に縮小", nullptr, {}, nullptr},
      {C::MarkupMarks, "mnuMarkupMarks", "入力中のマークアップチェック", nullptr, {}, nullptr},
      {C::ClosingTags, "mnuClosingTags", "閉じタグの自動入力", nullptr, {}, nullptr},
      {C::Abbreviations, "mnuAbbreviations", "省略記法の展開 (Tab/Ctrl+E)", nullptr, {}, nullptr},
      {C::Completion, "mnuCompletion", "入力補完", nullptr, {}, nullptr},
      {C::MatchingTags, "mnuMatchingTags", "対応するタグの強調表示", nullptr, {}, nullptr},
      {C::WebMaximise, "mnuWebMAX", "最大化", nullptr, {}, nullptr},
      {C::WebRestore, "mnuWebUndo", "元に戻す", nullptr, {}, nullptr},
      {C::PreviewPhone, "mnuPreviewPhone", "スマートフォン", nullptr, {}, nullptr},
      {C::PreviewTablet, "mnuPreviewTablet", "タブレット", nullptr, {}, nullptr},
      {C::PreviewPc, "mnuPreviewPc", "PC", nullptr, {}, nullptr},
      {C::Transfer, "mnuFTP", "ﾌｧｲﾙ転送", nullptr, {}, nullptr},
      {C::Favourites, "mnuFavorite", "お気に入り", nullptr, {}, nullptr},
      {C::WindowCascade,
       "WindowCascade1",
       "重ねて表示(&C)",
       "重ねて表示",
       {},
       "focus-windows-symbolic"},
      {C::WindowTileHorizontal,
       "WindowTileHorizontal1",
       "上下に並べて表示(&H)",
       "上下に並べて表示",
       {},
       "view-continuous-symbolic"},
      {C::WindowTileVertical,
       "WindowTileVertical1",
       "左右に並べて表示(&V)",
       "左右に並べて表示",
       {},
       "view-dual-symbolic"},
      {C::WindowMinimizeAll, "WindowMinimizeAll1", "すべてを最小化(&M)", "最小化", {}, nullptr},
      {C::WindowArrangeAll, "WindowArrangeAll1", "すべて整列(&A)", "すべて整列", {}, nullptr},
      {C::Help, "mnuHelp", "使用方法", nullptr, {}, nullptr},
      {C::HelpAbout,
       "HelpAbout1",
       "バージョン情報",
       "バージョン情報|プログラムの情報，バージョン番号，および著作権を表示します",
       {},
       "help-about"},
      {C::ToolClose,
       "ToolButton13Action",
       "閉じる",
       "閉じる|現在のﾍﾟｰｼﾞを閉じる",
       {},
       "window-close"},
      {C::ToolPrint, "ToolButton14Action", "", "", {}, "document-print"},
      {C::ToolSave,
       "ToolButton2Action",
       "上書き保存",
       "上書き保存|現在のファイルを保存",
       {},
       "document-save"},
      {C::Go, "ToolButton16Action", "", nullptr, {}, "go-jump"},
  };
  *count = std::size(defs);
  return defs;
}

// "short|long" hint: tooltip gets the short part, the status panel the long one.
void SetHint(QAction* action, const QString& hint) {
  const int bar = hint.indexOf('|');
  action->setToolTip(bar < 0 ? hint : hint.left(bar));
  action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

QMenu* NewMenu(QMenu* menu, const char* name) {
  menu->setObjectName(QString::fromLatin1(name));
  menu->setSeparatorsCollapsible(false);
  menu->setToolTipsVisible(true);  // short hints as tooltips
  return menu;
}

QMenu* TopMenu(QMenuBar* bar, const char* name, const char* caption, const char* hint = nullptr) {
  QMenu* m = NewMenu(bar->addMenu(QString::fromUtf8(caption)), name);
  m->menuAction()->setObjectName(QString::fromLatin1(name));
  if (hint) m->menuAction()->setStatusTip(QString::fromUtf8(hint));
  return m;
}

QMenu* SubMenu(QMenu* parent, const char* name, const char* caption) {
  return NewMenu(parent->addMenu(QString::fromUtf8(caption)), name);
}

}  // namespace

void TMainForm::BuildActions() {
  std::size_t count = 0;
  const CommandDef* defs = CommandTable(&count);
  for (std::size_t i = 0; i < count; ++i) {
    const CommandDef& d = defs[i];
    auto* a = new QAction(QString::fromUtf8(d.caption), this);
    a->setObjectName(QString::fromLatin1(d.name));
    if (d.hint) SetHint(a, QString::fromUtf8(d.hint));
    if (!d.key.isEmpty()) a->setShortcut(d.key);
    if (d.icon) a->setIcon(QIcon::fromTheme(QString::fromLatin1(d.icon)));
    actions_[static_cast<std::size_t>(d.command)] = a;
  }
  action(C::Redo)->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  action(C::Highlighting)->setCheckable(true);
  action(C::LineNumbers)->setCheckable(true);
  action(C::LivePreview)->setCheckable(true);
  action(C::WebPhotos)->setCheckable(true);
  action(C::MarkupMarks)->setCheckable(true);
  auto* widths = new QActionGroup(this);
  for (C c : {C::PreviewPhone, C::PreviewTablet, C::PreviewPc}) {
    action(c)->setCheckable(true);
    widths->addAction(action(c));
  }
  action(C::ClosingTags)->setCheckable(true);
  action(C::Abbreviations)->setCheckable(true);
  action(C::Completion)->setCheckable(true);
  action(C::MatchingTags)->setCheckable(true);
  action(C::SitePanel)->setCheckable(true);
  for (int i = 0; i < History::kSlots; ++i) {
    auto* a = new QAction(this);
    a->setObjectName(i == 0 ? QStringLiteral("mnuFavorit")
                            : QStringLiteral("mnuFavorit%1").arg(i + 1));
    history_actions_[static_cast<std::size_t>(i)] = a;
  }
}

void TMainForm::BuildMenus() {
  QMenuBar* bar = menuBar();
  auto add = [this](QMenu* m, std::initializer_list<FrameCommand> commands) {
    for (FrameCommand c : commands) m->addAction(action(c));
  };

  QMenu* file = TopMenu(bar, "File1", "ファイル(&F)", "ファイル関連のコマンド");
  add(file, {C::BasicHtml});
  file->addSeparator();
  add(file, {C::FileNew, C::FileOpenItem, C::SiteOpen, C::FileClose, C::FileSave, C::FileSaveAs,
             C::FileSavePublish, C::FileVersions});
  file->addSeparator();
  for (QAction* a : history_actions_) file->addAction(a);
  file->addSeparator();
  add(file, {C::SiteCheck, C::Print});
  file->addSeparator();
  add(file, {C::Exit});

  QMenu* edit = TopMenu(bar, "Edit1", "編集", "編集コマンド");
  add(edit, {C::Undo, C::Redo});
  edit->addSeparator();
  add(edit, {C::EditCut, C::EditCopy, C::EditPaste, C::Find, C::FindNext, C::SiteSearch, C::Jump,
             C::SelectAll});
  edit->addSeparator();
  add(edit, {C::HalfWidthKana});
  edit->addSeparator();
  add(edit, {C::Comment, C::DeleteTag, C::MatchingTag});
  edit->addSeparator();
  add(edit, {C::ConvertEncoding});

  BuildAuthoringMenus();

  add(TopMenu(bar, "mnuSite", "サイト"), {C::SitePanel, C::LinkUpdate, C::SiteUpdateParts});

  QMenu* env = TopMenu(bar, "N37", "環境設定");
  add(SubMenu(env, "N19", "ｴﾃﾞｨﾀﾍﾟｲﾝ環境"),
      {C::Font, C::TabWidth, C::Highlighting, C::LineNumbers, C::ClosingTags, C::Abbreviations,
       C::Completion, C::MatchingTags, C::MarkupMarks});
  QMenu* web = SubMenu(env, "WEB1", "Webﾍﾟｲﾝ表示");
  add(web, {C::WebMaximise, C::WebRestore});
  web->addSeparator();
  add(web, {C::PreviewPhone, C::PreviewTablet, C::PreviewPc});
  add(env, {C::LivePreview, C::WebPhotos});
  env->addSeparator();
  add(env, {C::Transfer});

  bar->addAction(action(C::Favourites));  // お気に入り is a command on the menu bar itself

  window_menu_ = TopMenu(bar, "Window1", "ウィンドウ", "ウィンドウ関連のコマンド");
  connect(window_menu_, &QMenu::aboutToShow, this, [this] { UpdateWindowMenu(); });
  UpdateWindowMenu();

  add(TopMenu(bar, "Help1", "ヘルプ", "ヘルプトピック"), {C::Help, C::HelpAbout});
}

void TMainForm::BuildAuthoringMenus() {
  // The authoring menus come from one table of the authoring core.
  const std::pair<const char*, const char*> top_names[] = {{"文字", "N4"},  {"書式", "N51"},
                                                           {"挿入", "N13"}, {"段落", "N12"},
                                                           {"表", "N20"},   {"加工", "N32"}};
  const std::pair<const char*, const char*> sub_names[] = {{"配置（div）", "N52"},
                                                           {"配置（align）", "N53"},
                                                           {"ｽﾀｲﾙｼｰﾄ", "N33"},
                                                           {"javascript", "java1"},
                                                           {"ﾌｫｰﾑ", "N34"}};
  auto name_of = [](const auto& table, const char* caption) {
    for (const auto& [c, n] : table)
      if (std::strcmp(c, caption) == 0) return n;
    return caption;
  };
  QMenuBar* bar = menuBar();
  QHash<QString, QMenu*> by_caption;
  for (const authoring::AuthoringMenuItem& it : authoring::AuthoringMenuItems()) {
    if (it.handler == authoring::Handler::mnuColorSetClick) {
      // 色... is a command on the menu bar itself.
      QAction* color = bar->addAction(QString::fromUtf8(it.caption));
      color->setObjectName(QStringLiteral("mnuColorSet"));
      color->setData(it.tag);
      authoring_actions_.push_back({&it, color});
      continue;
    }
    const QString menu_caption = QString::fromUtf8(it.menu);
    QMenu* m = by_caption.value(menu_caption);
    if (!m) by_caption[menu_caption] = m = TopMenu(bar, name_of(top_names, it.menu), it.menu);
    if (*it.submenu) {
      const QString key = menu_caption + "/" + QString::fromUtf8(it.submenu);
      QMenu* s = by_caption.value(key);
      if (!s) by_caption[key] = s = SubMenu(m, name_of(sub_names, it.submenu), it.submenu);
      m = s;
    }
    if (std::strcmp(it.caption, authoring::kSeparator) == 0) {
      m->addSeparator();
      continue;
    }
    QAction* a = m->addAction(QString::fromUtf8(it.caption));
    a->setObjectName(QStringLiteral("%1_%2")
                         .arg(QString::fromLatin1(authoring::HandlerName(it.handler)))
                         .arg(it.tag));
    a->setData(it.tag);
    authoring_actions_.push_back({&it, a});
  }
  if (QMenu* insert = by_caption.value(QStringLiteral("挿入"))) {
    insert->addSeparator();
    insert->addAction(action(C::InsertPart));
  }
}

void TMainForm::UpdateWindowMenu() {
  window_menu_->clear();
  for (FrameCommand c : {C::WindowCascade, C::WindowTileHorizontal, C::WindowTileVertical,
                         C::WindowMinimizeAll, C::WindowArrangeAll})
    window_menu_->addAction(action(c));
  const auto windows = mdi_->subWindowList();
  if (windows.isEmpty()) return;
  window_menu_->addSeparator();
  int i = 1;
  for (QMdiSubWindow* w : windows) {
    const auto* child = qobject_cast<TMDIChild*>(w->widget());
    const QString title =
        child ? child->Caption() + (child->isWindowModified() ? QStringLiteral("*") : QString())
              : QString();
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

  auto button = [&](const char* name, FrameCommand c) {
    QAction* a = action(c);
    toolbar_->addAction(a);
    if (auto* w = toolbar_->widgetForAction(a)) {
      w->setObjectName(QString::fromLatin1(name));
      w->setFixedSize(23, 22);  // everything but the address box fits in 375 pixels
    }
  };
  button("ToolButton13", C::ToolClose);
  button("ToolButton9", C::FileNew);
  button("ToolButton14", C::ToolPrint);
  button("ToolButton1", C::FileOpen);
  button("ToolButton2", C::ToolSave);
  toolbar_->addSeparator();
  button("ToolButton4", C::EditCut);
  button("ToolButton5", C::EditCopy);
  button("ToolButton6", C::EditPaste);
  toolbar_->addSeparator();
  button("ToolButton8", C::WindowCascade);
  button("ToolButton10", C::WindowTileHorizontal);
  button("ToolButton11", C::WindowTileVertical);
  toolbar_->addSeparator();

  preview_button_ = new QToolButton(toolbar_);
  preview_button_->setObjectName(QStringLiteral("Image2"));
  preview_button_->setFixedSize(53, 22);
  preview_button_->setText(QStringLiteral("ﾌﾟﾚﾋﾞｭｰ"));
  preview_button_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  preview_button_->setCursor(Qt::PointingHandCursor);
  preview_button_->setToolTip(QString());
  preview_button_->setStatusTip(QStringLiteral("ｴﾃﾞｨｯﾄﾍﾟｲﾝをWebﾍﾟｲﾝに表示"));
  preview_button_->setAutoRaise(true);
  toolbar_->addWidget(preview_button_);
  toolbar_->addSeparator();

  cmbURL_ = new QComboBox(toolbar_);
  cmbURL_->setObjectName(QStringLiteral("cmbURL"));
  cmbURL_->setEditable(true);
  cmbURL_->setInsertPolicy(QComboBox::NoInsert);
  QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
  f.setPixelSize(12);
  cmbURL_->setFont(f);
  cmbURL_->addItem(QStringLiteral("https://www.google.co.jp/"));
  cmbURL_->setCurrentIndex(0);
  cmbURL_->installEventFilter(this);
  cmbURL_->lineEdit()->installEventFilter(this);
  toolbar_->addWidget(cmbURL_);

  button("ToolButton16", C::Go);
  toolbar_->installEventFilter(this);
}

}  // namespace hemlo
