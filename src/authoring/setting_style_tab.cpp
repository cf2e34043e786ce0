#include "authoring/setting_style_tab.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "authoring/setting_widgets.h"
#include "text/sjis_bridge.h"

namespace hemlo::authoring {

namespace {

void FillBorderStyles(QComboBox* c) {
  for (const BorderStyle& s : BorderStyleKeywords) c->addItem(QString::fromUtf8(s.item));
  c->setCurrentIndex(0);
}

BorderStyleChoice ReadBorderStyle(const QComboBox* c, QString& refused) {
  std::string text;
  StoreComboSjis(c, text, refused);
  return BorderStyleFromText(text);
}

BorderStyleChoice ShownBorderStyle(const QComboBox* c) {
  QString refused;
  return ReadBorderStyle(c, refused);
}

void WriteBorderStyle(QComboBox* c, BorderStyleChoice choice) {
  if (choice && *choice >= 0 && *choice < static_cast<int>(BorderStyleKeywords.size())) {
    SetComboText(c, QString::fromUtf8(BorderStyleKeywords[*choice].item));
  } else if (ShownBorderStyle(c)) {
    // The model holds no keyword: the combo must not show one.
    c->setEditText(QString());
  }
}

}  // namespace

StyleTab::StyleTab(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("TabSheet3"));

  EdClassName = NewEdit(this, "EdClassName");
  cmbTani = NewCombo(this, "cmbTani");
  for (const char* unit : {"px", "pt", "em", "%"}) cmbTani->addItem(QString::fromLatin1(unit));

