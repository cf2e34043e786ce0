#pragma once
// The builder dialog's 色やサイズの設定 tab: three sliders, the swatch and
// its three notations, the size combo, and the 色取得 and 設定 buttons.
#include <QWidget>

#include "authoring/builder_model.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;
class QScrollBar;

namespace hemlo::authoring {

class ColorTab : public QWidget {
  Q_OBJECT
 public:
  explicit ColorTab(QWidget* parent = nullptr);

  // Slider positions are set without a slidersMoved in between.
  void Load(const ColorSizeSettings& c);
  // `refused` gets the first character a field holds that Shift-JIS lacks.
  void Store(ColorSizeSettings& c, QString& refused) const;
  void StoreSliders(ColorSizeSettings& c) const;
  // The notations and the swatch for the sliders' colour.
  void ShowColour(const ColorLabels& labels, const QColor& colour);

 signals:
  void slidersMoved();
  void pickClicked();   // 色取得
  void applyClicked();  // 設定

 private:
  QCheckBox* CheckColor;
  QCheckBox* CheckSize;
  QComboBox* ComboBox3;
  QScrollBar* ScrollBar1;
  QScrollBar* ScrollBar2;
  QScrollBar* ScrollBar3;
  QLabel* Image1;
  QLabel* LblRGB;
  QLabel* LblS;
  QLabel* LblH;
  QRadioButton* RadioButton1;
  QRadioButton* RadioButton2;
  QRadioButton* RadioButton3;
};

}  // namespace hemlo::authoring
