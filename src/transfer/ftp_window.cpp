#include "transfer/ftp_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "base/program_folder.h"
#include "base/qt_prompts.h"
#include "text/cp932.h"
#include "transfer/ferrox_files.h"
#include "transfer/ftp_window_parts.h"

namespace hemlo {

using transfer_ui::FromSjis;
using transfer_ui::ToSjis;

namespace transfer_ui {

QString FromSjis(std::string_view bytes) {
  const text::Decoded d = text::Decode(bytes);
  return QString::fromUtf16(d.text.data(), static_cast<qsizetype>(d.text.size()));
}

std::optional<std::string> ToSjis(const QString& s) {
  const std::u16string_view u(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size()));
  return text::Encode(u);
}

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent) {}

bool FileListView::Accepts(const QDropEvent* e) const {
  const auto* source = qobject_cast<const QWidget*>(e->source());
  if (source) return !accept_rows_from.isEmpty() && source->objectName() == accept_rows_from;
  return accept_desktop_files && e->mimeData()->hasUrls();
}

void FileListView::dragEnterEvent(QDragEnterEvent* e) {
  if (!Accepts(e)) return e->ignore();
  e->setDropAction(Qt::CopyAction);
  e->accept();
}

void FileListView::dragMoveEvent(QDragMoveEvent* e) {
  if (!Accepts(e)) return e->ignore();
  e->setDropAction(Qt::CopyAction);
  e->accept();
}

void FileListView::dropEvent(QDropEvent* e) {
  if (!Accepts(e)) return e->ignore();
  // Copy, never move: the source list must keep its rows.
  e->setDropAction(Qt::CopyAction);
  e->accept();
  if (e->source()) {
    if (on_rows_dropped) on_rows_dropped();
    return;
  }
  std::vector<std::string> paths;
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  if (on_files_dropped) on_files_dropped(paths);
}

namespace {

// Remembers the old name when an in-place edit of a remote name begins and
// decides at its end whether the typed name is sent and kept.
class RenameDelegate : public QStyledItemDelegate {
 public:
  RenameDelegate(TFtp1* window, QTreeWidget* list) : QStyledItemDelegate(list), window_(window), list_(list) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    // Renaming while an operation walks the folder would change it under it.
    if (index.column() != 0 || index.parent().isValid() || window_->OperationRunning()) return nullptr;
    window_->BeginRename(list_->topLevelItem(index.row()));
    return QStyledItemDelegate::createEditor(parent, option, index);
  }
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) return;
    if (window_->EndRename(list_->topLevelItem(index.row()), line->text()))
      model->setData(index, line->text(), Qt::EditRole);
  }
  void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
    window_->CancelRename();  // an edit that was cancelled sends nothing
    QStyledItemDelegate::destroyEditor(editor, index);
  }

 private:
  TFtp1* window_;
  QTreeWidget* list_;
};

}  // namespace
}  // namespace transfer_ui

namespace {

const QColor kLime(0x00, 0xFF, 0x00);
const QColor kMaroon(0x80, 0x00, 0x00);

std::string U(const QString& s) { return s.toStdString(); }
QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

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

constexpr int kNameRole = Qt::UserRole;        // Shift-JIS name of a remote row
constexpr int kFolderRole = Qt::UserRole + 1;  // image 0 (folder) or 1

}  // namespace

TFtp1::TFtp1(Prompts* prompts, QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("Ftp1"));
  if (prompts) {
    prompts_ = prompts;
  } else {
    own_prompts_ = std::make_unique<QtPrompts>(this);
    prompts_ = own_prompts_.get();
  }
  BuildLayout();
  IdFTP1.OnConnected = [this](ftp::TIdTCPConnection&) { OnClientConnected(); };
  IdFTP1.OnDisconnected = [this](ftp::TIdTCPConnection&) { OnClientDisconnected(); };
  // The window sees every key before its controls do (Escape = stop).
  qApp->installEventFilter(this);
  Startup();
}

