// The Ferrox window's life: start-up and close sequences, keys, the status
// bar, and the way every client command goes: out to the worker thread,
// back as queued calls, cancelled by Escape, "終了" and closing.
#include "transfer/ftp_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>

#include "base/program_folder.h"
#include "base/qt_prompts.h"
#include "ftp/id_exception.h"
#include "transfer/certificate_check.h"
#include "transfer/ferrox_files.h"
#include "transfer/ftp_window_parts.h"
#include "transfer/remote_list_model.h"

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
      ui_calls_(
          [this] {
            QMetaObject::invokeMethod(
                this, [this] { ui_calls_.TakeOne(); }, Qt::QueuedConnection);
          },
          [this] { return QThread::currentThread() == thread(); }) {
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
  worker_ = std::make_unique<transfer::ConnectionWorker>();
  // The window sees every key before its controls do (Escape = stop).
  qApp->installEventFilter(this);
  Startup();
}

TFtp1::~TFtp1() {
  // A command still running is stopped; the worker's thread ends before
  // the client and the widgets it reports to go.
  IdFTP1.Cancel();
  ui_calls_.SetAbandoned(true);
  worker_.reset();
  // The client may still report its disconnection while the window goes.
  IdFTP1.OnConnected = nullptr;
  IdFTP1.OnDisconnected = nullptr;
  IdFTP1.OnVerifyCertificate = nullptr;
}

void TFtp1::Startup() {
  idle_flag_ = true;
  ComboBox1->setCurrentIndex(1);
  DroppedFiles_.clear();
  Edit1->clear();
  Edit2->clear();
  Edit3->clear();
  Edit4->clear();
  Label5->clear();

  transfer::FileOutcome read;
  std::vector<std::string> lines = transfer::ReadProfileFile(ProgramFolder(), &read);
  if (!read.ok) prompts_->Error(read.error);
  Profiles_.Load(std::move(lines));
  ShowProfileFields();

  QString start = QDir::currentPath();
  if (const auto last = transfer::ReadLastDir(ProgramFolder());
      last && QFileInfo(QString::fromStdString(*last)).isDir())
    start = QString::fromStdString(*last);
  SetLocalFolder(start);

  RenameOldName_.clear();
  RenameEditing_ = false;
  Button2->setEnabled(false);

  // The local list starts sorted by date, newest first.
  Sort_.SortDirection = 2;
  ColumnClick(ListView2, 1);
}

void TFtp1::CloseSequence() {
  if (!Profiles_.ProfileList.empty()) {
    const auto r = transfer::WriteProfileFile(ProgramFolder(), Profiles_.ProfileList);
    if (!r.ok) prompts_->Error(r.error);
  }
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
  } else if (watched == StatusBar1 && event->type() == QEvent::Resize) {
    StatusPanel0->setFixedWidth(std::max(0, StatusBar1->width() - 200));
  }
  return QWidget::eventFilter(watched, event);
}

// ---- status and progress ----

void TFtp1::SetStatusText(const std::string& text) {
  StatusPanel0->setText(QString::fromStdString(text));
}
QString TFtp1::StatusText() const { return StatusPanel0->text(); }

void TFtp1::ShowError(const std::exception& e) {
  prompts_->Error(transfer::ClientErrorText(e, Session_.Names));
}

void TFtp1::ShowPlain(const QString& text) {
  prompts_->Message(kProgramTitle, text.toStdString(), Buttons::Ok, Icon::None);
}

void TFtp1::SetFileProgress(int n, int m) {
  if (m <= 0) {
    ProgressBar1->hide();
    return;
  }
  ProgressBar1->setFormat(QStringLiteral("%1/%2").arg(n).arg(m));
  ProgressBar1->setRange(0, 1000);
  ProgressBar1->setValue(0);
  ProgressBar1->show();
}

void TFtp1::SetByteProgress(int64_t done, int64_t total) {
  if (total <= 0) {
    ProgressBar1->setRange(0, 0);  // size unknown: the bar moves anyway
  } else {
    ProgressBar1->setRange(0, 1000);
    ProgressBar1->setValue(static_cast<int>(std::min<int64_t>(1000, done * 1000 / total)));
  }
}

ftp::TIdFTPTransferType TFtp1::TransferMode() const {
  return ComboBox1->currentIndex() == 0 ? ftp::TIdFTPTransferType::ftASCII
                                        : ftp::TIdFTPTransferType::ftBinary;
}

// ---- client commands ----

void TFtp1::UpdateBusyControls() {
  const bool idle = !ClientBusy();
  // Everything that would send a command; "終了" stays: it cancels.
  for (QWidget* w : std::initializer_list<QWidget*>{Button10, Button16, Button11, BitBtn1})
    w->setEnabled(idle);
  Button1->setEnabled(idle && !connected_);
  Button2->setEnabled(idle && connected_);
  for (QAction* a : PopupMenu1->actions()) a->setEnabled(idle);
}

