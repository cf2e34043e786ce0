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

#include <algorithm>

#include "base/program_folder.h"
#include "base/qt_prompts.h"
#include "ftp/id_exception.h"
#include "remote/ftp_errors.h"
#include "transfer/certificate_check.h"
#include "transfer/ferrox_files.h"
#include "ferrox/ftp_window_parts.h"
#include "ferrox/local_pane.h"
#include "ferrox/profile_keeper.h"
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
      own_prompts_(prompts ? nullptr : std::make_unique<QtPrompts>(this)),
      prompts_(prompts ? prompts : own_prompts_.get()),
      connection_(std::make_unique<transfer::Connection>(
          [this] { return QThread::currentThread() == thread(); })),
      IdFTP1(connection_->Ftp()),
      Session_(connection_->Session()),
      call_(connection_->Call()) {
  setObjectName(QStringLiteral("Ftp1"));
  BuildLayout();
  WireControls();
  StartKeyring();
  password_in_file_box_ =
      new QCheckBox(QStringLiteral("パスワードをFerrox.iniに保存する（暗号化されません）"));
  password_in_file_box_->setObjectName(QStringLiteral("chkPasswordInFile"));
  profile_->AddField(QString(), password_in_file_box_);
  // Known without asking the keyring; one that fails later shows it then.
  password_in_file_box_->setVisible(!keyring_->Present());
  transfer::Connection::Events events;
  events.connected = [this] { OnClientConnected(); };
  events.disconnected = [this] { OnClientDisconnected(); };
  // The worker's questions, asked with the window's own boxes.
  events.question = [this](const transfer::Question& q) {
    if (q.kind != transfer::Question::Kind::kCertificate) return transfer::AskWith(*prompts_, q);
    transfer::Reply trust;
    trust.answer = VerifyCertificate(q.certificate) ? Answer::Yes : Answer::No;
    return trust;
  };
  events.started = [this] { UpdateBusyControls(); };
  events.status = [this](const std::string& text) { SetStatusText(text); };
  events.file_progress = [this](int n, int m) { SetFileProgress(n, m); };
  events.byte_progress = [this](int64_t done, int64_t total) { SetByteProgress(done, total); };
  events.listing_folder = [this](const std::string& folder, const text::RemoteNames& names) {
    ShowRemoteFolder(folder, names);
  };
  events.listing_failed = [this] { remote_->model->Clear(); };
  events.listing_started = [this](const text::RemoteNames& names, size_t lines) {
    OnListingStarted(names, lines);
  };
  events.listing_batch = [this](std::vector<transfer::RemoteListEntry>&& rows,
                                std::map<std::string, std::string>&& links) {
    // A stopped listing's last batches are not worth showing.
    if (call_.StopAsked()) return;
    remote_->model->Append(std::move(rows));
    remote_->model->AddLinkTargets(std::move(links));
  };
  events.listing_ended = [this](const transfer::ListingEnd& end) { OnListingEnded(end); };
  events.finished = [this](const transfer::CommandEnd& end) { OnCommandEnded(end); };
  connection_->SetEvents(std::move(events));
  // The form's client property: the login announces ASCII ("TYPE A"); each
  // transfer then applies the mode box.
  IdFTP1.SetTransferType(ftp::TIdFTPTransferType::ftASCII);
  wake_notifier_ = new QSocketNotifier(connection_->WakeFd(), QSocketNotifier::Read, this);
  // One call per turn of the event loop; the rest wait for the next.
  connect(wake_notifier_, &QSocketNotifier::activated, this, [this] { connection_->TakeQueued(); });
  // The window sees every key before its controls do (Escape = stop).
  qApp->installEventFilter(this);
  Startup();
}

TFtp1::~TFtp1() {
  // A command still running is stopped; the worker's thread ends before
  // the client and the widgets it reports to go.
  connection_->Abandon();
  // Never waits for the keyring: a call pending is given up.
  keyring_->Close();
  delete wake_notifier_;
  connection_.reset();
}

void TFtp1::Startup() {
  SetIdleFlag(true);
  transfer_bar_->mode_box->setCurrentIndex(1);
  DroppedFiles_.clear();
  for (QLineEdit* e : profile_->TextFields()) e->clear();
  remote_->folder_label->clear();

  Profiles_.Load(profile_file_->Read());
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
  if (!Profiles_.ProfileList.empty()) profile_file_->Write(false);
  const auto r = transfer::WriteLastDir(ProgramFolder(), LocalFolder());
  if (!r.ok) prompts_->Error(r.error);
}

void TFtp1::closeEvent(QCloseEvent* event) {
  if (ClientBusy() && !StopCommand(kCloseWaitMs)) {
    event->ignore();
    return;
  }
  if (!IdleFlag()) {
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
      SetIdleFlag(true);
      connection_->Cancel();
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

transfer::TransferMode TFtp1::TransferMode() const { return transfer_bar_->Mode(); }

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

bool TFtp1::RunClientCommand(std::function<void()> command, std::function<void()> then) {
  return connection_->Run(false, std::move(command), std::move(then));
}

void TFtp1::OnCommandEnded(const transfer::CommandEnd& end) {
  const bool listing_cut = call_.ListingPartial();
  if (listing_cut) {
    // Part of a listing is never shown as the folder's contents.
    remote_->model->Clear();
    call_.ListingEnded();
  }
  // Taken now: what `then` starts is another command.
  const bool exit = call_.TakeExit();
  if (end.failure) {
    try {
      std::rethrow_exception(end.failure);
    } catch (const std::exception& e) {
      ReportFailure(e, end.was_connected, end.cancelled);
    }
  } else if (listing_cut && call_.StopAsked()) {
    // Escape came after the worker's last read: the stop is still said.
    ReportCancelled();
  }
  // An operation's progress bar goes before its own continuation runs.
  if (call_.Operation()) SetFileProgress(0, 0);
  if (end.then) end.then();
  UpdateBusyControls();
  emit commandFinished();
  if (exit) ExitNow();
}

bool TFtp1::RunOperation(std::function<void()> op, std::function<void()> then) {
  return connection_->RunOperation(std::move(op), std::move(then));
}

void TFtp1::ReportFailure(const std::exception& e, bool was_connected, bool cancelled) {
  if (cancelled || transfer::IsCancelled(e)) {
    ReportCancelled();
    return;
  }
  if (call_.ConnectWasDeclined() &&
      (connection_->Sftp() || dynamic_cast<const remote::TrustDeclined*>(transfer::RemoteErrorOf(e).get()))) {
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
    SetIdleFlag(true);
    connection_->Cancel();
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
  SetIdleFlag(true);
  close();
}

}  // namespace hemlo