TFtp1::~TFtp1() {
  // The client may still report its disconnection while the window goes.
  IdFTP1.OnConnected = nullptr;
  IdFTP1.OnDisconnected = nullptr;
}

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
  auto* heading = new QLabel(QStringLiteral("接続先情報"), Panel1);
  grid->addWidget(heading, 0, 0, 1, 4);
  const QString captions[] = {QStringLiteral("登 録 名"), QStringLiteral("ホスト名"), QStringLiteral("ユーザーＩＤ"),
                              QStringLiteral("パスワード")};
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
  top->addWidget(Panel1, 1);

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
  auto* remote = new transfer_ui::FileListView(this);
  ListView1 = remote;
  ListView1->setObjectName(QStringLiteral("ListView1"));
  ListView1->setHeaderLabels({QStringLiteral("ファイル名"), QStringLiteral("更新日時"), QStringLiteral("サイズ"),
                              QStringLiteral("属性")});
  const int remote_widths[] = {120, 90, 80, 80};
  for (int i = 0; i < 4; ++i) ListView1->setColumnWidth(i, remote_widths[i]);
  root->addWidget(ListView1, 1);

  // ---- folder upload, transfer mode, arrows, select all ----
  auto* transfer_row = new QHBoxLayout;
  Button11 = Button("Button11", QStringLiteral("↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ"), this);
  transfer_row->addWidget(Button11);
  transfer_row->addStretch(1);
  transfer_row->addWidget(new QLabel(QStringLiteral("転送ﾓｰﾄﾞ"), this));
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  ComboBox1->addItems({QStringLiteral("ｱｽｷｰ"), QStringLiteral("ﾊﾞｲﾅﾘ")});
  transfer_row->addWidget(ComboBox1);
  Button10 = Button("Button10", QStringLiteral("▲"), this);
  Button10->setToolTip(QStringLiteral("アップロードします"));
  Button16 = Button("Button16", QStringLiteral("▼"), this);
  Button16->setToolTip(QStringLiteral("ダウンロードします"));
  transfer_row->addWidget(Button10);
  transfer_row->addWidget(Button16);
  CheckBox1 = new QCheckBox(QStringLiteral("全選択"), this);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  transfer_row->addWidget(CheckBox1);
  root->addLayout(transfer_row);

  // ---- local pane ----
  auto* local = new QWidget(this);
  local->setFixedHeight(150);
  BuildLocalPane(local);
  root->addWidget(local);

  // ---- status bar ----
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

  // ---- remote list behaviour ----
  for (QTreeWidget* list : {ListView1, ListView2}) {
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setDragEnabled(true);
    list->setAcceptDrops(true);
    list->setDragDropMode(QAbstractItemView::DragDrop);
    list->setDefaultDropAction(Qt::CopyAction);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->header()->setSectionsClickable(true);
    list->header()->setSortIndicatorShown(false);
    connect(list->header(), &QHeaderView::sectionClicked, this, [this, list](int c) { ColumnClick(list, c); });
  }
  ListView1->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  ListView1->setItemDelegate(new transfer_ui::RenameDelegate(this, ListView1));
  remote->accept_rows_from = QStringLiteral("ListView2");
  remote->accept_desktop_files = true;
  remote->on_rows_dropped = [this] {
    if (OnUploadSelected) OnUploadSelected();
  };
  remote->on_files_dropped = [this](const std::vector<std::string>& paths) { DropOnRemote(paths); };
  connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { ListView1DblClick(); });

  PopupMenu1 = new QMenu(this);
  MenuItem(PopupMenu1, "N1", QStringLiteral("パーミション"));
  MenuItem(PopupMenu1, "N2", QStringLiteral("フォルダ作成"));
  MenuItem(PopupMenu1, "Delete1", QStringLiteral("削除"));
  const auto actions = PopupMenu1->actions();
  connect(actions[0], &QAction::triggered, this, [this] {
    if (OnPermission) OnPermission();
  });
  connect(actions[1], &QAction::triggered, this, [this] {
    if (OnRemoteCreateFolder) OnRemoteCreateFolder();
  });
  connect(actions[2], &QAction::triggered, this, [this] {
    if (OnRemoteDelete) OnRemoteDelete();
  });
  ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ListView1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { PopupMenu1->popup(ListView1->viewport()->mapToGlobal(p)); });

  // ---- buttons ----
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
  connect(Button7, &QPushButton::clicked, this, [this] { Button7Click(); });
  connect(Button8, &QPushButton::clicked, this, [this] { Button8Click(); });
  connect(Button9, &QPushButton::clicked, this, [this] { Button9Click(); });
  connect(BitBtn1, &QToolButton::clicked, this, [this] { BitBtn1Click(); });
  connect(Button10, &QPushButton::clicked, this, [this] {
    if (OnUploadSelected) OnUploadSelected();
  });
  connect(Button16, &QPushButton::clicked, this, [this] {
    if (OnDownloadSelected) OnDownloadSelected();
  });
  connect(Button11, &QPushButton::clicked, this, [this] {
    if (OnFolderUpload) OnFolderUpload();
  });
  connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void TFtp1::Startup() {
  idle_flag_ = true;
  ComboBox1->setCurrentIndex(1);
  DroppedFiles.clear();
  Edit1->clear();
  Edit2->clear();
  Edit3->clear();
  Edit4->clear();
  Label5->clear();

  transfer::FileOutcome read;
  std::vector<std::string> lines = transfer::ReadProfileFile(ProgramFolder(), &read);
  if (!read.ok) prompts_->Error(read.error);
  Profiles.Load(std::move(lines));
  ShowProfileFields();

  QString start = QDir::currentPath();
  if (const auto last = transfer::ReadLastDir(ProgramFolder()); last && QFileInfo(Q(*last)).isDir())
    start = Q(*last);
  SetLocalFolder(start);

  RenameOldName.clear();
  RenameEditing = false;
  Button2->setEnabled(false);

  // The local list starts sorted by date, newest first.
  Sort.SortDirection = 2;
  ColumnClick(ListView2, 1);
}

