#pragma once
// The builder dialog's スタイルシート tab: class name and unit, the attribute
// choice, whole and per-side sizes and border styles, and the rule's box.
#include <QWidget>

#include "authoring/builder_model.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace hemlo::authoring {

class StyleTab : public QWidget {
  Q_OBJECT
 public:
  explicit StyleTab(QWidget* parent = nullptr);

  // Load also shows or hides the fields the chosen attribute uses.
  void Load(const StyleSheetSettings& s);
  // `refused` gets the first character a field holds that Shift-JIS lacks.
  void Store(StyleSheetSettings& s, QString& refused) const;
  int CheckedAttribute() const;  // -1 when none

 signals:
  void attributeClicked();
  void appendClicked();  // 追記↓
  void clearClicked();   // クリア
  void applyClicked();   // 設定

 private:
  void ApplyVisibility(const StyleVisibility& v);
  bool loading_ = false;  // Load is setting the controls

  QLineEdit* EdClassName;
  QComboBox* cmbTani;
  QButtonGroup* RadioGroup1Buttons;  // ids 0..9
  QComboBox* cmbAlign;
  QRadioButton* RadioSize1;
  QLineEdit* EdSize;
  QComboBox* cmbstyle;
  QRadioButton* RadioSize2;
  QLineEdit* EdTop;
  QLineEdit* EdRight;
  QLineEdit* EdBottom;
  QLineEdit* EdLeft;
  QComboBox* cmbstyleTop;
  QComboBox* cmbstyleRight;
  QComboBox* cmbstyleBottom;
  QComboBox* cmbstyleLeft;
  QPlainTextEdit* Memo1;
};

}  // namespace hemlo::authoring
