#include "shell/site_panel.h"

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "shell/desktop_open.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "shell/site_tree_model.h"
#include "site/link_update_window.h"
#include "transfer/ferrox_files.h"
#include "remote/profile.h"
#include "text/cp932.h"

namespace hemlo {

namespace {

namespace fs = std::filesystem;

QString U(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

template <typename T>
T* Named(T* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

// What the editor opens; anything else goes to the desktop's own program.
bool EditorFile(const QString& path) {
  static const QStringList kSuffixes = {"htm", "html", "shtml", "xhtml", "css", "js",
                                        "txt", "lbi",  "xml",   "php",   "svg"};
  return kSuffixes.contains(QFileInfo(path).suffix().toLower());
}

std::string NewPageBytes(const QString& title) {
  return "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"UTF-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
         title.toHtmlEscaped().toStdString() + "</title>\n</head>\n<body>\n\n</body>\n</html>\n";
}

}  // namespace

TSitePanel::TSitePanel(TMainForm& frame, site::TLinkUpdate& links)
    : QDockWidget(QStringLiteral("サイト"), &frame), frame_(frame), links_(links) {
  setObjectName(QStringLiteral("SitePanel"));
  auto* body = new QWidget(this);
  cmbSite = Named(new QComboBox(body), "cmbSite");
  cmbSite->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  lblHint = Named(new QLabel(QStringLiteral("ファイル › サイトを開く... でサイトのフォルダを選びます"), body),
                  "lblHint");
  lblHint->setWordWrap(true);
  tvSite = Named(new QTreeView(body), "tvSite");
  model_ = new SiteTreeModel(marks_, this);
  tvSite->setModel(model_);
  for (int c = 2; c < model_->columnCount(); ++c) tvSite->hideColumn(c);
  tvSite->header()->setStretchLastSection(false);
  tvSite->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  tvSite->header()->setSectionResizeMode(SiteTreeModel::kMarkColumn, QHeaderView::ResizeToContents);
  tvSite->setSelectionMode(QAbstractItemView::SingleSelection);
  tvSite->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvSite->setDragDropMode(QAbstractItemView::DragDrop);
  tvSite->setDefaultDropAction(Qt::MoveAction);
  tvSite->viewport()->setProperty(kOwnFileDrops, true);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(cmbSite);
  layout->addWidget(lblHint);
  layout->addWidget(tvSite, 1);
  setWidget(body);

  auto act = [this](const char* name, const char* caption, void (TSitePanel::*slot)()) {
    auto* a = new QAction(QString::fromUtf8(caption), this);
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, slot);
    tvSite->addAction(a);
    return a;
  };
  actNewPage = act("actNewPage", "新規ページ", &TSitePanel::NewPageClick);
  actNewFolder = act("actNewFolder", "新規フォルダ", &TSitePanel::NewFolderClick);
  actRename = act("actRename", "名前の変更", &TSitePanel::RenameClick);
  actDelete = act("actDelete", "削除", &TSitePanel::DeleteClick);
  tvSite->setContextMenuPolicy(Qt::ActionsContextMenu);

  ChooseFolder = [this](const std::string& start) -> std::optional<std::string> {
    const QString dir =
        QFileDialog::getExistingDirectory(this, QStringLiteral("サイトを開く"), U(start));
    if (dir.isEmpty()) return std::nullopt;
    return dir.toStdString();
  };
  connect(tvSite, &QTreeView::activated, this, &TSitePanel::Activated);
  connect(model_, &SiteTreeModel::moveAsked, this, [this](const QString& from, const QString& to) {
    links_.ShowMove(root_.toStdString(), from.toStdString(), to.toStdString());
  });
  connect(cmbSite, &QComboBox::activated, this,
          [this](int i) { SetRoot(cmbSite->itemData(i).toString()); });
  // Ferrox.ini and the records of publishes live in the state folder: a
  // publish or a changed profile shows at once.
  state_watcher_.addPath(QString::fromStdString(ProgramFolder().string()));
  connect(&state_watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
    ReadProfiles();
    if (marks_.Refresh()) tvSite->viewport()->update();
  });

