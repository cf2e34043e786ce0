// Hemlo２: start-up. Arguments are pages to open once the frame shows.
#include <QApplication>
#include <memory>

#include "app/session_end.h"
#include "app/startup.h"
#include "shell/desktop_open.h"
#include "shell/main_form.h"

int main(int argc, char** argv) {
  hemlo::PrepareProcess();
  QApplication app(argc, argv);
  hemlo::PrepareApplication(app);
  // Before anything is written, so an early SIGTERM still ends the run cleanly.
  hemlo::SessionEnd session;
  const std::string folder_error = hemlo::UseStateFolders();
  hemlo::Forms forms = hemlo::CreateForms();
  std::unique_ptr<hemlo::TMainForm> main_form(forms.MainForm);
  new hemlo::FileDrops(*main_form);
  main_form->show();
  session.Attach(main_form.get());
  const QStringList pages = app.arguments().mid(1);
  QMetaObject::invokeMethod(
      &app,
      [&] {
        if (!folder_error.empty()) main_form->prompts().Error(folder_error);
        hemlo::OfferRecoveredPages(*main_form);
        hemlo::OpenPaths(*main_form, pages);
      },
      Qt::QueuedConnection);
  return app.exec();
}
