#include "favourites/favourites_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

#include "text/cp932.h"
#include "text/sjis_bridge.h"

namespace hemlo::favourites {
namespace {

// Node data: the Shift-JIS bytes of the node's text (kept so that codes the
// display cannot tell apart are written back unchanged) and, for entries,
// the favourite record.
constexpr int kBytesRole = Qt::UserRole;
constexpr int kRecordRole = Qt::UserRole + 1;

// UTF-8 from the frame or an input box to Shift-JIS, twins applied.
std::optional<std::string> ToCp932(const std::string& utf8) {
  sjis::Encoded e =
      sjis::Encode(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
  if (!e.ok()) return std::nullopt;
  return std::move(e.bytes);
}

// Shift-JIS bytes of a page's title or address that may hold characters
// CP932 lacks: in a title each becomes "?", in an address its UTF-8 bytes
// percent-escaped (which any browser reads back). `changed` is set when any did.
std::string ToCp932Replacing(const std::string& utf8, bool address, bool& changed) {
  const QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  std::string out;
  for (qsizetype i = 0; i < s.size();) {
    const qsizetype n =
        s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate() ? 2 : 1;
    const QString one = s.mid(i, n);
    i += n;
    if (n == 1) {
      const char16_t unit = text::ToCp932Twin(one[0].unicode());
      if (!text::IsRawByteCodePoint(unit))
        if (auto bytes = text::Encode(std::u16string_view(&unit, 1))) {
          out += *bytes;
          continue;
        }
    }
    changed = true;
    out += address ? one.toUtf8().toPercentEncoding().toStdString() : std::string("?");
  }
  return out;
}

std::string NodeBytes(const QTreeWidgetItem* item) {
  const QByteArray b = item->data(0, kBytesRole).toByteArray();
  return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

FavouriteRecord* RecordOf(const QTreeWidgetItem* item) {
  return reinterpret_cast<FavouriteRecord*>(item->data(0, kRecordRole).value<quintptr>());
}

QTreeWidgetItem* MakeNode(const std::string& bytes) {
  auto* item = new QTreeWidgetItem(QStringList{sjis::Decode(bytes)});
  item->setData(0, kBytesRole, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  return item;
}

}  // namespace

TForm4::TForm4(QWidget* frame, FavouritesHost& host, Prompts& prompts)
    : QDialog(frame, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint |
                         Qt::WindowTitleHint),
      frame_(frame),
      host_(host),
      prompts_(prompts) {
  setObjectName("Form4");
  setWindowTitle(QStringLiteral("お気に入り一覧"));
  QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
  font.setPixelSize(12);
  setFont(font);
  resize(359, 276);

  Label1 = new QLabel(QStringLiteral("お気に入りの一覧です"), this);
  TreeView1 = new QTreeWidget(this);
  TreeView1->setObjectName("TreeView1");
  TreeView1->setHeaderHidden(true);
  TreeView1->setIndentation(19);
  TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
  Button1 = new QPushButton(QStringLiteral("WEBに表示させる"), this);
  Button2 = new QPushButton(QStringLiteral("閉じる"), this);
  Label1->setObjectName("Label1");
  Button1->setObjectName("Button1");
  Button2->setObjectName("Button2");
  Button1->setAutoDefault(false);
  Button2->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(Label1);
  layout->addWidget(TreeView1, 1);  // grows with the window
  layout->addLayout(buttons);

  PopupMenu1 = new QMenu(this);
  Add1 = PopupMenu1->addAction(QStringLiteral("新しい分類を作成"));
  Add2 = PopupMenu1->addAction(QStringLiteral("この分類の下に追加"));
  Delete1 = PopupMenu1->addAction(QStringLiteral("削除"));
  PopupMenu1->setObjectName("PopupMenu1");
  Add1->setObjectName("Add1");
  Add2->setObjectName("Add2");
  Delete1->setObjectName("Delete1");
  connect(Add1, &QAction::triggered, this, &TForm4::Add1Click);
  connect(Add2, &QAction::triggered, this, &TForm4::Add2Click);
  connect(Delete1, &QAction::triggered, this, &TForm4::Delete1Click);
  connect(TreeView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    PopupMenu1->popup(TreeView1->viewport()->mapToGlobal(pos));
  });
  connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm4::Button2Click);
  // A node's branch opens when it is selected.
  connect(TreeView1, &QTreeWidget::currentItemChanged, this,
          [](QTreeWidgetItem* current, QTreeWidgetItem*) {
            if (current) current->setExpanded(true);
          });

  FormCreate();
}

void TForm4::FormCreate() {
  if (const FileResult loaded = list_.Load(); !loaded) prompts_.Error(loaded.message);
}

void TForm4::Center() {
  if (!frame_) return;
  const QRect f = frame_->frameGeometry();
  move(f.left() + (f.width() - frameGeometry().width()) / 2,
       f.top() + (f.height() - frameGeometry().height()) / 2);
}

QTreeWidgetItem* TForm4::NewCategoryNode(const std::string& name_cp932) {
  return MakeNode(name_cp932);
}

void TForm4::BuildTree() {
  ReleaseRecords();
  TreeView1->setUpdatesEnabled(false);
  TreeView1->clear();
  for (const auto& category : BuildFavouriteTree(list_.lines())) {
    QTreeWidgetItem* node = NewCategoryNode(category.name);
    TreeView1->addTopLevelItem(node);
    for (const auto& entry : category.entries) {
      auto& record = FavouriteRecords.emplace_back(std::make_unique<FavouriteRecord>());
      record->url = entry.url;
      QTreeWidgetItem* child = MakeNode(entry.title);
      child->setData(0, kRecordRole, QVariant::fromValue(reinterpret_cast<quintptr>(record.get())));
      node->addChild(child);
    }
  }
  TreeView1->setUpdatesEnabled(true);
}

void TForm4::ReleaseRecords() {
  // The tree may still point at records (title-bar close); clear it first.
  if (!FavouriteRecords.empty()) TreeView1->clear();
  FavouriteRecords.clear();
}

void TForm4::mnuFavoriteClick() {
  BuildTree();
  QTimer::singleShot(0, this, &TForm4::Center);  // once shown, when the frame size is known
  exec();
  ReleaseRecords();
}

QTreeWidgetItem* TForm4::SelectedNode() const {
  const auto selected = TreeView1->selectedItems();
  return selected.isEmpty() ? nullptr : selected.front();
}

std::vector<FavouriteCategory> TForm4::TreeInDisplayOrder() const {
  std::vector<FavouriteCategory> tree;
  for (int i = 0; i < TreeView1->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* node = TreeView1->topLevelItem(i);
    FavouriteCategory category{NodeBytes(node), {}};
    for (int j = 0; j < node->childCount(); ++j) {
      const QTreeWidgetItem* child = node->child(j);
      const FavouriteRecord* record = RecordOf(child);
      category.entries.push_back({NodeBytes(child), record ? record->url : std::string()});
    }
    tree.push_back(std::move(category));
  }
  return tree;
}

void TForm4::SaveFavourites() {
  const auto result = favourites::SaveFavourites(TreeInDisplayOrder(), list_);
  if (!result) {
    prompts_.Error(result.message);
    return;  // the window stays open
  }
  TreeView1->clear();
  done(QDialog::Accepted);
}

void TForm4::Button1Click() {
  if (TreeView1->topLevelItemCount() == 0) return;
  QTreeWidgetItem* node = SelectedNode();
  if (!node || !node->parent()) return;
  const FavouriteRecord* record = RecordOf(node);
  const std::string url = record ? record->url : std::string();
  host_.OpenUrl(text::Cp932ToUtf8(url).value_or(sjis::Decode(url).toStdString()));
  SaveFavourites();
}

void TForm4::Button2Click() { SaveFavourites(); }

void TForm4::reject() { Button2Click(); }

void TForm4::closeEvent(QCloseEvent* event) {
  // The title-bar box: leave without saving; the list keeps what it had.
  event->accept();
  QDialog::done(QDialog::Rejected);
}

QTreeWidgetItem* TForm4::NewEntryFromPage(const std::string& url, const std::string& title) {
  bool title_changed = false, url_changed = false;
  const std::string title_bytes = ToCp932Replacing(title, false, title_changed);
  const std::string url_bytes = ToCp932Replacing(url, true, url_changed);
  if (title_changed || url_changed) {
    std::string note = "お気に入りに追加しました。";
    if (title_changed) note += "タイトルの Shift-JIS で保存できない文字は「?」にしました。";
    if (url_changed) note += "アドレスの Shift-JIS で保存できない文字は %xx の形にしました。";
    host_.ShowStatus(note);
  }
  auto& record = FavouriteRecords.emplace_back(std::make_unique<FavouriteRecord>());
  record->url = url_bytes;
  QTreeWidgetItem* child = MakeNode(title_bytes);
  child->setData(0, kRecordRole, QVariant::fromValue(reinterpret_cast<quintptr>(record.get())));
  return child;
}

void TForm4::Add1Click() {
  if (!host_.HasDocumentWindow()) return;
  const std::string url = host_.ActivePageUrl();
  if (url.empty()) return;
  QTreeWidgetItem* selected = SelectedNode();
  if (selected && selected->parent()) return;  // an entry is selected

  const auto answer = prompts_.Input("分類の追加", "新しい分類を入力してください", "新しい分類");
  if (!answer || answer->empty()) return;
  const auto name = ToCp932(*answer);
  if (!name) {
    prompts_.Error("分類名に Shift-JIS で保存できない文字があります。");
    return;
  }
  std::vector<std::string> names;
  for (int i = 0; i < TreeView1->topLevelItemCount(); ++i)
    names.push_back(NodeBytes(TreeView1->topLevelItem(i)));
  if (CategoryExists(names, *name)) return;

  QTreeWidgetItem* entry = NewEntryFromPage(url, host_.ActivePageTitle());
  if (!entry) return;
  QTreeWidgetItem* node = NewCategoryNode(*name);
  // Before the selected category; at the end when nothing is selected.
  const int at =
      selected ? TreeView1->indexOfTopLevelItem(selected) : TreeView1->topLevelItemCount();
  TreeView1->insertTopLevelItem(at, node);
  node->addChild(entry);
  node->setExpanded(true);
}

void TForm4::Add2Click() {
  if (!host_.HasDocumentWindow()) return;
  QTreeWidgetItem* selected = SelectedNode();
  if (!selected || selected->parent()) return;
  QTreeWidgetItem* entry = NewEntryFromPage(host_.ActivePageUrl(), host_.ActivePageTitle());
  if (!entry) return;
  selected->addChild(entry);
  selected->setExpanded(true);
}

void TForm4::Delete1Click() {
  QTreeWidgetItem* selected = SelectedNode();
  if (!selected) return;
  const std::string text = "『" + selected->text(0).toStdString() + "』を削除しますか";
  if (prompts_.Message("警告", text, Buttons::YesNoCancel, Icon::Warning, Answer::No) !=
      Answer::Yes)
    return;
  // Taken out of the tree and destroyed with its entries; their records go
  // when the window has closed.
  QTreeWidgetItem* parent = selected->parent();
  std::unique_ptr<QTreeWidgetItem> gone(
      parent ? parent->takeChild(parent->indexOfChild(selected))
             : TreeView1->takeTopLevelItem(TreeView1->indexOfTopLevelItem(selected)));
}

}  // namespace hemlo::favourites