void TFtp1::CloseSequence() {
  if (!Profiles.ProfileList.empty()) {
    const auto r = transfer::WriteProfileFile(ProgramFolder(), Profiles.ProfileList);
    if (!r.ok) prompts_->Error(r.error);
  }
  const auto r = transfer::WriteLastDir(ProgramFolder(), LocalFolder());
  if (!r.ok) prompts_->Error(r.error);
}

void TFtp1::closeEvent(QCloseEvent* event) {
  if (!idle_flag_) {
    event->ignore();
    return;
  }
  CloseSequence();
  event->accept();
}

bool TFtp1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == this) {
    // Only Escape touches the flag: ordinary typing must never make the
    // window refuse to close.
    if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) idle_flag_ = true;
  } else if (watched == StatusBar1 && event->type() == QEvent::Resize) {
    StatusPanel0->setFixedWidth(std::max(0, StatusBar1->width() - 200));
  }
  return QWidget::eventFilter(watched, event);
}

// ---- status, errors, operations ----

void TFtp1::SetStatusText(const std::string& text) { StatusPanel0->setText(Q(text)); }
QString TFtp1::StatusText() const { return StatusPanel0->text(); }

void TFtp1::ShowError(const std::exception& e) { prompts_->Error(U(FromSjis(e.what()))); }

void TFtp1::ShowPlain(const QString& text) {
  prompts_->Message(U(QGuiApplication::applicationDisplayName()), U(text), Buttons::Ok, Icon::None);
}

bool TFtp1::RunOperation(const std::function<void()>& op) {
  if (operation_running_) return false;
  struct EndOfOperation {
    TFtp1& w;
    ~EndOfOperation() {
      w.idle_flag_ = true;
      w.operation_running_ = false;
      w.SetFileProgress(0, 0);
    }
  } guard{*this};
  operation_running_ = true;
  idle_flag_ = false;
  try {
    op();
  } catch (const ftp::EIdSilentException&) {
    // The peer went away; the next action reports the lost connection.
  } catch (const std::exception& e) {
    ShowError(e);
  }
  return true;
}

