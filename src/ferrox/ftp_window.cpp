// The Ferrox window's life: start-up and close sequences, keys, the status
// bar, and the way every client command goes: out to the worker thread,
// back as queued calls, cancelled by Escape, "終了" and closing.
#include "ferrox/ftp_window.h"
#include "transfer/profile_secrets.h"

#include <QCheckBox>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QThread>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

#include "base/program_folder.h"
#include "base/qt_prompts.h"
#include "ftp/id_exception.h"
#include "remote/ftp_errors.h"
#include "transfer/certificate_check.h"
#include "transfer/ferrox_files.h"
#include "ferrox/ftp_window_parts.h"
#include "ferrox/local_pane.h"
#include "ferrox/profile_panel_widget.h"
#include "ferrox/remote_list_model.h"
#include "ferrox/remote_pane.h"
#include "ferrox/status_line.h"
#include "ferrox/transfer_bar.h"

namespace hemlo {

namespace {

// How long closing waits for a cancelled command to end: a cancel ends a
// wait at once, but an interrupted transfer may spend up to
// ftp::kCancelCleanupMs bringing the control connection back in step.
constexpr int kCloseWaitMs = 3000;

// A close request for a widget while a client command runs: the command is
// cancelled and the close goes on once the worker has stopped.
class CloseGuard : public QObject {
 public:
  CloseGuard(TFtp1* window, QObject* parent) : QObject(parent), window_(window) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Close && window_->ClientBusy() &&
        !window_->StopCommand(kCloseWaitMs)) {
      event->ignore();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  TFtp1* window_;
};

}  // namespace

TFtp1::TFtp1(Prompts* prompts, QWidget* parent)
    : QWidget(parent, Qt::Window),
      wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      // The worker only writes to an eventfd: no object of the toolkit
      // crosses between the threads.
      ui_calls_([this] { Wake(); }, [this] { return QThread::currentThread() == thread(); }) {
  setObjectName(QStringLiteral("Ftp1"));
  if (prompts) {
    prompts_ = prompts;
  } else {
    own_prompts_ = std::make_unique<QtPrompts>(this);
    prompts_ = own_prompts_.get();
  }
  worker_prompts_ = std::make_unique<transfer::PromptsOnOwner>(ui_calls_, *prompts_);
  BuildLayout();
  WireControls();
  StartKeyring();
  password_in_file_box_ =
      new QCheckBox(QStringLiteral("パスワードをFerrox.iniに保存する（暗号化されません）"));
  password_in_file_box_->setObjectName(QStringLiteral("chkPasswordInFile"));
  profile_->AddField(QString(), password_in_file_box_);
  // Known without asking the keyring; one that fails later shows it then.
  password_in_file_box_->setVisible(!keyring_->Present());
  // The client's events come from the worker; the window takes them on its
  // own thread, in order.
  IdFTP1.OnConnected = [this](ftp::TIdTCPConnection&) {
    PostToWindow([this] { OnClientConnected(); });
  };
  IdFTP1.OnDisconnected = [this](ftp::TIdTCPConnection&) {
    PostToWindow([this] { OnClientDisconnected(); });
  };
  IdFTP1.OnVerifyCertificate = [this](const ftp::TIdCertificateInfo& info) {
    auto accept = std::make_shared<bool>(false);
    try {
      ui_calls_.Call([this, accept, info] { *accept = VerifyCertificate(info); });
    } catch (const transfer::UiCallAbandoned&) {
      throw ftp::EIdOperationAborted();
    }
    return *accept;
  };
  // The form's client property: the login announces ASCII ("TYPE A"); each
  // transfer then applies the mode box.
  IdFTP1.SetTransferType(ftp::TIdFTPTransferType::ftASCII);
  wake_notifier_ = new QSocketNotifier(wake_fd_, QSocketNotifier::Read, this);
  connect(wake_notifier_, &QSocketNotifier::activated, this, [this] {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t r = ::read(wake_fd_, &count, sizeof count);
    // One call per turn of the event loop; the rest wait for the next.
    ui_calls_.TakeOne();
    if (ui_calls_.HasQueued()) Wake();
  });
  worker_ = std::make_unique<transfer::ConnectionWorker>();
  // The window sees every key before its controls do (Escape = stop).
  qApp->installEventFilter(this);
  Startup();
}

TFtp1::~TFtp1() {
  // A command still running is stopped; the worker's thread ends before
  // the client and the widgets it reports to go.
  IdFTP1.Cancel();
  if (sftp_) sftp_->Cancel();
  ui_calls_.SetAbandoned(true);
  // Never waits for the keyring: a call pending is given up.
  keyring_->Close();
  worker_.reset();
  delete wake_notifier_;
  ::close(wake_fd_);
  // The client may still report its disconnection while the window goes.
  IdFTP1.OnConnected = nullptr;
  IdFTP1.OnDisconnected = nullptr;
  IdFTP1.OnVerifyCertificate = nullptr;
}

void TFtp1::Startup() {
  idle_flag_ = true;
  transfer_bar_->mode_box->setCurrentIndex(1);
  DroppedFiles_.clear();
  for (QLineEdit* e : profile_->TextFields()) e->clear();
  remote_->folder_label->clear();

  transfer::FileOutcome read;
  std::vector<std::string> lines = transfer::ReadProfileFile(ProgramFolder(), &read);
  if (!read.ok) prompts_->Error(read.error);
  file_lines_ = lines;
  transfer::RestorePasswords(lines, keyring_->Present());
  Profiles_.Load(std::move(lines));
  ShowProfileFields();

  QString start = QDir::currentPath();
  if (const auto last = transfer::ReadLastDir(ProgramFolder());
      last && QFileInfo(QString::fromStdString(*last)).isDir())
    start = QString::fromStdString(*last);
  SetLocalFolder(start);

  RenameOldName_.clear();
  RenameEditing_ = false;
  profile_->disconnect_button->setEnabled(false);

  // The local list starts sorted by date, newest first.
  Sort_.SortDirection = 2;
  ColumnClick(local_->file_list, 1);
}

void TFtp1::CloseSequence() {
  // The keyring is not asked at quit: what it was given is there already.
  if (!Profiles_.ProfileList.empty()) WriteProfiles(false);
  const auto r = transfer::WriteLastDir(ProgramFolder(), LocalFolder());
  if (!r.ok) prompts_->Error(r.error);
}

void TFtp1::closeEvent(QCloseEvent* event) {
  if (ClientBusy() && !StopCommand(kCloseWaitMs)) {
    event->ignore();
    return;
  }
  if (!idle_flag_) {
    event->ignore();
    return;
  }
  CloseSequence();
  event->accept();
}

void TFtp1::CancelWaitsFrom(QWidget* dialog) { cancel_windows_.append(dialog); }

void TFtp1::GuardCloseOf(QWidget* frame) { frame->installEventFilter(new CloseGuard(this, frame)); }

bool TFtp1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      (static_cast<QWidget*>(watched)->window() == this ||
       cancel_windows_.contains(static_cast<QWidget*>(watched)->window()))) {
    // Only Escape touches the flag: ordinary typing must never make the
    // window refuse to close.
    if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      idle_flag_ = true;
      if (ClientBusy()) RequestCancel();
    }
  }
  return QWidget::eventFilter(watched, event);
}

