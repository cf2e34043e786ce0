#include "authoring/setting_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStringView>
#include <QTabWidget>
#include <QUrl>
#include <QValidator>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <filesystem>
#include <string_view>

#include "authoring/disp_cap_form.h"
#include "base/atomic_file.h"
#include "text/cp932.h"

#if HEMLO_HAVE_UI_WEB_BROWSER
#include "webview/ui_web_browser.h"
#endif

namespace hemlo::authoring {

namespace {

// ---------------------------------------------------- Shift-JIS <-> QString

QString FromSjis(const std::string& bytes) {
  const text::Decoded d = text::Decode(bytes);
  return QString::fromUtf16(d.text.data(), static_cast<qsizetype>(d.text.size()));
}

// Characters CP932 lacks are refused at input (Cp932Validator); any that slip
// through (pasted into the memo) are left out rather than written as "?".
std::string ToSjis(const QString& s) {
  return text::EncodeLines(
      std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()),
                          static_cast<std::size_t>(s.size())),
      u'\n');
}

// The memo holds CRLF lines; the text box separates lines by one character.
QString MemoFromSjis(const std::string& bytes) {
  std::u16string buffer(bytes.size(), u'\0');
  const std::size_t n = text::DecodeLines(bytes, buffer.data(), nullptr, nullptr, nullptr);
  return QString::fromUtf16(buffer.data(), static_cast<qsizetype>(n));
}

class Cp932Validator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    for (char32_t cp : input.toUcs4()) {
      if (!text::CanEncode(cp)) return Invalid;
    }
    return Acceptable;
  }
};

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

QLineEdit* NewEdit(QWidget* parent, const char* name, QValidator* validator) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setValidator(validator);
  return e;
}

QComboBox* NewCombo(QWidget* parent, const char* name, QValidator* validator) {
  auto* c = new QComboBox(parent);
  c->setObjectName(QString::fromLatin1(name));
  c->setEditable(true);
  c->setInsertPolicy(QComboBox::NoInsert);
  c->setValidator(validator);
  return c;
}

QCheckBox* NewCheck(QWidget* parent, const char* name, const char* caption) {
  auto* c = new QCheckBox(U(caption), parent);
  c->setObjectName(QString::fromLatin1(name));
  return c;
}