void TFtp1::SetFileProgress(int n, int m) {
  if (m <= 0) {
    ProgressBar1->hide();
    return;
  }
  ProgressBar1->setFormat(QStringLiteral("%1/%2").arg(n).arg(m));
  ProgressBar1->setRange(0, 1000);
  ProgressBar1->setValue(0);
  ProgressBar1->show();
}

void TFtp1::SetByteProgress(int64_t done, int64_t total) {
  if (total <= 0) {
    ProgressBar1->setRange(0, 0);  // size unknown: the bar moves anyway
  } else {
    ProgressBar1->setRange(0, 1000);
    ProgressBar1->setValue(static_cast<int>(std::min<int64_t>(1000, done * 1000 / total)));
  }
  ProgressBar1->repaint();
}

ftp::TIdFTPTransferType TFtp1::TransferMode() const {
  return ComboBox1->currentIndex() == 0 ? ftp::TIdFTPTransferType::ftASCII : ftp::TIdFTPTransferType::ftBinary;
}

void TFtp1::UncheckSelectAll() { CheckBox1->setChecked(false); }

void TFtp1::CheckBox1Click() {
  QTreeWidget* target = ListView1->selectedItems().isEmpty() ? ListView2 : ListView1;
  if (CheckBox1->isChecked())
    target->selectAll();
  else
    target->clearSelection();
  target->setFocus();
}

// ---- profiles ----

void TFtp1::ShowProfileFields() {
  Edit1->setText(FromSjis(Profiles.RegistrationName));
  Edit2->setText(FromSjis(Profiles.HostName));
  Edit3->setText(FromSjis(Profiles.UserId));
  Edit4->setText(FromSjis(Profiles.Password));
  Label5->setText(FromSjis(Profiles.LastRemoteFolder));
  LblCount->setText(QString::number(Profiles.ProfileCounter));
  if (!IdFTP1.Connected()) Button5->setEnabled(Profiles.NextEnabled);
}

bool TFtp1::TakeProfileFields() {
  std::string* fields[] = {&Profiles.RegistrationName, &Profiles.HostName, &Profiles.UserId, &Profiles.Password};
  QLineEdit* edits[] = {Edit1, Edit2, Edit3, Edit4};
  std::string values[4];
  for (int i = 0; i < 4; ++i) {
    const QString t = edits[i]->text();
    const auto sjis = ToSjis(t);
    // A line break would split the profile's line in the file.
    if (!sjis || t.contains(QLatin1Char('\r')) || t.contains(QLatin1Char('\n'))) {
      ShowPlain(QStringLiteral("「%1」にはShift-JISで表せない文字が含まれています").arg(t));
      edits[i]->setFocus();
      return false;
    }
    values[i] = *sjis;
  }
  for (int i = 0; i < 4; ++i) *fields[i] = values[i];
  return true;
}

void TFtp1::Button4Click() {
  Profiles.PrevClick();
  ShowProfileFields();
}

void TFtp1::Button5Click() {
  Profiles.NextClick();
  ShowProfileFields();
}

void TFtp1::Button6Click() {
  Profiles.AddClick();
  ShowProfileFields();
}

void TFtp1::Button7Click() {
  if (!TakeProfileFields()) return;
  if (!Profiles.SaveClick()) {
    ShowPlain(QStringLiteral("4つとも記入してください"));
    return;
  }
  const auto r = transfer::WriteProfileFile(ProgramFolder(), Profiles.ProfileList);
  if (!r.ok) prompts_->Error(r.error);
  ShowProfileFields();
}

void TFtp1::Button8Click() {
  Profiles.CancelAddClick();
  ShowProfileFields();
}

void TFtp1::Button9Click() {
  Profiles.DeleteClick();
  ShowProfileFields();
}

// ---- connection ----

