#include "site/site_search_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/version_store.h"
#include "site/open_pages.h"
#include "site/site_window_parts.h"

namespace hemlo::site {

namespace {

constexpr int kFileRole = Qt::UserRole;
constexpr int kHitRole = Qt::UserRole + 1;

QString Relative(const std::filesystem::path& p, const QString& root) {
  std::error_code ec;
  const auto rel = std::filesystem::relative(p, S(root), ec);
  return U(ec || rel.empty() ? p.string() : rel.generic_string());
}

template <typename T>
T* Named(T* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

}  // namespace

TSiteSearch::TSiteSearch(QWidget* frame, SiteHost& host, Prompts& prompts)
    : QWidget(frame, Qt::Window), host_(host), prompts_(prompts) {
  setObjectName(QStringLiteral("SiteSearch"));
  setWindowTitle(QStringLiteral("サイト内検索･置換"));
  resize(760, 480);
  edFolder = Named(new QLineEdit(this), "edFolder");
  auto* browse = Named(new QPushButton(QStringLiteral("参照..."), this), "btnFolder");
  edSearch = Named(new QLineEdit(this), "edSearch");
  edReplace = Named(new QLineEdit(this), "edReplace");
  edPatterns = Named(new QLineEdit(U(std::string(kDefaultFilePatterns)), this), "edPatterns");
  chkCase = Named(new QCheckBox(QStringLiteral("大文字と小文字を区別する"), this), "chkCase");
  chkWord = Named(new QCheckBox(QStringLiteral("単語単位"), this), "chkWord");
  chkRegex = Named(new QCheckBox(QStringLiteral("正規表現"), this), "chkRegex");
  btnSearch = Named(new QPushButton(QStringLiteral("検索"), this), "btnSearch");
  btnPreview = Named(new QPushButton(QStringLiteral("置換の確認"), this), "btnPreview");
  btnReplace = Named(new QPushButton(QStringLiteral("置換"), this), "btnReplace");
  btnUndo = Named(new QPushButton(QStringLiteral("元に戻す"), this), "btnUndo");
  lvResults = Named(new QTreeWidget(this), "lvResults");
  lblStatus = Named(new QLabel(this), "lblStatus");
  SetUpChangeList(*lvResults,
                  {QStringLiteral("ファイル"), QStringLiteral("行"), QStringLiteral("内容"),
                   QStringLiteral("置換後")},
                  160, 260);
  btnReplace->setEnabled(false);
  btnUndo->setEnabled(false);

  LabelledRows rows(*this);
  rows.Add("検索する文字列:", edSearch, btnSearch);
  rows.Add("置換後の文字列:", edReplace, btnPreview);
  rows.Add("フォルダ:", edFolder, browse);
  rows.Add("ファイルの種類:", edPatterns);
  auto* options = new QHBoxLayout;
  options->addWidget(chkCase);
  options->addWidget(chkWord);
  options->addWidget(chkRegex);
  options->addStretch();
  options->addWidget(btnReplace);
  options->addWidget(btnUndo);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(rows.grid());
  layout->addLayout(options);
  layout->addWidget(lvResults, 1);
  layout->addWidget(lblStatus);

  ConnectFolderBrowse(*this, *browse, *edFolder);
  connect(btnSearch, &QPushButton::clicked, this, &TSiteSearch::SearchClick);
  connect(edSearch, &QLineEdit::returnPressed, this, &TSiteSearch::SearchClick);
  connect(btnPreview, &QPushButton::clicked, this, &TSiteSearch::PreviewClick);
  connect(btnReplace, &QPushButton::clicked, this, &TSiteSearch::ReplaceClick);
  connect(btnUndo, &QPushButton::clicked, this, &TSiteSearch::UndoClick);
  connect(lvResults, &QTreeWidget::itemDoubleClicked, this, &TSiteSearch::ItemDoubleClicked);
}

void TSiteSearch::ShowFor() {
  ShowInStartFolder(*this, *edFolder, host_);
  edSearch->setFocus();
  edSearch->selectAll();
}

SearchOptions TSiteSearch::Options() const {
  SearchOptions o;
  o.pattern = S(edSearch->text());
  o.match_case = chkCase->isChecked();
  o.whole_word = chkWord->isChecked();
  o.regex = chkRegex->isChecked();
  o.file_patterns = S(edPatterns->text());
  return o;
}

void TSiteSearch::Run(bool with_replacement) {
  const QString folder = edFolder->text();
  std::error_code ec;
  if (folder.isEmpty() || !std::filesystem::is_directory(S(folder), ec)) {
    prompts_.Message("確認", "検索するフォルダを指定してください。", Buttons::Ok, Icon::Warning);
    return;
  }
  SearchOptions o = Options();
  if (with_replacement) o.replacement = S(edReplace->text());
  QApplication::setOverrideCursor(Qt::WaitCursor);
  result_ = SearchSite(S(folder), o);
  QApplication::restoreOverrideCursor();
  previewing_ = with_replacement && result_.error.empty();
  if (!result_.error.empty()) {
    prompts_.Message("確認", result_.error, Buttons::Ok, Icon::Warning);
    result_ = {};
  }
  Fill();
}

void TSiteSearch::Fill() {
  lvResults->clear();
  lvResults->setColumnHidden(3, !previewing_);
  QList<QTreeWidgetItem*> items;
  const QString root = edFolder->text();
  for (std::size_t f = 0; f < result_.files.size(); ++f) {
    const FileHits& file = result_.files[f];
    const QString name = Relative(file.path, root);
    for (std::size_t h = 0; h < file.hits.size(); ++h) {
      const Hit& hit = file.hits[h];
      auto* item = new QTreeWidgetItem;
      item->setText(0, name);
      item->setText(1, QString::number(hit.line));
      item->setText(2, U(hit.line_text));
      item->setData(0, kFileRole, static_cast<qulonglong>(f));
      item->setData(0, kHitRole, static_cast<qulonglong>(h));
      if (previewing_) {
        item->setText(3, U(LineAfter(file, hit)));
        item->setCheckState(0, Qt::Checked);
      }
      items.push_back(item);
    }
  }
  lvResults->addTopLevelItems(items);
  btnReplace->setEnabled(previewing_ && !items.isEmpty());
  QString status = QStringLiteral("%1 ファイル中 %2 ファイルで %3 件見つかりました")
                       .arg(result_.files_searched)
                       .arg(result_.files.size())
                       .arg(result_.HitCount());
  if (!result_.unreadable.empty())
    status += QStringLiteral("（読めないファイル %1）").arg(result_.unreadable.size());
  lblStatus->setText(status);
}

void TSiteSearch::SearchClick() { Run(false); }

void TSiteSearch::PreviewClick() { Run(true); }

void TSiteSearch::ReplaceClick() {
  if (!previewing_) return;
  for (int i = 0; i < lvResults->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = lvResults->topLevelItem(i);
    result_.files[item->data(0, kFileRole).toULongLong()]
        .hits[item->data(0, kHitRole).toULongLong()]
        .included = item->checkState(0) == Qt::Checked;
  }
  auto written =
      WriteWithOpenPages(result_, "保存してから置換してください。", last_, *btnUndo, host_, prompts_);
  if (!written) return;
  ReplaceOutcome& out = *written;
  lblStatus->setText(QStringLiteral("%1 ファイルで %2 件置換しました")
                         .arg(out.record.files.size())
                         .arg(out.record.replacements));
  if (const std::string notice = VersionNoticeOnce({out.version_notice.empty(), out.version_notice});
      !notice.empty())
    lblStatus->setText(lblStatus->text() + QStringLiteral("。") + QString::fromStdString(notice));
  last_ = std::move(out.record);
  previewing_ = false;
  btnReplace->setEnabled(false);
  btnUndo->setEnabled(true);
}

void TSiteSearch::UndoClick() {
  UndoWithOpenPages(last_, *btnUndo, *lblStatus, QStringLiteral("%1 ファイルを元に戻しました"), host_,
                    prompts_);
}

void TSiteSearch::ItemDoubleClicked(QTreeWidgetItem* item) {
  if (!item) return;
  const auto f = item->data(0, kFileRole).toULongLong();
  const auto h = item->data(0, kHitRole).toULongLong();
  if (f >= result_.files.size() || h >= result_.files[f].hits.size()) return;
  const Hit& hit = result_.files[f].hits[h];
  host_.ShowPlace(result_.files[f].path, hit.line, hit.column);
}

}  // namespace hemlo::site