QPushButton* NewButton(QWidget* parent, const char* name, const char* caption,
                       const char* hint = nullptr) {
  auto* b = new QPushButton(U(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  // Enter in a field must not press a button behind the user's back.
  b->setAutoDefault(false);
  if (hint != nullptr) b->setToolTip(U(hint));
  return b;
}

QRadioButton* NewRadio(QWidget* parent, const char* name, const QString& caption) {
  auto* r = new QRadioButton(caption, parent);
  r->setObjectName(QString::fromLatin1(name));
  return r;
}

// Writes only on a change, so the caret and selection of an untouched field stay.
void SetText(QLineEdit* e, const std::string& sjis) {
  const QString t = FromSjis(sjis);
  if (e->text() != t) e->setText(t);
}

void SetComboText(QComboBox* c, const QString& t) {
  if (c->currentText() == t) return;
  const int i = c->findText(t, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (i >= 0) {
    c->setCurrentIndex(i);
  } else {
    c->setEditText(t);
  }
}

void SetComboSjis(QComboBox* c, const std::string& sjis) { SetComboText(c, FromSjis(sjis)); }

std::string ComboSjis(const QComboBox* c) { return ToSjis(c->currentText()); }

void FillBorderStyles(QComboBox* c) {
  for (const BorderStyle& s : BorderStyleKeywords) c->addItem(U(s.item));
  c->setCurrentIndex(0);
}

BorderStyleChoice ReadBorderStyle(const QComboBox* c) {
  return BorderStyleFromText(ComboSjis(c));
}

void WriteBorderStyle(QComboBox* c, BorderStyleChoice choice) {
  if (choice && *choice >= 0 && *choice < static_cast<int>(BorderStyleKeywords.size())) {
    SetComboText(c, U(BorderStyleKeywords[*choice].item));
  } else if (ReadBorderStyle(c)) {
    // The model holds no keyword: the combo must not show one.
    c->setEditText(QString());
  }
}

QLabel* ColourLabel(QWidget* parent, const char* caption, const QColor& colour) {
  auto* l = new QLabel(U(caption), parent);
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

}  // namespace

// ===================================================================== form

TfrmSetting::TfrmSetting(Prompts& prompts, QWidget* parent)
    : QDialog(parent), desktopGrabber(GrabDesktop), prompts_(prompts) {
  setObjectName(QStringLiteral("frmSetting"));
  setWindowTitle(QStringLiteral("設定"));

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setDocumentMode(true);  // flat tabs
  TabSheet1 = BuildTableTab();
  TabSheet2 = BuildColorTab();
  TabSheet3 = BuildStyleTab();
  PageControl1->addTab(TabSheet1, QStringLiteral("表の設定"));
  PageControl1->addTab(TabSheet2, QStringLiteral("色やサイズの設定"));
  PageControl1->addTab(TabSheet3, QStringLiteral("スタイルシート"));

  Button2 = NewButton(this, "Button2", "閉じる");
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });

  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(Button2);
  auto* root = new QVBoxLayout(this);
  root->addWidget(PageControl1);
  root->addLayout(bottom);

  FormCreate();
}

TfrmSetting::~TfrmSetting() = default;

void TfrmSetting::FormCreate() {
  for (const std::string& n : CountComboItems()) {
    ComboBox1->addItem(FromSjis(n));
    ComboBox2->addItem(FromSjis(n));
  }
  for (const std::string& n : SpacingComboItems()) {
    Cmbcellpadding->addItem(FromSjis(n));
    Cmbcellspacing->addItem(FromSjis(n));
  }
  for (const std::string& n : FontSizeComboItems()) ComboBox3->addItem(FromSjis(n));
  for (const char* unit : {"px", "pt", "em", "%"}) cmbTani->addItem(U(unit));
  for (const char* align : {"left", "center", "right"}) cmbAlign->addItem(U(align));
  for (QComboBox* c : {cmbstyle, cmbstyleTop, cmbstyleRight, cmbstyleBottom, cmbstyleLeft})
    FillBorderStyles(c);
  // The model's defaults are the creation values of every control.
  LoadControls();
}

QWidget* TfrmSetting::BuildTableTab() {
  auto* tab = new QWidget;
  tab->setObjectName(QStringLiteral("TabSheet1"));
  auto* v = new Cp932Validator(tab);

  CheckTitle = NewCheck(tab, "CheckTitle", "表のタイトルの有無");
  EdTitle = NewEdit(tab, "EdTitle", v);
  Edit1 = NewEdit(tab, "Edit1", v);
  Edit2 = NewEdit(tab, "Edit2", v);
  ComboBox1 = NewCombo(tab, "ComboBox1", v);
  ComboBox2 = NewCombo(tab, "ComboBox2", v);
  CheckKeisen = NewCheck(tab, "CheckKeisen", "罫線枠の有無");
  CheckKeisenColor = NewCheck(tab, "CheckKeisenColor", "罫線色の有無");
  Checkcellpadding = NewCheck(tab, "Checkcellpadding", "セル内の余白指定");
  Cmbcellpadding = NewCombo(tab, "Cmbcellpadding", v);
  Checkcellspacing = NewCheck(tab, "Checkcellspacing", "罫線幅の指定");
  Cmbcellspacing = NewCombo(tab, "Cmbcellspacing", v);

  UIWebBrowser1 = new TestView(tab);
  UIWebBrowser1->setObjectName(QStringLiteral("UIWebBrowser1"));
  UIWebBrowser1->setFixedSize(180, 150);
  // Blank until the first テスト. Loading it now also makes the engine build
  // its render widget while the dialog is hidden: built later, inside a shown
  // modal dialog, it drops the dialog from the application's modal windows
  // and the frame behind would take input.
  UIWebBrowser1->setHtml(QString());
  Button4 = NewButton(tab, "Button4", "テスト");
  Button1 = NewButton(tab, "Button1", "設定", "エディタペインに貼り付けます");
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

  auto* g = new QGridLayout;
  int row = 0;
  g->addWidget(CheckTitle, row, 0);
  g->addWidget(EdTitle, row++, 1);
  g->addWidget(new QLabel(QStringLiteral("全体の横幅"), tab), row, 0);
  g->addWidget(Edit1, row++, 1);
  g->addWidget(new QLabel(QStringLiteral("全体の高さ"), tab), row, 0);
  g->addWidget(Edit2, row++, 1);
  g->addWidget(new QLabel(QStringLiteral("行数"), tab), row, 0);
  g->addWidget(ComboBox1, row++, 1);
  g->addWidget(new QLabel(QStringLiteral("列数"), tab), row, 0);
  g->addWidget(ComboBox2, row++, 1);
  g->addWidget(CheckKeisen, row++, 0, 1, 2);
  g->addWidget(CheckKeisenColor, row++, 0, 1, 2);
  g->addWidget(Checkcellpadding, row, 0);
  g->addWidget(Cmbcellpadding, row++, 1);
  g->addWidget(Checkcellspacing, row, 0);
  g->addWidget(Cmbcellspacing, row++, 1);
  g->setRowStretch(row, 1);

  auto* right = new QVBoxLayout;
  right->addWidget(UIWebBrowser1);
  right->addWidget(Button4);
  right->addStretch();
  right->addWidget(Button1);

  auto* h = new QHBoxLayout(tab);
  h->addLayout(g, 1);
  h->addLayout(right);
  return tab;
}

QWidget* TfrmSetting::BuildColorTab() {
  auto* tab = new QWidget;
  tab->setObjectName(QStringLiteral("TabSheet2"));
  auto* v = new Cp932Validator(tab);

  Label8 = new QLabel(QStringLiteral("チェックボックスを指定してください"), tab);
  Label8->setObjectName(QStringLiteral("Label8"));
  Label8->setAutoFillBackground(true);
  {
    QPalette p = Label8->palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    Label8->setPalette(p);
  }
  Label8->setMargin(6);

  CheckColor = NewCheck(tab, "CheckColor", "色");
  CheckSize = NewCheck(tab, "CheckSize", "文字サイズ");
  ComboBox3 = NewCombo(tab, "ComboBox3", v);

  ScrollBar1 = NewSlider(tab, "ScrollBar1");
  ScrollBar2 = NewSlider(tab, "ScrollBar2");
  ScrollBar3 = NewSlider(tab, "ScrollBar3");
  for (QScrollBar* s : {ScrollBar1, ScrollBar2, ScrollBar3})
    connect(s, &QScrollBar::valueChanged, this, [this] { ScrollBar1Change(); });

  Image1 = new QLabel(tab);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setFixedSize(96, 72);
  Image1->setFrameShape(QFrame::Box);

  LblRGB = new QLabel(tab);
  LblRGB->setObjectName(QStringLiteral("LblRGB"));
  LblS = new QLabel(tab);
  LblS->setObjectName(QStringLiteral("LblS"));
  LblH = new QLabel(tab);
  LblH->setObjectName(QStringLiteral("LblH"));
  for (QLabel* l : {LblRGB, LblS, LblH}) l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  RadioButton1 = NewRadio(tab, "RadioButton1", QString());
  RadioButton2 = NewRadio(tab, "RadioButton2", QString());
  RadioButton3 = NewRadio(tab, "RadioButton3", QString());
  auto* notation = new QButtonGroup(tab);
  notation->addButton(RadioButton1);
  notation->addButton(RadioButton2);
  notation->addButton(RadioButton3);

  Button3 = NewButton(tab, "Button3", "設定", "エディタペインに貼り付けます");
  Button5 = NewButton(tab, "Button5", "色取得");
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });

  auto* checks = new QHBoxLayout;
  checks->addWidget(CheckColor);
  checks->addWidget(CheckSize);
  checks->addWidget(ComboBox3);
  checks->addStretch();

  auto* sliders = new QGridLayout;
  sliders->addWidget(ColourLabel(tab, "赤", Qt::red), 0, 0);
  sliders->addWidget(ScrollBar1, 0, 1);
  sliders->addWidget(ColourLabel(tab, "緑", Qt::darkGreen), 1, 0);
  sliders->addWidget(ScrollBar2, 1, 1);
  sliders->addWidget(ColourLabel(tab, "青", Qt::blue), 2, 0);
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
  buttons->addWidget(Button5);
  buttons->addStretch();
  buttons->addWidget(Button3);

  auto* col = new QVBoxLayout(tab);
  col->addWidget(Label8);
  col->addLayout(checks);
  col->addLayout(sliders);
  col->addLayout(swatch);
  col->addStretch();
  col->addLayout(buttons);
  return tab;
}

