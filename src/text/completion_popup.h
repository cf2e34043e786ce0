// The completion list as the pane shows it under the caret: a plain widget
// that paints its visible rows itself. A list view brings a model, a
// viewport and scroll bars of its own, and every one of them is laid out and
// painted again whenever the text beneath the list is, which is every key.
#pragma once

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStringList>
#include <QWidget>
#include <functional>

namespace hemlo::text {

class CompletionPopup : public QWidget {
  Q_OBJECT

 public:
  explicit CompletionPopup(QWidget* parent, int rows_shown);

  // New labels put the choice on the first; the same labels keep the rows
  // as they are and only bring the choice back to the top.
  void SetLabels(const QStringList& labels);
  const QStringList& Labels() const { return labels_; }
  int CurrentRow() const { return current_; }
  // Moves the choice, the rows following it into view.
  void SetCurrentRow(int row);
  int RowsShown() const { return rows_shown_; }

  // The size that shows `rows` rows of the widest label.
  QSize SizeFor(int rows) const;

  // A row clicked: the choice is set first.
  std::function<void()> on_clicked;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  int RowHeight() const;
  int Width(const QString& label);
  const QStaticText& Laid(const QString& label);
  int RowAt(int y) const;
  void ScrollTo(int top);

  const int rows_shown_;
  QStringList labels_;
  int widest_ = 0;
  QHash<QString, int> widths_;  // of labels met, in widths_font_
  QHash<QString, QStaticText> laid_;  // the same, laid out for the paint
  QFont widths_font_;
  int current_ = 0;
  int top_ = 0;  // the first row in view
};

}  // namespace hemlo::text
