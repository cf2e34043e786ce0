#pragma once
// Program start-up shared by main() and the end-to-end tests.
#include <QApplication>
#include <memory>

namespace hemlo {

class TMainForm;

// Process-wide settings that must precede the QApplication (WebEngine flags).
void PrepareProcess();
// Fonts, translations, icon theme, program folder.
void PrepareApplication(QApplication& app);

// Creates the frame and every long-lived form in start-up order; all hidden.
struct Forms {
  TMainForm* MainForm = nullptr;
};
Forms CreateForms();

}  // namespace hemlo
