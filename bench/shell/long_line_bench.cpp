// Opening a page that is one long line (minified or machine-made HTML)
// through the real document window: the time until the window has painted
// and answers again, and the process's peak memory.
// Run: QT_QPA_PLATFORM=offscreen build-*/bin/long_line_bench [megabytes]
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

#include "app/startup.h"
#include "base/program_folder.h"
#include "support/scripted_prompts.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"

int main(int argc, char** argv) {
  hemlo::PrepareProcess();
  QApplication app(argc, argv);
  hemlo::PrepareApplication(app);
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 50;
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "hemlo-long-line-bench";
  fs::create_directories(dir);
  hemlo::SetProgramFolder(dir);
  const fs::path page = dir / "line.htm";
  {
    const std::string cell = "<td class=\"c\">abc 123</td>";
    std::string bytes = "<html><body><table><tr>";
    while (bytes.size() < megabytes * 1e6) bytes += cell;
    std::ofstream(page, std::ios::binary) << bytes << "</tr></table></body></html>";
  }
  hemlo::ScriptedPrompts prompts;
  hemlo::Forms forms = hemlo::CreateForms();
  std::unique_ptr<hemlo::TMainForm> frame(forms.MainForm);
  frame->SetPrompts(&prompts);
  frame->resize(900, 700);
  frame->show();
  app.processEvents();

  QElapsedTimer clock;
  clock.start();
  frame->OpenDocument(QString::fromStdString(page.string()));
  const qint64 opened = clock.elapsed();
  // The window answers again once a zero timer queued now has run.
  bool answered = false;
  QTimer::singleShot(0, [&] { answered = true; });
  while (!answered) app.processEvents(QEventLoop::WaitForMoreEvents);
  frame->repaint();
  const qint64 painted = clock.elapsed();
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf(
      "page %.1f MB in one line: OpenDocument %lld ms, painted and answering %lld ms, "
      "peak memory %.0f MB, %s\n",
      fs::file_size(page) / 1e6, static_cast<long long>(opened), static_cast<long long>(painted),
      usage.ru_maxrss / 1024.0,
      prompts.asked.empty() ? "opened" : ("refused: " + prompts.asked[0].text).c_str());
  if (auto* child = frame->ActiveChild()) child->Memo()->SetModified(false);
  frame->close();
  fs::remove_all(dir);
  return 0;
}