void TFtp1::RequestCancel() {
  if (!ClientBusy()) return;
  stop_requested_ = true;
  IdFTP1.Cancel();
}

bool TFtp1::RunClientCommand(std::function<void()> command, std::function<void()> then) {
  if (ClientBusy()) return false;
  busy_ = true;
  quiet_finish_ = false;
  stop_requested_ = false;
  certificate_declined_ = false;
  IdFTP1.ClearCancel();
  UpdateBusyControls();
  worker_->Post([this, command = std::move(command), then = std::move(then)] {
    const bool was_connected = IdFTP1.Connected();
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
  busy_ = false;
  if (listing_incomplete_) {
    // Part of a listing is never shown as the folder's contents.
    RemoteModel_->Clear();
    listing_incomplete_ = false;
  }
  if (failure) {
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& e) {
      ReportFailure(e, was_connected, cancelled);
    }
  }
  if (then) then();
  UpdateBusyControls();
  emit commandFinished();
  if (exit_pending_) ExitNow();
}

bool TFtp1::RunOperation(std::function<void()> op, std::function<void()> then) {
  if (ClientBusy()) return false;
  operation_running_ = true;
  idle_flag_ = false;
  return RunClientCommand(std::move(op), [this, then = std::move(then)] {
    idle_flag_ = true;
    operation_running_ = false;
    SetFileProgress(0, 0);
    if (then) then();
  });
}

bool TFtp1::StopCommand(int timeout_ms) {
  if (!ClientBusy()) return true;
  quiet_finish_ = true;
  idle_flag_ = true;
  RequestCancel();
  // A question the worker waits for is given up, or the two threads would
  // wait for each other.
  ui_calls_.SetAbandoned(true);
  const bool stopped = worker_->WaitIdle(timeout_ms);
  ui_calls_.SetAbandoned(false);
  // The worker's last calls wait in the queue: take them now, its end last.
  if (stopped) QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
  return stopped && !ClientBusy();
}

void TFtp1::ReportFailure(const std::exception& e, bool was_connected, bool cancelled) {
  if (cancelled || dynamic_cast<const ftp::EIdOperationAborted*>(&e)) {
    ReportCancelled();
    return;
  }
  if (certificate_declined_ && dynamic_cast<const ftp::EIdCertificateRejected*>(&e)) {
    // The user said いいえ: that was the answer, not an error to show.
    SetStatusText(transfer::kConnectionDeclined);
    return;
  }
  // A connection that was there and is gone: one plain message, whatever
  // the client's error was (reset, closed, timed out on a dead link). One
  // lost while connecting (after the greeting, during the login or the
  // first listing) is lost all the same.
  if (dynamic_cast<const ftp::EIdConnectionLost*>(&e) ||
      (was_connected &&
       (!IdFTP1.Connected() || dynamic_cast<const ftp::EIdSilentException*>(&e)))) {
    ReportConnectionLost();
    return;
  }
  if (quiet_finish_) return;
  if (const auto tls = transfer::TlsFailureText(e)) {
    prompts_->Error(*tls);
    return;
  }
  if (dynamic_cast<const ftp::EIdSilentException*>(&e)) return;
  ShowError(e);
}

void TFtp1::ReportCancelled() {
  if (!quiet_finish_)
    prompts_->Message(transfer_ui::kStopCaption, transfer_ui::kStopText, Buttons::Ok, Icon::None);
  if (IdFTP1.Connected()) {
    SetStatusText(transfer_ui::kCancelledConnected);
    return;
  }
  RemoteModel_->Clear();
  IdFTP1.Disconnect();  // the disconnected layout
  SetStatusText(transfer_ui::kCancelledClosed);
}

void TFtp1::ReportConnectionLost() {
  RemoteModel_->Clear();
  IdFTP1.Disconnect();  // the disconnected layout
  SetStatusText(transfer_ui::kConnectionLost);
  if (!quiet_finish_) prompts_->Error(transfer_ui::kConnectionLost);
}

void TFtp1::Button3Click() {
  if (ClientBusy()) {
    // The command must end before the client is closed; ExitNow follows.
    exit_pending_ = true;
    idle_flag_ = true;
    RequestCancel();
    return;
  }
  ExitNow();
}

void TFtp1::ExitNow() {
  exit_pending_ = false;
  try {
    IdFTP1.AbortTransfer();
  } catch (const std::exception&) {
    // Leaving anyway: the disconnection below closes everything.
  }
  IdFTP1.Disconnect();
  idle_flag_ = true;
  close();
}

}  // namespace hemlo
