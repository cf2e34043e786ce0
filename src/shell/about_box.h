#pragma once
// The About box FrmVer.
#include <QDialog>

namespace hemlo {

class TFrmVer : public QDialog {
  Q_OBJECT
 public:
  explicit TFrmVer(QWidget* parent = nullptr);
};

}  // namespace hemlo
