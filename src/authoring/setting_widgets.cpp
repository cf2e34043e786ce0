#include "authoring/setting_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>
#include <string_view>

#include "text/cp932.h"

namespace hemlo::authoring {

namespace {
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
}  // namespace

QValidator* NewSjisValidator(QObject* parent) { return new Cp932Validator(parent); }

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

QString FromSjis(const std::string& bytes) {
  const text::Decoded d = text::Decode(bytes);
  return QString::fromUtf16(d.text.data(), static_cast<qsizetype>(d.text.size()));
}

// Characters CP932 lacks are refused at input (Cp932Validator); any that slip
// through (pasted into the memo) are left out rather than written as "?".
std::string ToSjis(const QString& s) {
  return text::EncodeLines(
      std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())),
      u'\n');
}

void SetEditSjis(QLineEdit* e, const std::string& sjis) {
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

}  // namespace hemlo::authoring
