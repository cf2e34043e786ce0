#include "authoring/setting_table_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

#include "authoring/setting_widgets.h"
#include "text/sjis_bridge.h"

#include "webview/ui_web_browser.h"

namespace hemlo::authoring {

TableTab::TableTab(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("TabSheet1"));

  CheckTitle = NewCheck(this, "CheckTitle", "表のタイトルの有無");
  EdTitle = NewEdit(this, "EdTitle");
  Edit1 = NewEdit(this, "Edit1");
  Edit2 = NewEdit(this, "Edit2");
  ComboBox1 = NewCombo(this, "ComboBox1");
  ComboBox2 = NewCombo(this, "ComboBox2");
  CheckKeisen = NewCheck(this, "CheckKeisen", "罫線枠の有無");
  CheckKeisenColor = NewCheck(this, "CheckKeisenColor", "罫線色の有無");
  Checkcellpadding = NewCheck(this, "Checkcellpadding", "セル内の余白指定");
  Cmbcellpadding = NewCombo(this, "Cmbcellpadding");
  Checkcellspacing = NewCheck(this, "Checkcellspacing", "罫線幅の指定");
  Cmbcellspacing = NewCombo(this, "Cmbcellspacing");
  for (const std::string& n : CountComboItems()) {
    ComboBox1->addItem(sjis::Decode(n));
    ComboBox2->addItem(sjis::Decode(n));
  }
  for (const std::string& n : SpacingComboItems()) {
    Cmbcellpadding->addItem(sjis::Decode(n));
    Cmbcellspacing->addItem(sjis::Decode(n));
  }

  UIWebBrowser1 = new TestView(this);
  UIWebBrowser1->setObjectName(QStringLiteral("UIWebBrowser1"));
  UIWebBrowser1->setFixedSize(180, 150);
  // Blank until the first テスト. Loading it now also makes the engine build
  // its render widget while the dialog is hidden: built later, inside a shown
  // modal dialog, it drops the dialog from the application's modal windows
  // and the frame behind would take input.
  UIWebBrowser1->setHtml(QString());
  QPushButton* test = NewButton(this, "Button4", "テスト");
  QPushButton* apply = NewButton(this, "Button1", "設定", "エディタペインに貼り付けます");
  connect(test, &QPushButton::clicked, this, &TableTab::testClicked);
  connect(apply, &QPushButton::clicked, this, &TableTab::applyClicked);

  auto* g = new QGridLayout;
  int row = 0;
  auto labelled = [&](const char* caption, QWidget* field) {
    auto* label = new QLabel(QString::fromUtf8(caption), this);
    label->setBuddy(field);
    field->setAccessibleName(label->text());
    g->addWidget(label, row, 0);
    g->addWidget(field, row++, 1);
  };
  // Fields that stand beside a check box take its meaning as their name.
  EdTitle->setAccessibleName(QStringLiteral("表のタイトル"));
  Cmbcellpadding->setAccessibleName(QStringLiteral("セル内の余白"));
  Cmbcellspacing->setAccessibleName(QStringLiteral("罫線幅"));
  g->addWidget(CheckTitle, row, 0);
  g->addWidget(EdTitle, row++, 1);
  labelled("全体の横幅", Edit1);
  labelled("全体の高さ", Edit2);
  labelled("行数", ComboBox1);
  labelled("列数", ComboBox2);
  g->addWidget(CheckKeisen, row++, 0, 1, 2);
  g->addWidget(CheckKeisenColor, row++, 0, 1, 2);
  g->addWidget(Checkcellpadding, row, 0);
  g->addWidget(Cmbcellpadding, row++, 1);
  g->addWidget(Checkcellspacing, row, 0);
  g->addWidget(Cmbcellspacing, row++, 1);
  g->setRowStretch(row, 1);

  auto* right = new QVBoxLayout;
  right->addWidget(UIWebBrowser1);
  right->addWidget(test);
  right->addStretch();
  right->addWidget(apply);

  auto* h = new QHBoxLayout(this);
  h->addLayout(g, 1);
  h->addLayout(right);
}

void TableTab::Load(const TableSettings& t) {
  CheckTitle->setChecked(t.CheckTitle);
  SetEditSjis(EdTitle, t.EdTitle);
  SetEditSjis(Edit1, t.Edit1);
  SetEditSjis(Edit2, t.Edit2);
  SetComboSjis(ComboBox1, t.ComboBox1);
  SetComboSjis(ComboBox2, t.ComboBox2);
  CheckKeisen->setChecked(t.CheckKeisen);
  CheckKeisenColor->setChecked(t.CheckKeisenColor);
  Checkcellpadding->setChecked(t.Checkcellpadding);
  SetComboSjis(Cmbcellpadding, t.Cmbcellpadding);
  Checkcellspacing->setChecked(t.Checkcellspacing);
  SetComboSjis(Cmbcellspacing, t.Cmbcellspacing);
}

void TableTab::Store(TableSettings& t, QString& refused) const {
  t.CheckTitle = CheckTitle->isChecked();
  StoreSjis(EdTitle, t.EdTitle, refused);
  StoreSjis(Edit1, t.Edit1, refused);
  StoreSjis(Edit2, t.Edit2, refused);
  StoreComboSjis(ComboBox1, t.ComboBox1, refused);
  StoreComboSjis(ComboBox2, t.ComboBox2, refused);
  t.CheckKeisen = CheckKeisen->isChecked();
  t.CheckKeisenColor = CheckKeisenColor->isChecked();
  t.Checkcellpadding = Checkcellpadding->isChecked();
  StoreComboSjis(Cmbcellpadding, t.Cmbcellpadding, refused);
  t.Checkcellspacing = Checkcellspacing->isChecked();
  StoreComboSjis(Cmbcellspacing, t.Cmbcellspacing, refused);
}

void TableTab::ShowTest(const QUrl& url, const std::string& bytes, bool from_file, bool utf8) {
  if (from_file) {
    UIWebBrowser1->Navigate(url.toString(QUrl::FullyEncoded));
    return;
  }
  UIWebBrowser1->setContent(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())),
                            utf8 ? QStringLiteral("text/html;charset=UTF-8")
                                 : QStringLiteral("text/html;charset=Shift_JIS"),
                            url);
}

}  // namespace hemlo::authoring