void TFtp1::SetProfileControlsEnabled(bool enabled) {
  for (QWidget* w : std::initializer_list<QWidget*>{Button4, Button5, Button6, Button7, Button8, Button9, Edit1,
                                                    Edit2, Edit3, Edit4})
    w->setEnabled(enabled);
}

void TFtp1::OnClientConnected() {
  Button1->setEnabled(false);
  Button2->setEnabled(true);
  SetProfileControlsEnabled(false);
  SetStatusText("接続成功");
}

void TFtp1::OnClientDisconnected() {
  SetStatusText("切断成功");
  Button1->setEnabled(true);
  Button2->setEnabled(false);
  SetProfileControlsEnabled(true);
}

void TFtp1::Button1Click() {
  if (IdFTP1.Connected()) return;
  SetStatusText("接続中...");
  prompts_->ProcessEvents();
  const auto host = ToSjis(Edit2->text());
  const auto user = ToSjis(Edit3->text());
  const auto password = ToSjis(Edit4->text());
  if (!host || !user || !password) {
    ShowPlain(QStringLiteral("Shift-JISで表せない文字が含まれているため接続できません"));
    return;
  }
  try {
    Session.Connect(*host, *user, *password, Profiles.LastRemoteFolder);
    if (IdFTP1.Connected()) RefreshRemoteList();
  } catch (const std::exception& e) {
    ShowError(e);
  }
}

void TFtp1::Button2Click() {
  ListView1->clear();
  IdFTP1.Disconnect();
  // The profile remembers the folder the connection ended in.
  if (TakeProfileFields()) Profiles.WriteBack();
}

void TFtp1::Button3Click() {
  try {
    IdFTP1.AbortTransfer();
  } catch (const std::exception&) {
    // Leaving anyway: the disconnection below closes everything.
  }
  IdFTP1.Disconnect();
  idle_flag_ = true;
  close();
}

// ---- remote pane ----

void TFtp1::RefreshRemoteList() {
  const std::string folder = IdFTP1.CurrentDirectory();
  Profiles.LastRemoteFolder = folder;
  Label5->setText(FromSjis(folder));
  IdFTP1.ListDirectory(nullptr, {}, true);
  const auto rows = transfer::RowsOfListing(IdFTP1.DirectoryListing());
  ListView1->clear();
  ListView1->setUpdatesEnabled(false);
  const QIcon folder_icon = style()->standardIcon(QStyle::SP_DirIcon);
  const QIcon file_icon = style()->standardIcon(QStyle::SP_FileIcon);
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(rows.size()));
  for (const auto& r : rows) {
    auto* item = new QTreeWidgetItem({FromSjis(r.FileName), Q(r.DateText), Q(r.SizeText), FromSjis(r.PermissionText)});
    item->setData(0, kNameRole, QByteArray::fromStdString(r.FileName));
    item->setData(0, kFolderRole, r.Folder);
    item->setIcon(0, r.Folder ? folder_icon : file_icon);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    items.append(item);
  }
  ListView1->addTopLevelItems(items);
  // The date column shows the whole date and time.
  int date_width = ListView1->columnWidth(1);
  for (const QTreeWidgetItem* item : items)
    date_width = qMax(date_width, ListView1->fontMetrics().horizontalAdvance(item->text(1)) + 12);
  ListView1->setColumnWidth(1, date_width);
  // Listing order until the next header click.
  ListView1->header()->setSortIndicatorShown(false);
  ListView1->setUpdatesEnabled(true);
}

std::vector<TFtp1::RemoteRowView> TFtp1::RemoteRows() const {
  std::vector<RemoteRowView> rows;
  for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = ListView1->topLevelItem(i);
    rows.push_back({item->data(0, kNameRole).toByteArray().toStdString(), item->data(0, kFolderRole).toBool(),
                    item->isSelected(), U(item->text(3))});
  }
  return rows;
}

