#pragma once
// The controls of the Ferrox window and its permission dialog, found by
// their object names.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QStringList>
#include <QTableView>
#include <QTreeWidget>
#include <memory>

#include "support/test_bounds.h"
#include "ferrox/ftp2_form.h"
#include "ferrox/ftp_window.h"

namespace hemlo {

struct FtpControls {
  explicit FtpControls(TFtp1& w)
      : Edit1(Find<QLineEdit>(w, "Edit1")),
        Edit2(Find<QLineEdit>(w, "Edit2")),
        Edit3(Find<QLineEdit>(w, "Edit3")),
        Edit4(Find<QLineEdit>(w, "Edit4")),
        cmbDataMode(Find<QComboBox>(w, "cmbDataMode")),
        cmbNameEncoding(Find<QComboBox>(w, "cmbNameEncoding")),
        Label5(Find<QLabel>(w, "Label5")),
        LblCount(Find<QLabel>(w, "LblCount")),
        Button1(Find<QPushButton>(w, "Button1")),
        Button2(Find<QPushButton>(w, "Button2")),
        Button3(Find<QPushButton>(w, "Button3")),
        Button5(Find<QPushButton>(w, "Button5")),
        Button6(Find<QPushButton>(w, "Button6")),
        Button7(Find<QPushButton>(w, "Button7")),
        Button10(Find<QPushButton>(w, "Button10")),
        Button11(Find<QPushButton>(w, "Button11")),
        Button16(Find<QPushButton>(w, "Button16")),
        BitBtn1(Find<QToolButton>(w, "BitBtn1")),
        ListView1(Find<QTableView>(w, "ListView1")),
        ListView2(Find<QTreeWidget>(w, "ListView2")),
        ComboBox1(Find<QComboBox>(w, "ComboBox1")),
        CheckBox1(Find<QCheckBox>(w, "CheckBox1")),
        DriveComboBox1(Find<QComboBox>(w, "DriveComboBox1")),
        DirectoryListBox1(Find<QListWidget>(w, "DirectoryListBox1")),
        StatusBar1(Find<QStatusBar>(w, "StatusBar1")),
        StatusPanel0(Find<QLabel>(w, "StatusPanel0")),
        ProgressBar1(Find<QProgressBar>(w, "ProgressBar1")) {}

  QLineEdit *Edit1, *Edit2, *Edit3, *Edit4;
  QComboBox* cmbDataMode;
  QComboBox* cmbNameEncoding;
  QLabel *Label5, *LblCount;
  QPushButton *Button1, *Button2, *Button3, *Button5, *Button6, *Button7, *Button10, *Button11,
      *Button16;
  QToolButton* BitBtn1;
  QTableView* ListView1;  // the remote list, a view over its model
  QTreeWidget* ListView2;
  QComboBox* ComboBox1;
  QCheckBox* CheckBox1;
  QComboBox* DriveComboBox1;
  QListWidget* DirectoryListBox1;
  QStatusBar* StatusBar1;
  QLabel* StatusPanel0;
  QProgressBar* ProgressBar1;

 private:
  template <typename T>
  static T* Find(TFtp1& w, const char* name) {
    return w.findChild<T*>(QString::fromLatin1(name));
  }
};

// Lets events run until `done` holds or `timeout_ms` (stretched on a slow
// machine) passes; says whether it holds.
template <typename Done>
bool WaitUntil(Done done, int timeout_ms = 60'000) {
  const int bound_ms = test_support::BoundMs(timeout_ms);
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < bound_ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!done()) QThread::msleep(1);
  }
  return done();
}

// Lets events run until the window has taken the end of its client
// command (each test's own bound, stretched on a slow machine).
inline bool Settle(TFtp1& w, int timeout_ms = 60'000) {
  return WaitUntil([&w] { return !w.ClientBusy(); }, timeout_ms);
}

inline FtpControls Ui(TFtp1& w) { return FtpControls(w); }
inline FtpControls Ui(const std::unique_ptr<TFtp1>& w) { return FtpControls(*w); }

// The remote list through its model.
inline int RemoteCount(QAbstractItemView* list) { return list->model()->rowCount(); }
inline QString RemoteCell(QAbstractItemView* list, int row, int column) {
  return list->model()->index(row, column).data().toString();
}
inline QStringList RemoteColumn(QAbstractItemView* list, int column) {
  QStringList cells;
  for (int row = 0; row < RemoteCount(list); ++row) cells << RemoteCell(list, row, column);
  return cells;
}
// The row showing `name`; -1 when there is none.
inline int RemoteRow(QAbstractItemView* list, const QString& name) {
  return static_cast<int>(RemoteColumn(list, 0).indexOf(name));
}
// Selects the row showing `name` alone; false when there is none.
inline bool SelectRemote(QAbstractItemView* list, const QString& name) {
  list->clearSelection();
  const int row = RemoteRow(list, name);
  if (row < 0) return false;
  list->selectionModel()->select(list->model()->index(row, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  return true;
}
inline bool SelectRemote(TFtp1& w, const QString& name) {
  return SelectRemote(w.findChild<QAbstractItemView*>(QStringLiteral("ListView1")), name);
}

// The permission dialog's controls, found by their object names.
struct Ftp2Controls {
  explicit Ftp2Controls(const transfer::TFtp2& d)
      : Label1(d.findChild<QLabel*>("Label1")),
        Label2(d.findChild<QLabel*>("Label2")),
        Label4(d.findChild<QLabel*>("Label4")),
        Edit1(d.findChild<QLineEdit*>("Edit1")),
        Button1(d.findChild<QPushButton*>("Button1")),
        Button2(d.findChild<QPushButton*>("Button2")) {
    for (int k = 0; k < 9; ++k)
      CheckBoxes[k] = d.findChild<QCheckBox*>(QStringLiteral("CheckBox%1").arg(k + 1));
  }
  QLabel *Label1, *Label2, *Label4;
  QLineEdit* Edit1;
  QPushButton *Button1, *Button2;
  QCheckBox* CheckBoxes[9];
};
inline Ftp2Controls Ui(const transfer::TFtp2& dialog) { return Ftp2Controls(dialog); }

}  // namespace hemlo
