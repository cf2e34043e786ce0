#include "authoring/setting_color_tab.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "authoring/setting_widgets.h"
#include "text/sjis_bridge.h"

namespace hemlo::authoring {

namespace {

QLabel* ColourLabel(QWidget* parent, const char* caption, const QColor& colour) {
  auto* l = new QLabel(QString::fromUtf8(caption), parent);
  QFont f = l->font();
  f.setBold(true);
  l->setFont(f);
  QPalette p = l->palette();
  p.setColor(QPalette::WindowText, colour);
  l->setPalette(p);
  return l;
}

QScrollBar* NewSlider(QWidget* parent, const char* name) {
  auto* s = new QScrollBar(Qt::Horizontal, parent);
  s->setObjectName(QString::fromLatin1(name));
  s->setRange(0, 255);
  s->setSingleStep(1);
  s->setPageStep(20);
  s->setValue(0);
  s->setMinimumWidth(200);
  return s;
}

QLabel* NewLabel(QWidget* parent, const char* name) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

}  // namespace

ColorTab::ColorTab(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("TabSheet2"));

  auto* hint = new QLabel(QStringLiteral("チェックボックスを指定してください"), this);
  hint->setObjectName(QStringLiteral("Label8"));
  hint->setAutoFillBackground(true);
  QPalette p = hint->palette();
  p.setColor(QPalette::Window, Qt::white);
  p.setColor(QPalette::WindowText, Qt::black);
  hint->setPalette(p);
  hint->setMargin(6);

  CheckColor = NewCheck(this, "CheckColor", "色");
  CheckSize = NewCheck(this, "CheckSize", "文字サイズ");
  ComboBox3 = NewCombo(this, "ComboBox3");
  for (const std::string& n : FontSizeComboItems()) ComboBox3->addItem(sjis::Decode(n));

  ScrollBar1 = NewSlider(this, "ScrollBar1");
  ScrollBar2 = NewSlider(this, "ScrollBar2");
  ScrollBar3 = NewSlider(this, "ScrollBar3");
  for (QScrollBar* s : {ScrollBar1, ScrollBar2, ScrollBar3})
    connect(s, &QScrollBar::valueChanged, this, &ColorTab::slidersMoved);

  Image1 = NewLabel(this, "Image1");
  Image1->setFixedSize(96, 72);
  Image1->setFrameShape(QFrame::Box);
  LblRGB = NewLabel(this, "LblRGB");
  LblS = NewLabel(this, "LblS");
  LblH = NewLabel(this, "LblH");
  for (QLabel* l : {LblRGB, LblS, LblH}) l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  RadioButton1 = NewRadio(this, "RadioButton1", QString());
  RadioButton2 = NewRadio(this, "RadioButton2", QString());
  RadioButton3 = NewRadio(this, "RadioButton3", QString());
  // The notation radios stand beside their labels and the sliders beside
  // coloured captions: give assistive tools names for them.
  RadioButton1->setAccessibleName(QStringLiteral("RGB表記"));
  RadioButton2->setAccessibleName(QStringLiteral("$表記"));
  RadioButton3->setAccessibleName(QStringLiteral("#表記"));
  ScrollBar1->setAccessibleName(QStringLiteral("赤"));
  ScrollBar2->setAccessibleName(QStringLiteral("緑"));
  ScrollBar3->setAccessibleName(QStringLiteral("青"));
  auto* notation = new QButtonGroup(this);
  notation->addButton(RadioButton1);
  notation->addButton(RadioButton2);
  notation->addButton(RadioButton3);

  QPushButton* apply = NewButton(this, "Button3", "設定", "エディタペインに貼り付けます");
  QPushButton* pick = NewButton(this, "Button5", "色取得");
  connect(apply, &QPushButton::clicked, this, &ColorTab::applyClicked);
  connect(pick, &QPushButton::clicked, this, &ColorTab::pickClicked);

  auto* checks = new QHBoxLayout;
  checks->addWidget(CheckColor);
  checks->addWidget(CheckSize);
  checks->addWidget(ComboBox3);
  checks->addStretch();

  auto* sliders = new QGridLayout;
  sliders->addWidget(ColourLabel(this, "赤", Qt::red), 0, 0);
  sliders->addWidget(ScrollBar1, 0, 1);
  sliders->addWidget(ColourLabel(this, "緑", Qt::darkGreen), 1, 0);
  sliders->addWidget(ScrollBar2, 1, 1);
  sliders->addWidget(ColourLabel(this, "青", Qt::blue), 2, 0);
  sliders->addWidget(ScrollBar3, 2, 1);

  auto* labels = new QGridLayout;
  labels->addWidget(RadioButton1, 0, 0);
  labels->addWidget(LblRGB, 0, 1);
  labels->addWidget(RadioButton2, 1, 0);
  labels->addWidget(LblS, 1, 1);
  labels->addWidget(RadioButton3, 2, 0);
  labels->addWidget(LblH, 2, 1);
  labels->setColumnStretch(2, 1);

  auto* swatch = new QHBoxLayout;
  swatch->addWidget(Image1);
  swatch->addLayout(labels, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(pick);
  buttons->addStretch();
  buttons->addWidget(apply);

  auto* col = new QVBoxLayout(this);
  col->addWidget(hint);
  col->addLayout(checks);
  col->addLayout(sliders);
  col->addLayout(swatch);
  col->addStretch();
  col->addLayout(buttons);
}

void ColorTab::Load(const ColorSizeSettings& c) {
  CheckColor->setChecked(c.CheckColor);
  CheckSize->setChecked(c.CheckSize);
  SetComboSjis(ComboBox3, c.ComboBox3);
  // All three positions first: a change handler running between them would
  // read the other sliders' old positions into the model.
  for (auto [bar, value] :
       {std::pair{ScrollBar1, c.ScrollBar1}, std::pair{ScrollBar2, c.ScrollBar2},
        std::pair{ScrollBar3, c.ScrollBar3}}) {
    const QSignalBlocker block(bar);
    bar->setValue(value);
  }
  if (c.RadioButton1) {
    RadioButton1->setChecked(true);
  } else if (c.RadioButton2) {
    RadioButton2->setChecked(true);
  } else {
    RadioButton3->setChecked(true);
  }
}

void ColorTab::Store(ColorSizeSettings& c, QString& refused) const {
  c.CheckColor = CheckColor->isChecked();
  c.CheckSize = CheckSize->isChecked();
  StoreComboSjis(ComboBox3, c.ComboBox3, refused);
  StoreSliders(c);
  c.RadioButton1 = RadioButton1->isChecked();
  c.RadioButton2 = RadioButton2->isChecked();
  c.RadioButton3 = RadioButton3->isChecked();
}

void ColorTab::StoreSliders(ColorSizeSettings& c) const {
  c.ScrollBar1 = ScrollBar1->value();
  c.ScrollBar2 = ScrollBar2->value();
  c.ScrollBar3 = ScrollBar3->value();
}

void ColorTab::ShowColour(const ColorLabels& labels, const QColor& colour) {
  LblRGB->setText(sjis::Decode(labels.LblRGB));
  LblS->setText(sjis::Decode(labels.LblS));
  LblH->setText(sjis::Decode(labels.LblH));
  QPixmap swatch(Image1->size());
  swatch.fill(colour);
  Image1->setPixmap(swatch);
}

}  // namespace hemlo::authoring
