#include "authoring/setting_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "text/sjis_bridge.h"

namespace hemlo::authoring {

QLineEdit* NewEdit(QWidget* parent, const char* name) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  sjis::GuardField(e);
  return e;
}

QComboBox* NewCombo(QWidget* parent, const char* name) {
  auto* c = new QComboBox(parent);
  c->setObjectName(QString::fromLatin1(name));
  c->setEditable(true);
  c->setInsertPolicy(QComboBox::NoInsert);
  sjis::GuardField(c);
  return c;
}

QCheckBox* NewCheck(QWidget* parent, const char* name, const char* caption) {
  auto* c = new QCheckBox(QString::fromUtf8(caption), parent);
  c->setObjectName(QString::fromLatin1(name));
  return c;
}

QPushButton* NewButton(QWidget* parent, const char* name, const char* caption, const char* hint) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  // Enter in a field must not press a button behind the user's back.
  b->setAutoDefault(false);
  if (hint != nullptr) b->setToolTip(QString::fromUtf8(hint));
  return b;
}

QRadioButton* NewRadio(QWidget* parent, const char* name, const QString& caption) {
  auto* r = new QRadioButton(caption, parent);
  r->setObjectName(QString::fromLatin1(name));
  return r;
}

void StoreSjis(const QString& text, std::string& value, QString& refused) {
  sjis::Encoded e = sjis::Encode(text);
  if (e.ok()) {
    value = std::move(e.bytes);
  } else if (refused.isEmpty()) {
    refused = e.refused;
  }
}

void SetEditSjis(QLineEdit* e, const std::string& sjis) {
  const QString t = sjis::Decode(sjis);
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

void SetComboSjis(QComboBox* c, const std::string& sjis) { SetComboText(c, sjis::Decode(sjis)); }

void StoreComboSjis(const QComboBox* c, std::string& value, QString& refused) {
  StoreSjis(c->currentText(), value, refused);
}

}  // namespace hemlo::authoring