void TFtp1::ListView1DblClick() {
  // A running operation works in the current folder; it must not move.
  if (operation_running_) return;
  const QTreeWidgetItem* first = nullptr;
  for (int i = 0; i < ListView1->topLevelItemCount() && !first; ++i)
    if (ListView1->topLevelItem(i)->isSelected()) first = ListView1->topLevelItem(i);
  if (!first || !first->data(0, kFolderRole).toBool()) return;
  try {
    Session.Enter(first->data(0, kNameRole).toByteArray().toStdString());
    RefreshRemoteList();
    SetStatusText("");
  } catch (const std::exception& e) {
    ShowError(e);
  }
}

void TFtp1::BitBtn1Click() {
  if (operation_running_) return;
  try {
    if (!Session.Up(Profiles.LastRemoteFolder)) return;
    const std::string folder = IdFTP1.CurrentDirectory();
    Profiles.LastRemoteFolder = folder;
    Label5->setText(FromSjis(folder));
    RefreshRemoteList();
  } catch (const std::exception& e) {
    ShowError(e);
  }
}

void TFtp1::BeginRename(QTreeWidgetItem* item) {
  if (!item) return;
  RenameOldName = item->data(0, kNameRole).toByteArray().toStdString();
  RenameEditing = true;
}

bool TFtp1::EndRename(QTreeWidgetItem* item, const QString& new_text) {
  const std::string old_name = RenameOldName;
  RenameOldName.clear();
  RenameEditing = false;
  if (!item || old_name.empty() || new_text == FromSjis(old_name)) return false;
  const auto new_name = ToSjis(new_text);
  if (!new_name || new_name->empty()) {
    ShowPlain(QStringLiteral("「%1」はShift-JISで表せないため名前を変更できません").arg(new_text));
    return false;
  }
  try {
    IdFTP1.RenameFile(old_name, *new_name);
  } catch (const std::exception& e) {
    // The row keeps the typed name until the next refresh.
    ShowError(e);
  }
  item->setData(0, kNameRole, QByteArray::fromStdString(*new_name));
  return true;
}

void TFtp1::CancelRename() {
  RenameOldName.clear();
  RenameEditing = false;
}

// ---- sorting ----

void TFtp1::ColumnClick(QTreeWidget* list, int column) {
  Sort.HeaderClick(column);
  SortList(list);
}

void TFtp1::SortList(QTreeWidget* list) {
  struct Row {
    std::vector<std::string> cells;
    QTreeWidgetItem* item;
    bool selected;
  };
  std::vector<Row> rows;
  const QTreeWidgetItem* current = list->currentItem();
  while (list->topLevelItemCount() > 0) {
    const bool selected = list->topLevelItem(0)->isSelected();
    QTreeWidgetItem* item = list->takeTopLevelItem(0);
    Row r{{}, item, selected};
    for (int c = 0; c < list->columnCount(); ++c) r.cells.push_back(U(item->text(c)));
    rows.push_back(std::move(r));
  }
  const transfer::NameCollator names = [](const std::string& a, const std::string& b) {
    return Q(a).localeAwareCompare(Q(b));
  };
  std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
    return transfer::CompareRows(Sort, a.cells, b.cells, names) < 0;
  });
  QList<QTreeWidgetItem*> items;
  for (const auto& r : rows) items.append(r.item);
  list->addTopLevelItems(items);
  for (const auto& r : rows) {
    r.item->setSelected(r.selected);
    if (r.item == current) list->setCurrentItem(r.item, 0, QItemSelectionModel::NoUpdate);
  }
  if (Sort.SortColumn < list->columnCount()) {
    list->header()->setSortIndicatorShown(true);
    list->header()->setSortIndicator(Sort.SortColumn, Sort.SortDirection < 0 ? Qt::DescendingOrder
                                                                              : Qt::AscendingOrder);
  }
}

// ---- desktop drop ----

void TFtp1::DropOnRemote(const std::vector<std::string>& paths) {
  DroppedFiles = paths;
  if (OnUploadDropped) OnUploadDropped();
}

}  // namespace hemlo
