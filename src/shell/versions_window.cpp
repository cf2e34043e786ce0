#include "shell/versions_window.h"

#include <QAction>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "shell/version_diff.h"
#include "text/byte_text.h"
#include "text/document_encoding.h"
#include "text/qt_edit_pane.h"
#include "text/sjis_bridge.h"

namespace hemlo {

namespace {

QString SizeText(std::uint64_t bytes) {
  return QStringLiteral("%1 バイト").arg(QLocale(QLocale::Japanese).toString(qulonglong(bytes)));
}

// A version as the pane would hold it: CRLF breaks, no byte-order mark.
std::string AsPaneBytes(std::string_view file, text::Encoding encoding) {
  if (encoding == text::Encoding::kUtf8 && file.substr(0, text::kUtf8Bom.size()) == text::kUtf8Bom)
    file.remove_prefix(text::kUtf8Bom.size());
  return text::NormalizeLineBreaks(file);
}

}  // namespace

TVersionsWindow::TVersionsWindow(TMainForm* frame) : QDialog(frame), frame_(frame) {
  setObjectName(QStringLiteral("Versions"));
  setWindowTitle(QStringLiteral("以前の版"));
  resize(720, 560);
  auto* layout = new QVBoxLayout(this);
  lblPage = new QLabel(this);
  lblPage->setObjectName(QStringLiteral("lblPage"));
  layout->addWidget(lblPage);
  lstVersions = new QTreeWidget(this);
  lstVersions->setObjectName(QStringLiteral("lstVersions"));
  lstVersions->setHeaderLabels({QStringLiteral("日時"), QStringLiteral("サイズ"),
                                QStringLiteral("保存した操作")});
  lstVersions->setRootIsDecorated(false);
  lstVersions->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  layout->addWidget(lstVersions, 1);
  memDifference = new QPlainTextEdit(this);
  memDifference->setObjectName(QStringLiteral("memDifference"));
  memDifference->setReadOnly(true);
  memDifference->setLineWrapMode(QPlainTextEdit::NoWrap);
  layout->addWidget(memDifference, 2);
  auto* buttons = new QDialogButtonBox(this);
  btnRestore = buttons->addButton(QStringLiteral("復元"), QDialogButtonBox::ActionRole);
  btnRestore->setObjectName(QStringLiteral("btnRestore"));
  QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
  close->setObjectName(QStringLiteral("btnClose"));
  layout->addWidget(buttons);
  connect(lstVersions, &QTreeWidget::currentItemChanged, this, [this] { ShowDifference(); });
  connect(btnRestore, &QPushButton::clicked, this, [this] { RestoreClick(); });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void TVersionsWindow::ShowFor() {
  child_ = frame_->ActiveChild();
  lstVersions->clear();
  memDifference->clear();
  versions_.clear();
  page_.clear();
  if (child_ && !child_->Caption().isEmpty()) {
    page_ = child_->Caption().toStdString();
    versions_ = ProgramVersionStore().Versions(page_);
  }
  if (page_.empty())
    lblPage->setText(QStringLiteral("保存されていないページには以前の版がありません。"));
  else if (versions_.empty())
    lblPage->setText(QString::fromStdString(page_) + QStringLiteral(" の以前の版はまだありません。"));
  else
    lblPage->setText(QString::fromStdString(page_));
  for (const StoredVersion& v : versions_) {
    auto* item = new QTreeWidgetItem(lstVersions);
    item->setText(0, QDateTime::fromSecsSinceEpoch(v.time).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
    item->setText(1, SizeText(v.size));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setText(2, QString::fromStdString(v.writer));
  }
  if (lstVersions->topLevelItemCount() > 0) lstVersions->setCurrentItem(lstVersions->topLevelItem(0));
  btnRestore->setEnabled(!versions_.empty());
  show();
  raise();
  activateWindow();
}

std::optional<std::string> TVersionsWindow::ChosenBytes() const {
  const int row = lstVersions->indexOfTopLevelItem(lstVersions->currentItem());
  if (row < 0 || static_cast<std::size_t>(row) >= versions_.size()) return std::nullopt;
  return ProgramVersionStore().Bytes(page_, versions_[static_cast<std::size_t>(row)].hash);
}

void TVersionsWindow::ShowDifference() {
  memDifference->clear();
  if (!child_) return;
  const auto bytes = ChosenBytes();
  if (!bytes) {
    if (lstVersions->currentItem())
      memDifference->setPlainText(QStringLiteral("この版は読み出せません（保存先が壊れています）。"));
    return;
  }
  const text::Encoding encoding = child_->Memo()->DocumentEncoding();
  const auto lines = DiffLines(AsPaneBytes(*bytes, encoding), child_->Memo()->Text());
  // Changed lines marked, and coloured: red only in the version, green only now.
  QTextCursor cursor(memDifference->document());
  QTextCharFormat plain, removed, added, folded;
  removed.setBackground(QColor(0xff, 0xdd, 0xdd));
  added.setBackground(QColor(0xdd, 0xff, 0xdd));
  folded.setForeground(Qt::gray);
  bool changed = false;
  for (const DiffLine& l : lines) {
    if (!cursor.atStart()) cursor.insertText(QStringLiteral("\n"), plain);
    switch (l.mark) {
      case '~':
        cursor.insertText(QStringLiteral("  …（変更のない %1 行）").arg(l.skipped), folded);
        break;
      case '-':
        changed = true;
        cursor.insertText(QStringLiteral("- ") + sjis::DecodeFor(l.text, encoding), removed);
        break;
      case '+':
        changed = true;
        cursor.insertText(QStringLiteral("+ ") + sjis::DecodeFor(l.text, encoding), added);
        break;
      default:
        cursor.insertText(QStringLiteral("  ") + sjis::DecodeFor(l.text, encoding), plain);
    }
  }
  if (!changed) memDifference->setPlainText(QStringLiteral("この版は現在の内容と同じです。"));
  memDifference->moveCursor(QTextCursor::Start);
}

void TVersionsWindow::RestoreClick() {
  if (!child_) return;
  const auto bytes = ChosenBytes();
  if (!bytes) {
    frame_->forwarding_prompts().Error("この版は読み出せません（保存先が壊れています）。");
    return;
  }
  text::QtEditPane* pane = child_->Memo();
  const std::string restored = AsPaneBytes(*bytes, pane->DocumentEncoding());
  if (!text::IsValidIn(restored, pane->DocumentEncoding())) {
    frame_->forwarding_prompts().Error(
        "この版は現在の文字コードでは読めません。文字コードを変換してから復元してください。");
    return;
  }
  // One undo step; the file changes only when the user saves.
  pane->SelectAll();
  pane->ReplaceSelection(restored);
  pane->SetSelStart(0);
  frame_->StatusBar1()->SetText(0, QStringLiteral("以前の版を復元しました（保存するとファイルに書き込みます）"));
  ShowDifference();
}

void WireVersionsWindow(TMainForm& frame) {
  auto* window = new TVersionsWindow(&frame);
  QObject::connect(frame.action(FrameCommand::FileVersions), &QAction::triggered, window,
                   &TVersionsWindow::ShowFor);
  QObject::connect(&frame, &TMainForm::closing, window, &QWidget::close);
}

}  // namespace hemlo