QWidget* TfrmSetting::BuildStyleTab() {
  auto* tab = new QWidget;
  tab->setObjectName(QStringLiteral("TabSheet3"));
  auto* v = new Cp932Validator(tab);

  EdClassName = NewEdit(tab, "EdClassName", v);
  cmbTani = NewCombo(tab, "cmbTani", v);

  RadioGroup1 = new QGroupBox(QStringLiteral("属性"), tab);
  RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
  RadioGroup1Buttons = new QButtonGroup(RadioGroup1);
  auto* attributes = new QGridLayout(RadioGroup1);
  for (int i = 0; i < static_cast<int>(StyleAttributes.size()); ++i) {
    auto* r = new QRadioButton(U(StyleAttributes[i]), RadioGroup1);
    r->setObjectName(QStringLiteral("RadioGroup1_%1").arg(i));
    RadioGroup1Buttons->addButton(r, i);
    attributes->addWidget(r, i / 3, i % 3);
  }
  connect(RadioGroup1Buttons, &QButtonGroup::idClicked, this, [this] { RadioGroup1Click(); });
  cmbAlign = NewCombo(tab, "cmbAlign", v);

  auto* whole = new QGroupBox(tab);
  RadioSize1 = NewRadio(whole, "RadioSize1", QStringLiteral("全体指定4方向"));
  EdSize = NewEdit(whole, "EdSize", v);
  cmbstyle = NewCombo(whole, "cmbstyle", v);
  {
    auto* g = new QGridLayout(whole);
    g->addWidget(RadioSize1, 0, 0, 1, 2);
    g->addWidget(new QLabel(QStringLiteral("サイズ"), whole), 1, 0);
    g->addWidget(EdSize, 1, 1);
    g->addWidget(new QLabel(QStringLiteral("枠線"), whole), 2, 0);
    g->addWidget(cmbstyle, 2, 1);
  }

  auto* sides = new QGroupBox(tab);
  RadioSize2 = NewRadio(sides, "RadioSize2", QStringLiteral("個別指定"));
  EdTop = NewEdit(sides, "EdTop", v);
  EdRight = NewEdit(sides, "EdRight", v);
  EdBottom = NewEdit(sides, "EdBottom", v);
  EdLeft = NewEdit(sides, "EdLeft", v);
  cmbstyleTop = NewCombo(sides, "cmbstyleTop", v);
  cmbstyleRight = NewCombo(sides, "cmbstyleRight", v);
  cmbstyleBottom = NewCombo(sides, "cmbstyleBottom", v);
  cmbstyleLeft = NewCombo(sides, "cmbstyleLeft", v);
  {
    auto* g = new QGridLayout(sides);
    g->addWidget(RadioSize2, 0, 0, 1, 3);
    g->addWidget(new QLabel(QStringLiteral("サイズ"), sides), 1, 1);
    g->addWidget(new QLabel(QStringLiteral("枠線"), sides), 1, 2);
    const char* names[] = {"上", "右", "下", "左"};
    QLineEdit* edits[] = {EdTop, EdRight, EdBottom, EdLeft};
    QComboBox* combos[] = {cmbstyleTop, cmbstyleRight, cmbstyleBottom, cmbstyleLeft};
    for (int i = 0; i < 4; ++i) {
      g->addWidget(new QLabel(U(names[i]), sides), i + 2, 0);
      g->addWidget(edits[i], i + 2, 1);
      g->addWidget(combos[i], i + 2, 2);
    }
  }
  // The two choices sit in different boxes, so they need a group of their own.
  auto* size_group = new QButtonGroup(tab);
  size_group->addButton(RadioSize1);
  size_group->addButton(RadioSize2);

  Button6 = NewButton(tab, "Button6", "追記↓");
  Button8 = NewButton(tab, "Button8", "クリア");
  Button7 = NewButton(tab, "Button7", "設定", "エディタペインに貼り付けます");
  connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
  connect(Button7, &QPushButton::clicked, this, [this] { Button7Click(); });
  connect(Button8, &QPushButton::clicked, this, [this] { Button8Click(); });

  // Controls an attribute hides keep their place, so the tab does not jump.
  for (QWidget* w : std::initializer_list<QWidget*>{cmbAlign, EdSize, cmbstyle, EdTop, EdRight,
                                                   EdBottom, EdLeft, cmbstyleTop, cmbstyleRight,
                                                   cmbstyleBottom, cmbstyleLeft}) {
    QSizePolicy policy = w->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    w->setSizePolicy(policy);
  }

  Memo1 = new QPlainTextEdit(tab);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setMinimumHeight(90);

  auto* head = new QHBoxLayout;
  head->addWidget(new QLabel(QStringLiteral("クラス名"), tab));
  head->addWidget(EdClassName);
  head->addWidget(new QLabel(QStringLiteral("サイズ単位"), tab));
  head->addWidget(cmbTani);

  auto* attr = new QHBoxLayout;
  attr->addWidget(RadioGroup1, 1);
  attr->addWidget(cmbAlign, 0, Qt::AlignBottom);

  auto* boxes = new QHBoxLayout;
  boxes->addWidget(whole, 0, Qt::AlignTop);
  boxes->addWidget(sides);

  auto* memo_buttons = new QHBoxLayout;
  memo_buttons->addWidget(Button6);
  memo_buttons->addWidget(Button8);
  memo_buttons->addStretch();
  memo_buttons->addWidget(Button7);

  auto* col = new QVBoxLayout(tab);
  col->addLayout(head);
  col->addLayout(attr);
  col->addLayout(boxes);
  col->addLayout(memo_buttons);
  col->addWidget(Memo1, 1);
  return tab;
}