  auto* attributes_box = new QGroupBox(QStringLiteral("属性"), this);
  attributes_box->setObjectName(QStringLiteral("RadioGroup1"));
  RadioGroup1Buttons = new QButtonGroup(attributes_box);
  RadioGroup1Buttons->setObjectName(QStringLiteral("RadioGroup1Buttons"));
  auto* attributes = new QGridLayout(attributes_box);
  for (int i = 0; i < static_cast<int>(StyleAttributes.size()); ++i) {
    auto* r = new QRadioButton(QString::fromUtf8(StyleAttributes[i]), attributes_box);
    r->setObjectName(QStringLiteral("RadioGroup1_%1").arg(i));
    RadioGroup1Buttons->addButton(r, i);
    attributes->addWidget(r, i / 3, i % 3);
  }
  // On the state change, however it comes (mouse, keys, an accessibility
  // tool's toggle); not while Load sets the radios from the model.
  connect(RadioGroup1Buttons, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked && !loading_) emit attributeClicked();
  });
  cmbAlign = NewCombo(this, "cmbAlign");
  for (const char* align : {"left", "center", "right"})
    cmbAlign->addItem(QString::fromLatin1(align));

  auto* whole = new QGroupBox(this);
  RadioSize1 = NewRadio(whole, "RadioSize1", QStringLiteral("全体指定4方向"));
  EdSize = NewEdit(whole, "EdSize");
  cmbstyle = NewCombo(whole, "cmbstyle");
  {
    auto* g = new QGridLayout(whole);
    g->addWidget(RadioSize1, 0, 0, 1, 2);
    g->addWidget(new QLabel(QStringLiteral("サイズ"), whole), 1, 0);
    g->addWidget(EdSize, 1, 1);
    g->addWidget(new QLabel(QStringLiteral("枠線"), whole), 2, 0);
    g->addWidget(cmbstyle, 2, 1);
  }

  auto* sides = new QGroupBox(this);
  RadioSize2 = NewRadio(sides, "RadioSize2", QStringLiteral("個別指定"));
  EdTop = NewEdit(sides, "EdTop");
  EdRight = NewEdit(sides, "EdRight");
  EdBottom = NewEdit(sides, "EdBottom");
  EdLeft = NewEdit(sides, "EdLeft");
  cmbstyleTop = NewCombo(sides, "cmbstyleTop");
  cmbstyleRight = NewCombo(sides, "cmbstyleRight");
  cmbstyleBottom = NewCombo(sides, "cmbstyleBottom");
  cmbstyleLeft = NewCombo(sides, "cmbstyleLeft");
  {
    auto* g = new QGridLayout(sides);
    g->addWidget(RadioSize2, 0, 0, 1, 3);
    g->addWidget(new QLabel(QStringLiteral("サイズ"), sides), 1, 1);
    g->addWidget(new QLabel(QStringLiteral("枠線"), sides), 1, 2);
    const char* names[] = {"上", "右", "下", "左"};
    QLineEdit* edits[] = {EdTop, EdRight, EdBottom, EdLeft};
    QComboBox* combos[] = {cmbstyleTop, cmbstyleRight, cmbstyleBottom, cmbstyleLeft};
    for (int i = 0; i < 4; ++i) {
      g->addWidget(new QLabel(QString::fromUtf8(names[i]), sides), i + 2, 0);
      g->addWidget(edits[i], i + 2, 1);
      g->addWidget(combos[i], i + 2, 2);
    }
  }
  for (QComboBox* c : {cmbstyle, cmbstyleTop, cmbstyleRight, cmbstyleBottom, cmbstyleLeft})
    FillBorderStyles(c);
  // The two choices sit in different boxes, so they need a group of their own.
  auto* size_group = new QButtonGroup(this);
  size_group->addButton(RadioSize1);
  size_group->addButton(RadioSize2);

  QPushButton* append = NewButton(this, "Button6", "追記↓");
  QPushButton* clear = NewButton(this, "Button8", "クリア");
  QPushButton* apply = NewButton(this, "Button7", "設定", "エディタペインに貼り付けます");
  connect(append, &QPushButton::clicked, this, &StyleTab::appendClicked);
  connect(apply, &QPushButton::clicked, this, &StyleTab::applyClicked);
  connect(clear, &QPushButton::clicked, this, &StyleTab::clearClicked);

  // Controls an attribute hides keep their place, so the tab does not jump.
  for (QWidget* w :
       std::initializer_list<QWidget*>{cmbAlign, EdSize, cmbstyle, EdTop, EdRight, EdBottom, EdLeft,
                                       cmbstyleTop, cmbstyleRight, cmbstyleBottom, cmbstyleLeft}) {
    QSizePolicy policy = w->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    w->setSizePolicy(policy);
  }

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setMinimumHeight(90);
  sjis::GuardField(Memo1, [this] { return FieldEncoding(Memo1); });

  auto* head = new QHBoxLayout;
  head->addWidget(new QLabel(QStringLiteral("クラス名"), this));
  head->addWidget(EdClassName);
  head->addWidget(new QLabel(QStringLiteral("サイズ単位"), this));
  head->addWidget(cmbTani);

  auto* attr = new QHBoxLayout;
  attr->addWidget(attributes_box, 1);
  attr->addWidget(cmbAlign, 0, Qt::AlignBottom);

  auto* boxes = new QHBoxLayout;
  boxes->addWidget(whole, 0, Qt::AlignTop);
  boxes->addWidget(sides);

  auto* memo_buttons = new QHBoxLayout;
  memo_buttons->addWidget(append);
  memo_buttons->addWidget(clear);
  memo_buttons->addStretch();
  memo_buttons->addWidget(apply);

  auto* col = new QVBoxLayout(this);
  col->addLayout(head);
  col->addLayout(attr);
  col->addLayout(boxes);
  col->addLayout(memo_buttons);
  col->addWidget(Memo1, 1);
}

int StyleTab::CheckedAttribute() const { return RadioGroup1Buttons->checkedId(); }

