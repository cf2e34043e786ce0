#pragma once
// Small pieces shared by the builder dialog's tabs: named controls built the
// same way, and Shift-JIS values moved in and out of text fields.
#include <QString>
#include <string>

#include "authoring/builder_model.h"
#include "text/document_encoding.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace hemlo::authoring {

// The dialog property naming the encoding (an int of text::Encoding) of the
// page its fields are filled in for.
inline constexpr const char* kFieldEncodingProperty = "documentEncoding";
// That encoding for a field: the property of its nearest ancestor that has
// one; Shift-JIS when none has.
text::Encoding FieldEncoding(const QWidget* field);

// Fields that refuse, as it is typed, a character their page cannot hold.
QLineEdit* NewEdit(QWidget* parent, const char* name);
QComboBox* NewCombo(QWidget* parent, const char* name);
QCheckBox* NewCheck(QWidget* parent, const char* name, const char* caption);
// A push button that Enter in a field never presses.
QPushButton* NewButton(QWidget* parent, const char* name, const char* caption,
                       const char* hint = nullptr);
QRadioButton* NewRadio(QWidget* parent, const char* name, const QString& caption);

// Field text into a model value for the field's page. Text that got into a
// field past its guard leaves the value as it was and names the character in
// `refused` (the first one only).
void StoreSjis(const QLineEdit* edit, std::string& value, QString& refused);
void StoreSjisLines(const QWidget* field, const QString& text, std::string& value,
                    QString& refused);

// Writes only on a change, so the caret and selection of an untouched field stay.
// Values of either encoding show as their characters.
void SetEditSjis(QLineEdit* edit, const std::string& sjis);
// Selects the item with this text, or types it when no item has it.
void SetComboText(QComboBox* combo, const QString& text);
void SetComboSjis(QComboBox* combo, const std::string& sjis);
void StoreComboSjis(const QComboBox* combo, std::string& value, QString& refused);

}  // namespace hemlo::authoring