// ---- status and progress ----

void TFtp1::SetStatusText(const std::string& text) {
  status_->message->setText(QString::fromStdString(text));
}
QString TFtp1::StatusText() const { return status_->message->text(); }

void TFtp1::ShowError(const std::exception& e) {
  prompts_->Error(transfer::ClientErrorText(e, Session_.Names));
}

void TFtp1::ShowPlain(const QString& text) {
  prompts_->Message(kProgramTitle, text.toStdString(), Buttons::Ok, Icon::None);
}

void TFtp1::SetFileProgress(int n, int m) { status_->SetFileProgress(n, m); }

void TFtp1::SetByteProgress(int64_t done, int64_t total) { status_->SetByteProgress(done, total); }

ftp::TIdFTPTransferType TFtp1::TransferMode() const { return transfer_bar_->Mode(); }

// ---- client commands ----

void TFtp1::UpdateBusyControls() {
  const bool idle = !ClientBusy();
  // Everything that would send a command; "終了" stays: it cancels.
  transfer_bar_->SetCommandsEnabled(idle);
  remote_->SetCommandsEnabled(idle);
  profile_->connect_button->setEnabled(idle && !connected_);
  profile_->disconnect_button->setEnabled(idle && connected_);
  // While a connect is under way the profile shown is the one it uses.
  profile_->SetEditable(idle && !connected_);
}

void TFtp1::RequestCancel() {
  if (!ClientBusy()) return;
  call_.AskStop();
  IdFTP1.Cancel();
  if (sftp_) sftp_->Cancel();
}

void TFtp1::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t w = ::write(wake_fd_, &one, sizeof one);
}

bool TFtp1::RunClientCommand(std::function<void()> command, std::function<void()> then) {
  return StartCommand(false, std::move(command), std::move(then));
}

