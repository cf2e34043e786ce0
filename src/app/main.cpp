// Hemlo２: start-up. Arguments are ignored.
#include <QApplication>
#include <memory>

#include "app/startup.h"
#include "shell/main_form.h"

int main(int argc, char** argv) {
  hemlo::PrepareProcess();
  QApplication app(argc, argv);
  hemlo::PrepareApplication(app);
  hemlo::Forms forms = hemlo::CreateForms();
  std::unique_ptr<hemlo::TMainForm> main_form(forms.MainForm);
  main_form->show();
  return app.exec();
}
