// The Ferrox window's life: start-up and close sequences, keys, the status
// bar, and the guard every client command runs under (busy controls, the
// wait hook that keeps the program responsive, cancel, lost connections).
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

namespace hemlo {

namespace {

// Slices of a wait: events run for at most this long before the client
// looks at its socket again.
constexpr int kEventSliceMs = 10;

// A close request for a widget that must wait until the client is idle.
class CloseGuard : public QObject {
 public:
  CloseGuard(TFtp1* window, QObject* parent) : QObject(parent), window_(window) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Close && window_->ClientBusy()) {
      // The wait is cancelled; the frame may close once it has unwound.
      QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(window_, &esc);
      event->ignore();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  TFtp1* window_;
};

}  // namespace

// One client command is running: controls that would start another are
// disabled, and what was asked for meanwhile ("終了", closing) happens
// once the command has unwound.
class ClientBusyScope {
 public:
  explicit ClientBusyScope(TFtp1& w) : w_(w) {
    if (w_.client_busy_++ == 0) w_.UpdateBusyControls();
  }
  ~ClientBusyScope() {
    if (--w_.client_busy_ != 0) return;
    w_.cancel_requested_ = false;
    w_.UpdateBusyControls();
    if (w_.exit_pending_) QTimer::singleShot(0, &w_, [w = &w_] { w->ExitNow(); });
  }
  ClientBusyScope(const ClientBusyScope&) = delete;
  ClientBusyScope& operator=(const ClientBusyScope&) = delete;

 private:
  TFtp1& w_;
};

TFtp1::TFtp1(Prompts* prompts, QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("Ftp1"));
  if (prompts) {
    prompts_ = prompts;
  } else {
    own_prompts_ = std::make_unique<QtPrompts>(this);
    prompts_ = own_prompts_.get();
  }
  BuildLayout();
  WireControls();
  IdFTP1.OnConnected = [this](ftp::TIdTCPConnection&) { OnClientConnected(); };
  IdFTP1.OnDisconnected = [this](ftp::TIdTCPConnection&) { OnClientDisconnected(); };
  IdFTP1.OnVerifyCertificate = [this](const ftp::TIdCertificateInfo& info) {
    return VerifyCertificate(info);
  };
  // The form's client property: the login announces ASCII ("TYPE A"); each
  // transfer then applies the mode box.
  IdFTP1.SetTransferType(ftp::TIdFTPTransferType::ftASCII);
  // Every network wait runs the program's events in slices, so nothing
  // freezes and Escape reaches the window.
  IdFTP1.SetWaitHook([this] { return WaitHook(); });
  // The window sees every key before its controls do (Escape = stop).
  qApp->installEventFilter(this);
  Startup();
}

TFtp1::~TFtp1() {
  // The client may still report its disconnection while the window goes.
  IdFTP1.OnConnected = nullptr;
  IdFTP1.OnDisconnected = nullptr;
  IdFTP1.OnVerifyCertificate = nullptr;
  IdFTP1.SetWaitHook(nullptr);
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
  if (ClientBusy()) {
    // The client is inside a wait further down this stack: stop it first.
    RequestCancel();
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
  const bool connected = IdFTP1.Connected();
  // Everything that would send a command; "終了" stays: it cancels.
  for (QWidget* w : std::initializer_list<QWidget*>{Button10, Button16, Button11, BitBtn1})
    w->setEnabled(idle);
  Button1->setEnabled(idle && !connected);
  Button2->setEnabled(idle && connected);
  for (QAction* a : PopupMenu1->actions()) a->setEnabled(idle);
}

bool TFtp1::WaitHook() {
  QCoreApplication::processEvents(QEventLoop::AllEvents, kEventSliceMs);
  if (!cancel_requested_) return true;
  cancel_requested_ = false;
  cancel_fired_ = true;
  return false;
}

void TFtp1::RequestCancel() {
  if (ClientBusy()) cancel_requested_ = true;
}

bool TFtp1::RunClientCommand(const std::function<void()>& command) {
  if (ClientBusy()) return false;
  ClientBusyScope busy(*this);
  cancel_fired_ = false;
  certificate_declined_ = false;
  const bool was_connected = IdFTP1.Connected();
  try {
    command();
  } catch (const std::exception& e) {
    ReportFailure(e, was_connected);
  }
  return true;
}

bool TFtp1::RunOperation(const std::function<void()>& op) {
  if (ClientBusy()) return false;
  struct EndOfOperation {
    TFtp1& w;
    ~EndOfOperation() {
      w.idle_flag_ = true;
      w.operation_running_ = false;
      w.SetFileProgress(0, 0);
    }
  } guard{*this};
  operation_running_ = true;
  idle_flag_ = false;
  return RunClientCommand(op);
}

void TFtp1::ReportFailure(const std::exception& e, bool was_connected) {
  if (cancel_fired_ || dynamic_cast<const ftp::EIdOperationAborted*>(&e)) {
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
  if (const auto tls = transfer::TlsFailureText(e)) {
    prompts_->Error(*tls);
    return;
  }
  if (dynamic_cast<const ftp::EIdSilentException*>(&e)) return;
  ShowError(e);
}

void TFtp1::ReportCancelled() {
  cancel_fired_ = false;
  prompts_->Message(transfer_ui::kStopCaption, transfer_ui::kStopText, Buttons::Ok, Icon::None);
  if (IdFTP1.Connected()) {
    SetStatusText(transfer_ui::kCancelledConnected);
    return;
  }
  ListView1->clear();
  IdFTP1.Disconnect();  // the disconnected layout
  SetStatusText(transfer_ui::kCancelledClosed);
}

void TFtp1::ReportConnectionLost() {
  ListView1->clear();
  IdFTP1.Disconnect();  // the disconnected layout
  SetStatusText(transfer_ui::kConnectionLost);
  prompts_->Error(transfer_ui::kConnectionLost);
}

void TFtp1::Button3Click() {
  if (ClientBusy()) {
    // The command below us on the stack must unwind before the client is
    // closed under it; ExitNow follows then.
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