  ReadProfiles();
  QString start = U(frame_.editor_settings().site_folder);
  if (start.isEmpty() || !QFileInfo(start).isDir()) {
    start.clear();
    for (const std::string& line : marks_.Profiles()) {
      const QString folder = U(publish::ProfileSiteFolder(line));
      if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        start = folder;
        break;
      }
    }
  }
  SetRoot(start);
}

void TSitePanel::ReadProfiles() {
  const auto before = marks_.Profiles();
  marks_.SetProfiles(ProgramFolder(), transfer::ReadProfileFile(ProgramFolder()));
  if (marks_.Profiles() != before) {
    FillSites();
    tvSite->viewport()->update();
  }
}

void TSitePanel::FillSites() {
  cmbSite->clear();
  QStringList seen;
  auto add = [&](const QString& text, const QString& folder) {
    if (folder.isEmpty() || seen.contains(folder)) return;
    seen << folder;
    cmbSite->addItem(text, folder);
  };
  add(root_, root_);
  add(U(frame_.editor_settings().site_folder), U(frame_.editor_settings().site_folder));
  for (const std::string& line : marks_.Profiles()) {
    const QString folder = U(publish::ProfileSiteFolder(line));
    const QString name = U(text::Cp932ToUtf8(transfer::Profile::Parse(line).Name()).value_or(""));
    add(name.isEmpty() ? folder : name + QStringLiteral("（") + folder + QStringLiteral("）"),
        folder);
  }
  cmbSite->setCurrentIndex(cmbSite->findData(root_));
  cmbSite->setVisible(cmbSite->count() > 1);
}

void TSitePanel::SetRoot(const QString& folder) {
  root_ = QDir::cleanPath(folder);
  if (folder.isEmpty()) root_.clear();
  const bool shown = !root_.isEmpty();
  if (shown) {
    model_->setRootPath(root_);
    tvSite->setRootIndex(model_->index(root_));
  }
  tvSite->setVisible(shown);
  lblHint->setVisible(!shown);
  setWindowTitle(shown ? QStringLiteral("サイト - ") + QFileInfo(root_).fileName()
                       : QStringLiteral("サイト"));
  FillSites();
}

void TSitePanel::OpenSiteClick() {
  std::string start = root_.toStdString();
  if (start.empty()) start = frame_.editor_settings().site_folder;
  const auto chosen = ChooseFolder(start);
  if (!chosen) return;
  OpenSite(U(*chosen));
}

void TSitePanel::OpenSite(const QString& folder) {
  if (!QFileInfo(folder).isDir()) {
    frame_.prompts().Error(folder.toStdString() + "\r\nフォルダが見つかりません");
    return;
  }
  EditorSettings s = frame_.editor_settings();
  s.site_folder = QDir::cleanPath(QFileInfo(folder).absoluteFilePath()).toStdString();
  frame_.SetEditorSettings(s);
  if (const WriteResult saved = s.Save(ProgramFolder() / "Editor.ini"); !saved)
    frame_.StatusBar1()->SetText(0, QString::fromStdString("Editor.ini: " + saved.error));
  SetRoot(U(s.site_folder));
  show();
  raise();
}

