#pragma once
// Small pieces shared by the builder dialog's tabs: named controls built the
// same way, and Shift-JIS values moved in and out of text fields.
#include <QString>
#include <string>

#include "authoring/builder_model.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QObject;
class QPushButton;
class QRadioButton;
class QValidator;
class QWidget;

namespace hemlo::authoring {

// Refuses input with a character Shift-JIS cannot hold.
QValidator* NewSjisValidator(QObject* parent);

QLineEdit* NewEdit(QWidget* parent, const char* name, QValidator* validator);
QComboBox* NewCombo(QWidget* parent, const char* name, QValidator* validator);
QCheckBox* NewCheck(QWidget* parent, const char* name, const char* caption);
// A push button that Enter in a field never presses.
QPushButton* NewButton(QWidget* parent, const char* name, const char* caption,
                       const char* hint = nullptr);
QRadioButton* NewRadio(QWidget* parent, const char* name, const QString& caption);

QString FromSjis(const std::string& bytes);
std::string ToSjis(const QString& text);

// Writes only on a change, so the caret and selection of an untouched field stay.
void SetEditSjis(QLineEdit* edit, const std::string& sjis);
// Selects the item with this text, or types it when no item has it.
void SetComboText(QComboBox* combo, const QString& text);
void SetComboSjis(QComboBox* combo, const std::string& sjis);
std::string ComboSjis(const QComboBox* combo);

}  // namespace hemlo::authoring