// ========================================================= model <-> controls

void TfrmSetting::LoadControls() {
  const TableSettings& t = model_.table;
  CheckTitle->setChecked(t.CheckTitle);
  SetText(EdTitle, t.EdTitle);
  SetText(Edit1, t.Edit1);
  SetText(Edit2, t.Edit2);
  SetComboSjis(ComboBox1, t.ComboBox1);
  SetComboSjis(ComboBox2, t.ComboBox2);
  CheckKeisen->setChecked(t.CheckKeisen);
  CheckKeisenColor->setChecked(t.CheckKeisenColor);
  Checkcellpadding->setChecked(t.Checkcellpadding);
  SetComboSjis(Cmbcellpadding, t.Cmbcellpadding);
  Checkcellspacing->setChecked(t.Checkcellspacing);
  SetComboSjis(Cmbcellspacing, t.Cmbcellspacing);

  const ColorSizeSettings& c = model_.colorSize;
  CheckColor->setChecked(c.CheckColor);
  CheckSize->setChecked(c.CheckSize);
  SetComboSjis(ComboBox3, c.ComboBox3);
  // All three positions first, then one SetColor: a change handler running
  // between them would read the other sliders' old positions into the model.
  for (auto [bar, value] : {std::pair{ScrollBar1, c.ScrollBar1}, std::pair{ScrollBar2, c.ScrollBar2},
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
  SetColor();

  const StyleSheetSettings& s = model_.style;
  SetText(EdClassName, s.EdClassName);
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
  SetText(EdSize, s.EdSize);
  WriteBorderStyle(cmbstyle, s.cmbstyle);
  SetText(EdTop, s.EdTop);
  SetText(EdRight, s.EdRight);
  SetText(EdBottom, s.EdBottom);
  SetText(EdLeft, s.EdLeft);
  WriteBorderStyle(cmbstyleTop, s.cmbstyleTop);
  WriteBorderStyle(cmbstyleRight, s.cmbstyleRight);
  WriteBorderStyle(cmbstyleBottom, s.cmbstyleBottom);
  WriteBorderStyle(cmbstyleLeft, s.cmbstyleLeft);
  // Compared as shown, so a character the model could not hold disappears
  // from the box too instead of lingering on screen only.
  if (const QString shown = MemoFromSjis(s.Memo1); Memo1->toPlainText() != shown) {
    Memo1->setPlainText(shown);
    Memo1->moveCursor(QTextCursor::End);
  }
  ApplyVisibility();

  if (model_.currentTab >= 0 && model_.currentTab < PageControl1->count())
    PageControl1->setCurrentIndex(model_.currentTab);
}

void TfrmSetting::StoreControls() {
  TableSettings& t = model_.table;
  t.CheckTitle = CheckTitle->isChecked();
  t.EdTitle = ToSjis(EdTitle->text());
  t.Edit1 = ToSjis(Edit1->text());
  t.Edit2 = ToSjis(Edit2->text());
  t.ComboBox1 = ComboSjis(ComboBox1);
  t.ComboBox2 = ComboSjis(ComboBox2);
  t.CheckKeisen = CheckKeisen->isChecked();
  t.CheckKeisenColor = CheckKeisenColor->isChecked();
  t.Checkcellpadding = Checkcellpadding->isChecked();
  t.Cmbcellpadding = ComboSjis(Cmbcellpadding);
  t.Checkcellspacing = Checkcellspacing->isChecked();
  t.Cmbcellspacing = ComboSjis(Cmbcellspacing);

  ColorSizeSettings& c = model_.colorSize;
  c.CheckColor = CheckColor->isChecked();
  c.CheckSize = CheckSize->isChecked();
  c.ComboBox3 = ComboSjis(ComboBox3);
  c.ScrollBar1 = ScrollBar1->value();
  c.ScrollBar2 = ScrollBar2->value();
  c.ScrollBar3 = ScrollBar3->value();
  c.RadioButton1 = RadioButton1->isChecked();
  c.RadioButton2 = RadioButton2->isChecked();
  c.RadioButton3 = RadioButton3->isChecked();

  StyleSheetSettings& s = model_.style;
  s.EdClassName = ToSjis(EdClassName->text());
  s.cmbTani = ComboSjis(cmbTani);
  s.RadioGroup1 = RadioGroup1Buttons->checkedId();  // -1 when none
  s.cmbAlign = ComboSjis(cmbAlign);
  s.RadioSize1 = RadioSize1->isChecked();
  s.RadioSize2 = RadioSize2->isChecked();
  s.EdSize = ToSjis(EdSize->text());
  s.cmbstyle = ReadBorderStyle(cmbstyle);
  s.EdTop = ToSjis(EdTop->text());
  s.EdRight = ToSjis(EdRight->text());
  s.EdBottom = ToSjis(EdBottom->text());
  s.EdLeft = ToSjis(EdLeft->text());
  s.cmbstyleTop = ReadBorderStyle(cmbstyleTop);
  s.cmbstyleRight = ReadBorderStyle(cmbstyleRight);
  s.cmbstyleBottom = ReadBorderStyle(cmbstyleBottom);
  s.cmbstyleLeft = ReadBorderStyle(cmbstyleLeft);
  s.Memo1 = ToSjis(Memo1->toPlainText());
  // Visibility is the model's (set by the attribute pick), never read back.

  model_.currentTab = PageControl1->currentIndex();
}

void TfrmSetting::ApplyVisibility() {
  const StyleVisibility& v = model_.style.visible;
  cmbstyle->setVisible(v.cmbstyle);
  for (QWidget* w : {cmbstyleTop, cmbstyleRight, cmbstyleBottom, cmbstyleLeft})
    w->setVisible(v.sideStyles);
  EdSize->setVisible(v.EdSize);
  for (QWidget* w : {EdTop, EdRight, EdBottom, EdLeft}) w->setVisible(v.sideSizes);
  cmbAlign->setVisible(v.cmbAlign);
}

// ============================================================== showing

void TfrmSetting::ShowModal(std::optional<int> tab) {
  if (tab) model_.currentTab = *tab;
  LoadControls();
  exec();
  StoreControls();
}

void TfrmSetting::CloseWith(bool close) {
  if (close) done(QDialog::Accepted);
}

void TfrmSetting::reject() { Button2Click(); }

// ============================================================== handlers

void TfrmSetting::Button1Click() {
  StoreControls();
  const bool close = model_.Button1Click(prompts_);
  LoadControls();
  CloseWith(close);
}

void TfrmSetting::Button2Click() {
  StoreControls();
  model_.Button2Click();
  LoadControls();
  QDialog::reject();
}

void TfrmSetting::Button3Click() {
  StoreControls();
  const bool close = model_.Button3Click(prompts_);
  LoadControls();
  CloseWith(close);
}

void TfrmSetting::Button4Click() {
  StoreControls();
  const std::optional<std::string> address = model_.Button4Click(prompts_);
  LoadControls();
  if (!address) return;  // the error was shown; the view keeps its page
  // The file URL is rebuilt from the path so that "#", "%" or a double-byte
  // folder name reach the view encoded rather than cut or misread.
  std::string_view path = *address;
  constexpr std::string_view kScheme = "file://";
  if (path.substr(0, kScheme.size()) == kScheme) path.remove_prefix(kScheme.size());
  const QString local = QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
  const QUrl url = QUrl::fromLocalFile(local);
  // The engine types a file by its name and shows "TABLEFILE.$$$" as plain
  // text; the file's own bytes are therefore handed over as Shift-JIS HTML,
  // with the file's address as the page's address.
  std::string bytes;
  std::string error;
  if (!ReadWholeFile(std::filesystem::path(std::string(path)), bytes, &error)) {
    prompts_.Error(std::string(path) + ": " + error);
    return;
  }
  // Content handed over this way is limited to 2 MB; a larger table (tens of
  // thousands of rows) is opened from the file itself instead, as text.
  constexpr std::size_t kContentLimit = 2'000'000;
  if (bytes.size() > kContentLimit) {
#if HEMLO_HAVE_UI_WEB_BROWSER
    UIWebBrowser1->Navigate(url.toString(QUrl::FullyEncoded));
#else
    UIWebBrowser1->setUrl(url);
#endif
    return;
  }
  UIWebBrowser1->setContent(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())),
                            QStringLiteral("text/html;charset=Shift_JIS"), url);
}