void TSitePanel::Activated(const QModelIndex& index) {
  if (!index.isValid() || model_->isDir(index)) return;
  const QString path = model_->filePath(index);
  if (EditorFile(path))
    OpenPaths(frame_, {path});
  else
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QString TSitePanel::Selected() const {
  const QModelIndex i = tvSite->currentIndex();
  return i.isValid() ? model_->filePath(i) : QString();
}

QString TSitePanel::TargetFolder() const {
  const QModelIndex i = tvSite->currentIndex();
  if (!i.isValid()) return root_;
  return model_->isDir(i) ? model_->filePath(i) : QFileInfo(model_->filePath(i)).path();
}

QString TSitePanel::AskName(const char* caption, const QString& initial) {
  const auto typed = frame_.prompts().Input(caption, "名前:", initial.toStdString());
  if (!typed) return {};
  const QString name = U(*typed).trimmed();
  if (name.isEmpty() || name == "." || name == ".." || name.contains('/') ||
      name.contains(QChar(0))) {
    frame_.prompts().Message(caption, "その名前は使えません。", Buttons::Ok, Icon::Warning);
    return {};
  }
  return name;
}

void TSitePanel::NewPageClick() {
  if (root_.isEmpty()) return;
  QString name = AskName("新規ページ", QStringLiteral("新しいページ.html"));
  if (name.isEmpty()) return;
  if (QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".html");
  const QString path = TargetFolder() + '/' + name;
  if (QFileInfo::exists(path)) {
    frame_.prompts().Message("新規ページ", "「" + name.toStdString() + "」はもうあります。",
                             Buttons::Ok, Icon::Warning);
    return;
  }
  const WriteResult r =
      WriteFileAtomically(path.toStdString(), NewPageBytes(QFileInfo(name).completeBaseName()));
  if (!r) {
    frame_.prompts().Error(path.toStdString() + "\r\n" + r.error);
    return;
  }
  OpenPaths(frame_, {path});
}

void TSitePanel::NewFolderClick() {
  if (root_.isEmpty()) return;
  const QString name = AskName("新規フォルダ", QStringLiteral("新しいフォルダ"));
  if (name.isEmpty()) return;
  const QString path = TargetFolder() + '/' + name;
  std::error_code ec;
  if (QFileInfo::exists(path) || !fs::create_directory(path.toStdString(), ec))
    frame_.prompts().Error(path.toStdString() + "\r\nフォルダを作れません" +
                           (ec ? "（" + ec.message() + "）" : std::string()));
}

void TSitePanel::RenameClick() {
  const QString from = Selected();
  if (from.isEmpty()) return;
  const QString name = AskName("名前の変更", QFileInfo(from).fileName());
  if (name.isEmpty() || name == QFileInfo(from).fileName()) return;
  // The rename is a move like any other: every link to it is listed first.
  links_.ShowMove(root_.toStdString(), from.toStdString(),
                  (QFileInfo(from).path() + '/' + name).toStdString());
}

bool TSitePanel::OpenUnder(const QString& path) const {
  for (TMDIChild* child : frame_.Children()) {
    const QString page = child->Caption();
    if (!page.isEmpty() && (page == path || page.startsWith(path + '/'))) return true;
  }
  return false;
}

void TSitePanel::DeleteClick() {
  const QString path = Selected();
  if (path.isEmpty()) return;
  const std::string name = QFileInfo(path).fileName().toStdString();
  if (OpenUnder(path)) {
    frame_.prompts().Message("削除", "「" + name + "」のページが開いています。閉じてから削除してください。",
                             Buttons::Ok, Icon::Warning);
    return;
  }
  if (frame_.prompts().Message("削除", "「" + name + "」をごみ箱に移します。よろしいですか？",
                               Buttons::YesNo, Icon::Question, Answer::No) != Answer::Yes)
    return;
  if (!QFile::moveToTrash(path))
    frame_.prompts().Error(path.toStdString() + "\r\nごみ箱に移せません");
}

TSitePanel* AttachSitePanel(TMainForm& frame, site::TLinkUpdate& links) {
  auto* panel = new TSitePanel(frame, links);
  frame.addDockWidget(Qt::LeftDockWidgetArea, panel);
  panel->setVisible(!panel->Root().isEmpty());
  QAction* toggle = frame.action(FrameCommand::SitePanel);
  toggle->setChecked(panel->isVisible());
  QObject::connect(toggle, &QAction::triggered, panel, [panel](bool on) { panel->setVisible(on); });
  QObject::connect(panel->toggleViewAction(), &QAction::toggled, toggle, &QAction::setChecked);
  QObject::connect(frame.action(FrameCommand::SiteOpen), &QAction::triggered, panel,
                   &TSitePanel::OpenSiteClick);
  return panel;
}

}  // namespace hemlo
