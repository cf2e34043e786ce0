#include "authoring/setting_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVariant>

#include "text/sjis_bridge.h"

namespace hemlo::authoring {

namespace {
void Store(const QWidget* field, const QString& text, std::string& value, QString& refused,
           bool lines) {
  const text::Encoding encoding = FieldEncoding(field);
  sjis::Encoded e = lines ? sjis::EncodeLinesFor(text, encoding) : sjis::EncodeFor(text, encoding);
  if (e.ok()) {
    value = std::move(e.bytes);
  } else if (refused.isEmpty()) {
    refused = e.refused;
  }
}
}  // namespace

text::Encoding FieldEncoding(const QWidget* field) {
  for (const QWidget* w = field; w; w = w->parentWidget()) {
    const QVariant v = w->property(kFieldEncodingProperty);
    if (v.isValid()) return static_cast<text::Encoding>(v.toInt());
  }
  return text::Encoding::kShiftJis;
}

QLineEdit* NewEdit(QWidget* parent, const char* name) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  sjis::GuardField(e, [e] { return FieldEncoding(e); });
  return e;
}

QComboBox* NewCombo(QWidget* parent, const char* name) {
  auto* c = new QComboBox(parent);
  c->setObjectName(QString::fromLatin1(name));
  c->setEditable(true);
  c->setInsertPolicy(QComboBox::NoInsert);
  sjis::GuardField(c, [c] { return FieldEncoding(c); });
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

void StoreSjis(const QLineEdit* edit, std::string& value, QString& refused) {
  Store(edit, edit->text(), value, refused, false);
}

void StoreSjisLines(const QWidget* field, const QString& text, std::string& value,
                    QString& refused) {
  Store(field, text, value, refused, true);
}

void SetEditSjis(QLineEdit* e, const std::string& sjis) {
  const QString t = sjis::DecodeFor(sjis, text::Encoding::kUtf8);
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

void SetComboSjis(QComboBox* c, const std::string& sjis) {
  SetComboText(c, sjis::DecodeFor(sjis, text::Encoding::kUtf8));
}

void StoreComboSjis(const QComboBox* c, std::string& value, QString& refused) {
  Store(c, c->currentText(), value, refused, false);
}

}  // namespace hemlo::authoring