void TfrmSetting::Button5Click() {
  StoreControls();
  model_.Button5Message(prompts_);
  std::optional<PickedColor> picked;
  try {
    TFrmDispCap picker(this, desktopGrabber);
    picker.exec();
    picked = picker.Picked();
  } catch (const DesktopCaptureError& e) {
    prompts_.Error(e.what());
  }
  // Nothing picked (Escape, failed capture): the sliders keep their positions.
  model_.ApplyPickedColor(picked);
  LoadControls();
}

void TfrmSetting::Button6Click() {
  StoreControls();
  model_.Button6Click(prompts_);
  LoadControls();
}

void TfrmSetting::Button7Click() {
  StoreControls();
  const bool close = model_.Button7Click();
  LoadControls();
  CloseWith(close);
}

void TfrmSetting::Button8Click() {
  StoreControls();
  model_.Button8Click();
  LoadControls();
}

void TfrmSetting::ScrollBar1Change() { SetColor(); }

void TfrmSetting::SetColor() {
  ColorSizeSettings& c = model_.colorSize;
  c.ScrollBar1 = ScrollBar1->value();
  c.ScrollBar2 = ScrollBar2->value();
  c.ScrollBar3 = ScrollBar3->value();
  const ColorLabels labels = model_.SetColor();
  LblRGB->setText(FromSjis(labels.LblRGB));
  LblS->setText(FromSjis(labels.LblS));
  LblH->setText(FromSjis(labels.LblH));
  QPixmap swatch(Image1->size());
  swatch.fill(QColor(c.ScrollBar1, c.ScrollBar2, c.ScrollBar3));
  Image1->setPixmap(swatch);
}

void TfrmSetting::RadioGroup1Click() {
  StoreControls();
  model_.RadioGroup1Click(RadioGroup1Buttons->checkedId());
  LoadControls();
}

}  // namespace hemlo::authoring
