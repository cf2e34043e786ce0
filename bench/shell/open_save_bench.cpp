// Open and save of a 20 MB Shift-JIS page through the real document window,
// against the floors in the same run: reading the file and setPlainText of
// its decoded text (open), std::ofstream plus rename of the same bytes (save).
#include <QApplication>
#include <QPlainTextEdit>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/startup.h"
#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "support/scripted_prompts.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "text/cp932.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string MakePage(int lines) {
  std::string out = "<html><head><title>bench</title></head><body>\r\n";
  const std::string ja1 = hemlo::text::Sjis("<p>日本語の文章です。第");
  const std::string ja2 = hemlo::text::Sjis("行、ｶﾀｶﾅと全角①も。</p>\r\n");
  for (int i = 2; i < lines; ++i) {
    if (i % 2 == 0)
      out += "<p class=\"x\">English line " + std::to_string(i) + " of the sample page.</p>\r\n";
    else
      out += ja1 + std::to_string(i) + ja2;
  }
  return out + "</body></html>";
}

double Ms(const std::function<void()>& f) {
  const auto start = Clock::now();
  f();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Best(int runs, const std::function<double()>& f) {
  double best = 1e100;
  for (int i = 0; i < runs; ++i) best = std::min(best, f());
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  hemlo::PrepareProcess();
  QApplication app(argc, argv);
  hemlo::PrepareApplication(app);
  const int lines = argc > 1 ? std::atoi(argv[1]) : 400000;
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "hemlo-open-save-bench";
  fs::create_directories(dir);
  hemlo::SetProgramFolder(dir);
  const fs::path page = dir / "page.htm";
  // A second argument "utf8" makes the same page UTF-8 (decoded as UTF-8 by the floor too).
  const bool utf8 = argc > 2 && std::string(argv[2]) == "utf8";
  const std::string bytes = utf8 ? *hemlo::text::Cp932ToUtf8(MakePage(lines)) : MakePage(lines);
  std::ofstream(page, std::ios::binary) << bytes;

  hemlo::ScriptedPrompts prompts;
  hemlo::Forms forms = hemlo::CreateForms();
  std::unique_ptr<hemlo::TMainForm> frame(forms.MainForm);
  frame->SetPrompts(&prompts);
  frame->show();
  const QString qpath = QString::fromStdString(page.string());
  const int runs = 3;

  const double open = Best(runs, [&] {
    double t = Ms([&] { frame->OpenDocument(qpath); });
    delete frame->ActiveChild()->parentWidget();
    return t;
  });
  QPlainTextEdit floor_view;
  floor_view.show();
  const double open_floor = Best(runs, [&] {
    return Ms([&] {
      std::string raw;
      hemlo::ReadWholeFile(page, raw);
      floor_view.setPlainText(
          utf8 ? QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size()))
               : QString::fromStdU16String(hemlo::text::Decode(raw).text));
    });
  });

  hemlo::TMDIChild* child = frame->OpenDocument(qpath);
  const double save = Best(runs, [&] {
    child->Memo()->SetModified(true);
    return Ms([&] { frame->FileSaveItemClick(); });
  });
  const double save_floor = Best(runs, [&] {
    return Ms([&] {
      const fs::path tmp = dir / "page.tmp";
      {
        std::ofstream out(tmp, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      }
      fs::rename(tmp, dir / "copy.htm");
    });
  });
  std::printf("page %.1f MB, %d lines, best of %d\n", bytes.size() / 1e6, lines, runs);
  std::printf(
      "open  document window %8.1f ms   floor (read + decode + setPlainText) %8.1f ms   ratio "
      "%.2f\n",
      open, open_floor, open / open_floor);
  std::printf(
      "save  document window %8.1f ms   floor (ofstream + rename)            %8.1f ms   ratio "
      "%.2f\n",
      save, save_floor, save / save_floor);
  std::printf("save wrote identical bytes: %s\n", [&] {
    std::string back;
    hemlo::ReadWholeFile(page, back);
    return back == bytes ? "yes" : "NO";
  }());
  child->Memo()->SetModified(false);
  frame->close();
  fs::remove_all(dir);
  return 0;
}
