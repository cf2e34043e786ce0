#pragma once
// Program start-up shared by main() and the end-to-end tests.
#include <QApplication>
#include <memory>
#include <string>

namespace hemlo {

class TMainForm;

// Process-wide settings that must precede the QApplication (WebEngine flags).
void PrepareProcess();
// Fonts, translations, icons.
void PrepareApplication(QApplication& app);
// Chooses and creates the state and scratch folders for this run; the error
// to show when they cannot be made.
std::string UseStateFolders();

// Creates the frame and every long-lived form in start-up order; all hidden.
struct Forms {
  TMainForm* MainForm = nullptr;
};
Forms CreateForms();

}  // namespace hemlo