void StyleTab::Load(const StyleSheetSettings& s) {
  loading_ = true;
  SetEditSjis(EdClassName, s.EdClassName);
  SetComboSjis(cmbTani, s.cmbTani);
  if (s.RadioGroup1 >= 0 && s.RadioGroup1 < static_cast<int>(StyleAttributes.size())) {
    RadioGroup1Buttons->button(s.RadioGroup1)->setChecked(true);
  } else if (RadioGroup1Buttons->checkedButton() != nullptr) {
    // An exclusive group cannot uncheck its last button.
    RadioGroup1Buttons->setExclusive(false);
    RadioGroup1Buttons->checkedButton()->setChecked(false);
    RadioGroup1Buttons->setExclusive(true);
  }
  SetComboSjis(cmbAlign, s.cmbAlign);
  if (s.RadioSize2 && !s.RadioSize1) {
    RadioSize2->setChecked(true);
  } else {
    RadioSize1->setChecked(true);
  }
  SetEditSjis(EdSize, s.EdSize);
  WriteBorderStyle(cmbstyle, s.cmbstyle);
  SetEditSjis(EdTop, s.EdTop);
  SetEditSjis(EdRight, s.EdRight);
  SetEditSjis(EdBottom, s.EdBottom);
  SetEditSjis(EdLeft, s.EdLeft);
  WriteBorderStyle(cmbstyleTop, s.cmbstyleTop);
  WriteBorderStyle(cmbstyleRight, s.cmbstyleRight);
  WriteBorderStyle(cmbstyleBottom, s.cmbstyleBottom);
  WriteBorderStyle(cmbstyleLeft, s.cmbstyleLeft);
  // Compared as shown, so a character the model could not hold disappears
  // from the box too instead of lingering on screen only.
  if (const QString shown = sjis::DecodeFor(s.Memo1, text::Encoding::kUtf8);
      Memo1->toPlainText() != shown) {
    Memo1->setPlainText(shown);
    Memo1->moveCursor(QTextCursor::End);
  }
  ApplyVisibility(s.visible);
  loading_ = false;
}

void StyleTab::Store(StyleSheetSettings& s, QString& refused) const {
  StoreSjis(EdClassName, s.EdClassName, refused);
  StoreComboSjis(cmbTani, s.cmbTani, refused);
  s.RadioGroup1 = RadioGroup1Buttons->checkedId();  // -1 when none
  StoreComboSjis(cmbAlign, s.cmbAlign, refused);
  s.RadioSize1 = RadioSize1->isChecked();
  s.RadioSize2 = RadioSize2->isChecked();
  StoreSjis(EdSize, s.EdSize, refused);
  s.cmbstyle = ReadBorderStyle(cmbstyle, refused);
  StoreSjis(EdTop, s.EdTop, refused);
  StoreSjis(EdRight, s.EdRight, refused);
  StoreSjis(EdBottom, s.EdBottom, refused);
  StoreSjis(EdLeft, s.EdLeft, refused);
  s.cmbstyleTop = ReadBorderStyle(cmbstyleTop, refused);
  s.cmbstyleRight = ReadBorderStyle(cmbstyleRight, refused);
  s.cmbstyleBottom = ReadBorderStyle(cmbstyleBottom, refused);
  s.cmbstyleLeft = ReadBorderStyle(cmbstyleLeft, refused);
  StoreSjisLines(Memo1, Memo1->toPlainText(), s.Memo1, refused);
  // Visibility is the model's (set by the attribute pick), never read back.
}

void StyleTab::ApplyVisibility(const StyleVisibility& v) {
  cmbstyle->setVisible(v.cmbstyle);
  for (QWidget* w : {cmbstyleTop, cmbstyleRight, cmbstyleBottom, cmbstyleLeft})
    w->setVisible(v.sideStyles);
  EdSize->setVisible(v.EdSize);
  for (QWidget* w : {EdTop, EdRight, EdBottom, EdLeft}) w->setVisible(v.sideSizes);
  cmbAlign->setVisible(v.cmbAlign);
}

}  // namespace hemlo::authoring
