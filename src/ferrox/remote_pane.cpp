#include "ferrox/remote_pane.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ferrox/ftp_window_parts.h"
#include "ferrox/remote_list_model.h"

namespace hemlo::transfer_ui {

RemotePane::RemotePane(QWidget* parent) : QWidget(parent) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(3);

  auto* folder_row = new QHBoxLayout;
  folder_label = new QLabel(this);
  folder_label->setObjectName(QStringLiteral("Label5"));
  SetColour(folder_label, QPalette::WindowText, kLime);
  folder_label->setTextFormat(Qt::PlainText);
  folder_row->addWidget(folder_label, 1);
  up_button = new QToolButton(this);
  up_button->setObjectName(QStringLiteral("BitBtn1"));
  up_button->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
  up_button->setToolTip(QStringLiteral("１つ上のﾌｫﾙﾀﾞへ"));
  folder_row->addWidget(up_button);
  column->addLayout(folder_row);

  list = new RemoteListView(this);
  list->setObjectName(QStringLiteral("ListView1"));
  model = new RemoteListModel(this);
  model->SetIcons(style()->standardIcon(QStyle::SP_DirIcon),
                  style()->standardIcon(QStyle::SP_FileIcon));
  list->setModel(model);
  const int widths[] = {120, 90, 80, 80};
  for (int i = 0; i < 4; ++i) list->setColumnWidth(i, widths[i]);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setDragEnabled(true);
  list->setAcceptDrops(true);
  list->setDragDropMode(QAbstractItemView::DragDrop);
  list->setDefaultDropAction(Qt::CopyAction);
  QHeaderView* header = list->horizontalHeader();
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(false);
  // A report list: one line a row, no grid; a table keeps each appended
  // batch cheap however long the list grows.
  list->verticalHeader()->hide();
  list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
  list->setShowGrid(false);
  list->setWordWrap(false);
  header->setHighlightSections(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setStretchLastSection(true);
  list->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  list->accept_rows_from = QStringLiteral("ListView2");
  list->accept_desktop_files = true;
  column->addWidget(list, 1);

  menu = new QMenu(this);
  permission_action = AddMenuItem(menu, "N1", QStringLiteral("パーミション"));
  create_folder_action = AddMenuItem(menu, "N2", QStringLiteral("フォルダ作成"));
  delete_action = AddMenuItem(menu, "Delete1", QStringLiteral("削除"));
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { menu->popup(list->viewport()->mapToGlobal(p)); });
}

std::vector<int> RemotePane::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& i : list->selectionModel()->selectedRows()) rows.push_back(i.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

void RemotePane::FitDateColumn() {
  // All dates are as wide: the first rows tell.
  int date_width = list->columnWidth(1);
  const int n = std::min(model->Count(), 1000);
  for (int row = 0; row < n; ++row)
    date_width =
        qMax(date_width, list->fontMetrics().horizontalAdvance(model->CellText(row, 1)) + 12);
  list->setColumnWidth(1, date_width);
}

void RemotePane::SetCommandsEnabled(bool enabled) {
  up_button->setEnabled(enabled);
  for (QAction* a : menu->actions()) a->setEnabled(enabled);
}

void RemotePane::ShowSortIndicator(int column, bool descending) {
  list->horizontalHeader()->setSortIndicatorShown(true);
  list->horizontalHeader()->setSortIndicator(column,
                                             descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void RemotePane::HideSortIndicator() { list->horizontalHeader()->setSortIndicatorShown(false); }

}  // namespace hemlo::transfer_ui
