#pragma once
// The Ferrox window's status bar (StatusBar1): the status text
// (StatusPanel0), the program's name (StatusPanel1) and, while files
// travel, the progress bar (ProgressBar1).
#include <QStatusBar>
#include <cstdint>

class QLabel;
class QProgressBar;

namespace hemlo::transfer_ui {

class StatusLine : public QStatusBar {
  Q_OBJECT

 public:
  explicit StatusLine(QWidget* parent = nullptr);

  // File n of m is about to travel; m = 0 hides the progress bar.
  void SetFileProgress(int n, int m);
  // Bytes of the current file (total 0 = unknown).
  void SetByteProgress(int64_t done, int64_t total);

  QLabel* message = nullptr;         // StatusPanel0
  QLabel* program = nullptr;         // StatusPanel1
  QProgressBar* progress = nullptr;  // ProgressBar1

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The status text takes what the name and a shown progress bar leave.
  void FitMessage();
};

}  // namespace hemlo::transfer_ui
