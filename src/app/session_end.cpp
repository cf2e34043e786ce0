#include "app/session_end.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "shell/document_file.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "shell/recovery.h"

namespace hemlo {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
int g_pipe[2] = {-1, -1};

void OnSignal(int sig) {
  const char byte = static_cast<char>(sig);
  [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
}

}  // namespace

SessionEnd::SessionEnd(QObject* parent) : QObject(parent) {
  quit = [](int code) { QCoreApplication::exit(code); };
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::perror("hemlo2: pipe2");
    return;
  }
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { SignalArrived(); });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // A second signal ends the program at once, as if nobody listened.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (int sig : kSignals) ::sigaction(sig, &action, nullptr);
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    connect(app, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager& manager) { OnCommitDataRequest(manager); });
}

SessionEnd::~SessionEnd() {
  for (int sig : kSignals) ::signal(sig, SIG_DFL);
  if (g_pipe[0] >= 0) {
    delete notifier_;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
  }
}

void SessionEnd::Attach(TMainForm* frame) {
  frame_ = frame;
  if (pending_)
    QMetaObject::invokeMethod(
        this, [this] { SignalArrived(); }, Qt::QueuedConnection);
}

void SessionEnd::SignalArrived() {
  char bytes[16];
  while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
  }
  if (!frame_) {
    pending_ = true;
    return;
  }
  pending_ = false;
  // Work already queued (pages named on the command line) comes first.
  QMetaObject::invokeMethod(
      this,
      [this] {
        const bool kept = SaveWithoutAsking();
        if (quit) quit(kept ? 0 : 1);
      },
      Qt::QueuedConnection);
}

void SessionEnd::OnCommitDataRequest(QSessionManager& manager) {
  const bool allowed = manager.allowsInteraction();
  const bool go_on = CommitData(allowed);
  if (allowed) manager.release();
  if (!go_on) manager.cancel();
}

bool SessionEnd::CommitData(bool interaction_allowed) {
  if (!frame_) return true;
  if (interaction_allowed) return frame_->close();
  SaveWithoutAsking();
  return true;
}

bool SessionEnd::SaveWithoutAsking() {
  if (!frame_) return true;
  std::vector<shell::RecoveryPage> pages;
  for (TMDIChild* child : frame_->Children())
    // The file's own bytes, so a UTF-8 page comes back as UTF-8.
    if (child->Memo()->Modified())
      pages.push_back({child->Caption().toStdString(), child->Memo()->DocumentBytes()});
  // Nobody can be asked now: a folder that refuses the copies hands them to
  // the next, the next start names where they went, and the log says why.
  shell::KeptCopies kept;
  if (!pages.empty()) kept = shell::KeepRecoveryCopies(shell::RecoveryFolders(), pages);
  for (const std::string& error : kept.errors) std::fprintf(stderr, "hemlo2: %s\n", error.c_str());
  if (kept.lost > 0)
    std::fprintf(stderr, "hemlo2: 変更されたページ %zu 件をどこにも保存できませんでした\n",
                 kept.lost);
  frame_->SaveFramePlace();
  if (const WriteResult saved = frame_->history().Save(ProgramFolder() / "Rireki.ini"); !saved)
    std::fprintf(stderr, "hemlo2: Rireki.ini: %s\n", saved.error.c_str());
  std::error_code ec;
  std::filesystem::remove(TableTestFile(), ec);
  return kept.lost == 0;
}

void OfferRecoveredPages(TMainForm& frame) {
  std::vector<shell::RecoveryCopy> copies;
  for (const auto& folder : shell::RecoveryFolders()) {
    auto found = shell::ListRecoveryCopies(folder);
    copies.insert(copies.end(), found.begin(), found.end());
  }
  if (copies.empty()) return;
  const Answer answer =
      frame.prompts().Message("復元", shell::RecoveryQuestion(copies, shell::RecoveryFolder()),
                              Buttons::YesNoCancel, Icon::Question);
  if (answer == Answer::Cancel) return;
  for (const shell::RecoveryCopy& copy : copies) {
    if (answer == Answer::Yes) {
      std::string bytes, error;
      if (!ReadWholeFile(copy.copy, bytes, &error)) {
        frame.prompts().Error(copy.copy.string() + "\r\n" + error);
        continue;
      }
      TMDIChild* child = frame.CreateChild();
      child->SetTabWidth(frame.TabWidth);
      child->SetCaption(QString::fromStdString(copy.original));
      if (const std::string refusal = child->LoadFile(bytes); !refusal.empty()) {
        frame.prompts().Error(copy.copy.string() + "\r\n" + refusal);
        child->SetCaption(QString());
        continue;  // the copy stays for the next start
      }
      child->Memo()->SetModified(true);
    }
    shell::RemoveRecoveryCopy(copy);
  }
}

}  // namespace hemlo