bool TFtp1::StartCommand(bool operation, std::function<void()> command,
                         std::function<void()> then) {
  if (ClientBusy()) return false;
  call_.Begin(operation);
  IdFTP1.ClearCancel();
  if (sftp_) sftp_->ClearCancel();
  UpdateBusyControls();
  worker_->Post([this, command = std::move(command), then = std::move(then)] {
    const bool was_connected = RemoteConnected();
    std::exception_ptr failure;
    try {
      command();
    } catch (...) {
      failure = std::current_exception();
    }
    const bool cancelled = IdFTP1.CancelFired();
    // Behind every call the command queued: the window sees its end last.
    PostToWindow([this, failure, was_connected, cancelled, then] {
      FinishCommand(failure, was_connected, cancelled, then);
    });
  });
  return true;
}

void TFtp1::FinishCommand(std::exception_ptr failure, bool was_connected, bool cancelled,
                          const std::function<void()>& then) {
  call_.End();
  const bool listing_cut = call_.ListingPartial();
  if (listing_cut) {
    // Part of a listing is never shown as the folder's contents.
    remote_->model->Clear();
    call_.ListingEnded();
  }
  // Taken now: what `then` starts is another command.
  const bool exit = call_.TakeExit();
  if (failure) {
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& e) {
      ReportFailure(e, was_connected, cancelled);
    }
  } else if (listing_cut && call_.StopAsked()) {
    // Escape came after the worker's last read: the stop is still said.
    ReportCancelled();
  }
  if (then) then();
  UpdateBusyControls();
  emit commandFinished();
  if (exit) ExitNow();
}

bool TFtp1::RunOperation(std::function<void()> op, std::function<void()> then) {
  if (ClientBusy()) return false;
  idle_flag_ = false;
  return StartCommand(true, std::move(op), [this, then = std::move(then)] {
    idle_flag_ = true;
    call_.EndOperation();
    SetFileProgress(0, 0);
    if (then) then();
  });
}

bool TFtp1::StopCommand(int timeout_ms) {
  if (!ClientBusy()) return true;
  call_.StopQuietly();
  idle_flag_ = true;
  RequestCancel();
  // A question the worker waits for is given up, or the two threads would
  // wait for each other.
  ui_calls_.SetAbandoned(true);
  const bool stopped = worker_->WaitIdle(timeout_ms);
  ui_calls_.SetAbandoned(false);
  // The worker's last calls wait in the queue: take them now, its end last.
  if (stopped)
    while (ui_calls_.TakeOne()) {
    }
  return stopped && !ClientBusy();
}

void TFtp1::ReportFailure(const std::exception& e, bool was_connected, bool cancelled) {
  if (cancelled || transfer::IsCancelled(e)) {
    ReportCancelled();
    return;
  }
  if (call_.ConnectWasDeclined() &&
      (sftp_ || dynamic_cast<const remote::TrustDeclined*>(transfer::RemoteErrorOf(e).get()))) {
    // The user said いいえ: that was the answer, not an error to show.
    SetStatusText(transfer::kConnectionDeclined);
    return;
  }
  // A connection that was there and is gone: one plain message, whatever
  // the client's error was (reset, closed, timed out on a dead link). One
  // lost while connecting (after the greeting, during the login or the
  // first listing) is lost all the same.
  if (transfer::IsQuietLoss(e) || (was_connected && !RemoteConnected())) {
    ReportConnectionLost();
    return;
  }
  if (call_.Quiet()) return;
  if (const auto tls = transfer::TlsFailureText(e)) {
    prompts_->Error(*tls);
    return;
  }
  if (transfer::IsQuietLoss(e)) return;
  ShowError(e);
}

void TFtp1::ReportCancelled() {
  if (!call_.Quiet())
    prompts_->Message(transfer_ui::kStopCaption, transfer_ui::kStopText, Buttons::Ok, Icon::None);
  if (RemoteConnected()) {
    SetStatusText(transfer_ui::kCancelledConnected);
    return;
  }
  remote_->model->Clear();
  DisconnectRemote();  // the disconnected layout
  SetStatusText(transfer_ui::kCancelledClosed);
}

void TFtp1::ReportConnectionLost() {
  remote_->model->Clear();
  DisconnectRemote();  // the disconnected layout
  SetStatusText(transfer_ui::kConnectionLost);
  if (!call_.Quiet()) prompts_->Error(transfer_ui::kConnectionLost);
}

void TFtp1::Button3Click() {
  if (ClientBusy()) {
    // The command must end before the client is closed; ExitNow follows.
    call_.ExitWhenEnded();
    idle_flag_ = true;
    RequestCancel();
    return;
  }
  ExitNow();
}

void TFtp1::ExitNow() {
  try {
    IdFTP1.AbortTransfer();
  } catch (const std::exception&) {
    // Leaving anyway: the disconnection below closes everything.
  }
  DisconnectRemote();
  idle_flag_ = true;
  close();
}

}  // namespace hemlo
