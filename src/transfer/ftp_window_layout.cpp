// The Ferrox window's controls, their layout, and the connections from
// their signals to the window's handlers and request signals.
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "transfer/ftp_window.h"
#include "transfer/ftp_window_parts.h"
#include "transfer/remote_list_model.h"

namespace hemlo {
namespace {

const QColor kLime(0x00, 0xFF, 0x00);
const QColor kMaroon(0x80, 0x00, 0x00);

void Colour(QWidget* w, QPalette::ColorRole role, const QColor& c) {
  QPalette p = w->palette();
  p.setColor(role, c);
  w->setPalette(p);
}

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

QLineEdit* Edit(const char* name, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  return e;
}

QAction* MenuItem(QMenu* menu, const char* name, const QString& caption) {
  QAction* a = menu->addAction(caption);
  a->setObjectName(QString::fromLatin1(name));
  return a;
}

}  // namespace

void TFtp1::BuildLayout() {
  setWindowTitle(QStringLiteral("Ferrox"));
  // The Windows font name stands for the IPA font where that is what is installed.
  if (QFont::substitutes(QStringLiteral("ＭＳ ゴシック")).isEmpty())
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
  QFont f(QStringLiteral("ＭＳ ゴシック"));
  f.setPixelSize(12);
  setFont(f);
  setAutoFillBackground(true);
  Colour(this, QPalette::Window, Qt::black);
  Colour(this, QPalette::WindowText, Qt::white);
  resize(480, 480);
  setMinimumSize(480, 480);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(4, 4, 4, 0);
  root->setSpacing(3);

  // ---- profile panel and the connection buttons ----
  auto* top = new QHBoxLayout;
  top->addWidget(BuildProfilePanel(), 1);
  auto* connection = new QVBoxLayout;
  Button1 = Button("Button1", QStringLiteral("接続"), this);
  Button2 = Button("Button2", QStringLiteral("切断"), this);
  Button3 = Button("Button3", QStringLiteral("終了"), this);
  connection->addWidget(Button1);
  connection->addWidget(Button2);
  connection->addWidget(Button3);
  connection->addStretch(1);
  top->addLayout(connection);
  root->addLayout(top);

  // ---- remote folder text and the up button ----
  auto* folder_row = new QHBoxLayout;
  Label5 = new QLabel(this);
  Label5->setObjectName(QStringLiteral("Label5"));
  Colour(Label5, QPalette::WindowText, kLime);
  Label5->setTextFormat(Qt::PlainText);
  folder_row->addWidget(Label5, 1);
  BitBtn1 = new QToolButton(this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
  BitBtn1->setToolTip(QStringLiteral("１つ上のﾌｫﾙﾀﾞへ"));
  folder_row->addWidget(BitBtn1);
  root->addLayout(folder_row);

  // ---- remote list ----
  auto* remote = new transfer_ui::RemoteListView(this);
  ListView1 = remote;
  ListView1->setObjectName(QStringLiteral("ListView1"));
  RemoteModel_ = new transfer_ui::RemoteListModel(this);
  RemoteModel_->SetIcons(style()->standardIcon(QStyle::SP_DirIcon),
                         style()->standardIcon(QStyle::SP_FileIcon));
  ListView1->setModel(RemoteModel_);
  const int remote_widths[] = {120, 90, 80, 80};
  for (int i = 0; i < 4; ++i) ListView1->setColumnWidth(i, remote_widths[i]);
  root->addWidget(ListView1, 1);

  BuildTransferRow(root);

  // ---- local pane ----
  auto* local = new QWidget(this);
  local->setFixedHeight(150);
  BuildLocalPane(local);
  root->addWidget(local);

  BuildStatusBar(root);

  for (QAbstractItemView* list : std::initializer_list<QAbstractItemView*>{ListView1, ListView2}) {
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setDragEnabled(true);
    list->setAcceptDrops(true);
    list->setDragDropMode(QAbstractItemView::DragDrop);
    list->setDefaultDropAction(Qt::CopyAction);
  }
  ListView2->setRootIsDecorated(false);
  ListView2->setUniformRowHeights(true);
  ListView2->setAllColumnsShowFocus(true);
  for (QHeaderView* header : {ListView1->horizontalHeader(), ListView2->header()}) {
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
  }
  // A report list: one line a row, no grid; a table keeps each appended
  // batch cheap however long the list grows.
  ListView1->verticalHeader()->hide();
  ListView1->verticalHeader()->setDefaultSectionSize(ListView1->fontMetrics().height() + 4);
  ListView1->setShowGrid(false);
  ListView1->setWordWrap(false);
  ListView1->horizontalHeader()->setHighlightSections(false);
  ListView1->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  ListView1->horizontalHeader()->setStretchLastSection(true);
  ListView1->setEditTriggers(QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::SelectedClicked);
  ListView1->setItemDelegate(transfer_ui::MakeRenameDelegate(this, ListView1));
  remote->accept_rows_from = QStringLiteral("ListView2");
  remote->accept_desktop_files = true;

  PopupMenu1 = new QMenu(this);
  MenuItem(PopupMenu1, "N1", QStringLiteral("パーミション"));
  MenuItem(PopupMenu1, "N2", QStringLiteral("フォルダ作成"));
  MenuItem(PopupMenu1, "Delete1", QStringLiteral("削除"));
  ListView1->setContextMenuPolicy(Qt::CustomContextMenu);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

QWidget* TFtp1::BuildProfilePanel() {
  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setAutoFillBackground(true);
  Colour(Panel1, QPalette::Window, kLime);
  Colour(Panel1, QPalette::WindowText, Qt::black);
  Panel1->setFrameShape(QFrame::StyledPanel);
  auto* grid = new QGridLayout(Panel1);
  grid->setContentsMargins(4, 2, 4, 4);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(2);
  grid->addWidget(new QLabel(QStringLiteral("接続先情報"), Panel1), 0, 0, 1, 4);
  const QString captions[] = {QStringLiteral("登 録 名"), QStringLiteral("ホスト名"),
                              QStringLiteral("ユーザーＩＤ"), QStringLiteral("パスワード")};
  Edit1 = Edit("Edit1", Panel1);
  Edit2 = Edit("Edit2", Panel1);
  Edit3 = Edit("Edit3", Panel1);
  Edit4 = Edit("Edit4", Panel1);
  Edit4->setEchoMode(QLineEdit::Password);
  Edit4->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));  // "*"
  QLineEdit* edits[] = {Edit1, Edit2, Edit3, Edit4};
  for (int i = 0; i < 4; ++i) {
    grid->addWidget(new QLabel(captions[i], Panel1), i + 1, 0);
    grid->addWidget(edits[i], i + 1, 1);
  }
  // How data connections are opened; the order is DataConnectionMode's.
  cmbDataMode = new QComboBox(Panel1);
  cmbDataMode->setObjectName(QStringLiteral("cmbDataMode"));
  cmbDataMode->addItems(
      {QStringLiteral("自動"), QStringLiteral("パッシブ"), QStringLiteral("アクティブ")});
  grid->addWidget(new QLabel(QStringLiteral("データ接続"), Panel1), 5, 0);
  grid->addWidget(cmbDataMode, 5, 1);
  // How names travel; the order is NameEncodingMode's.
  cmbNameEncoding = new QComboBox(Panel1);
  cmbNameEncoding->setObjectName(QStringLiteral("cmbNameEncoding"));
  cmbNameEncoding->addItems(
      {QStringLiteral("自動"), QStringLiteral("Shift-JIS"), QStringLiteral("UTF-8")});
  cmbNameEncoding->setToolTip(QStringLiteral(
      "サーバ上のファイル名の文字コード（自動: サーバがUTF-8に対応していればUTF-8）"));
  grid->addWidget(new QLabel(QStringLiteral("名前の文字コード"), Panel1), 6, 0);
  grid->addWidget(cmbNameEncoding, 6, 1);

  Button6 = Button("Button6", QStringLiteral("追加"), Panel1);
  Button7 = Button("Button7", QStringLiteral("保存"), Panel1);
  Button8 = Button("Button8", QStringLiteral("追加中止"), Panel1);
  Button9 = Button("Button9", QStringLiteral("削除"), Panel1);
  Button4 = Button("Button4", QStringLiteral("前"), Panel1);
  Button5 = Button("Button5", QStringLiteral("次"), Panel1);
  grid->addWidget(Button6, 1, 2);
  grid->addWidget(Button7, 1, 3);
  grid->addWidget(Button8, 2, 2);
  grid->addWidget(Button9, 2, 3);
  grid->addWidget(Button4, 3, 2);
  grid->addWidget(Button5, 3, 3);
  auto* counter = new QHBoxLayout;
  LblCount = new QLabel(QStringLiteral("0"), Panel1);
  LblCount->setObjectName(QStringLiteral("LblCount"));
  LblCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QFont cf = LblCount->font();
  cf.setPixelSize(15);
  LblCount->setFont(cf);
  Colour(LblCount, QPalette::WindowText, kMaroon);
  counter->addWidget(LblCount, 1);
  counter->addWidget(new QLabel(QStringLiteral("件目"), Panel1));
  grid->addLayout(counter, 4, 2, 1, 2);
  grid->setColumnStretch(1, 1);
  return Panel1;
}

void TFtp1::BuildTransferRow(QVBoxLayout* root) {
  auto* row = new QHBoxLayout;
  Button11 = Button("Button11", QStringLiteral("↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ"), this);
  row->addWidget(Button11);
  row->addStretch(1);
  row->addWidget(new QLabel(QStringLiteral("転送ﾓｰﾄﾞ"), this));
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  ComboBox1->addItems({QStringLiteral("ｱｽｷｰ"), QStringLiteral("ﾊﾞｲﾅﾘ")});
  row->addWidget(ComboBox1);
  Button10 = Button("Button10", QStringLiteral("▲"), this);
  Button10->setToolTip(QStringLiteral("アップロードします"));
  Button16 = Button("Button16", QStringLiteral("▼"), this);
  Button16->setToolTip(QStringLiteral("ダウンロードします"));
  row->addWidget(Button10);
  row->addWidget(Button16);
  CheckBox1 = new QCheckBox(QStringLiteral("全選択"), this);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  row->addWidget(CheckBox1);
  root->addLayout(row);
}

void TFtp1::BuildStatusBar(QVBoxLayout* root) {
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(true);
  StatusBar1->setAutoFillBackground(true);
  Colour(StatusBar1, QPalette::Window, palette().color(QPalette::Button));
  Colour(StatusBar1, QPalette::WindowText, Qt::black);
  StatusPanel0 = new QLabel(QStringLiteral("Ferrox"), StatusBar1);
  StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
  StatusPanel0->setFixedWidth(250);
  StatusPanel1 = new QLabel(QStringLiteral("Hemlo２"), StatusBar1);
  StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
  StatusPanel1->setFixedWidth(50);
  StatusBar1->addWidget(StatusPanel0);
  StatusBar1->addWidget(StatusPanel1);
  ProgressBar1 = new QProgressBar(StatusBar1);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setFixedWidth(120);
  ProgressBar1->setRange(0, 1000);
  ProgressBar1->setTextVisible(true);
  ProgressBar1->hide();
  StatusBar1->addPermanentWidget(ProgressBar1);
  StatusBar1->installEventFilter(this);
  root->addWidget(StatusBar1);
}

void TFtp1::WireControls() {
  connect(ListView1->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int c) { ColumnClick(ListView1, c); });
  connect(ListView2->header(), &QHeaderView::sectionClicked, this,
          [this](int c) { ColumnClick(ListView2, c); });
  auto* remote = static_cast<transfer_ui::RemoteListView*>(ListView1);
  connect(remote, &transfer_ui::RemoteListView::rowsDropped, this, &TFtp1::uploadSelectedRequested);
  connect(remote, &transfer_ui::RemoteListView::filesDropped, this,
          [this](const std::vector<std::string>& paths) { DropOnRemote(paths); });
  connect(ListView1, &QTableView::doubleClicked, this, &TFtp1::ListView1DblClick);
  connect(ListView1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { PopupMenu1->popup(ListView1->viewport()->mapToGlobal(p)); });
  const auto actions = PopupMenu1->actions();
  connect(actions[0], &QAction::triggered, this, &TFtp1::permissionRequested);
  connect(actions[1], &QAction::triggered, this, &TFtp1::remoteCreateFolderRequested);
  connect(actions[2], &QAction::triggered, this, &TFtp1::remoteDeleteRequested);

  connect(Button1, &QPushButton::clicked, this, &TFtp1::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TFtp1::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TFtp1::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TFtp1::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TFtp1::Button5Click);
  connect(Button6, &QPushButton::clicked, this, &TFtp1::Button6Click);
  connect(Button7, &QPushButton::clicked, this, &TFtp1::Button7Click);
  connect(Button8, &QPushButton::clicked, this, &TFtp1::Button8Click);
  connect(Button9, &QPushButton::clicked, this, &TFtp1::Button9Click);
  connect(BitBtn1, &QToolButton::clicked, this, &TFtp1::BitBtn1Click);
  connect(Button10, &QPushButton::clicked, this, &TFtp1::uploadSelectedRequested);
  connect(Button16, &QPushButton::clicked, this, &TFtp1::downloadSelectedRequested);
  connect(Button11, &QPushButton::clicked, this, &TFtp1::folderUploadRequested);
  connect(CheckBox1, &QCheckBox::toggled, this, &TFtp1::CheckBox1Click);
}

}  // namespace hemlo
