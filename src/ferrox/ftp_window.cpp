// The Ferrox window's life: start-up and close sequences, keys, the
// connection's events handed to the controllers, and the way every client
// command ends: reported, the controls enabled again, "終了" honoured.
#include "ferrox/ftp_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QThread>
#include <QToolButton>

#include "base/program_folder.h"
#include "base/qt_prompts.h"
#include "ferrox/ftp_window_parts.h"
#include "ferrox/local_pane.h"
#include "ferrox/profile_panel_widget.h"
#include "ferrox/remote_pane.h"
#include "ferrox/status_line.h"
#include "ferrox/transfer_bar.h"
#include "transfer/ferrox_files.h"

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
      call_(connection_->Call()) {
  setObjectName(QStringLiteral("Ftp1"));
  views_ = transfer_ui::BuildWindowLayout(this, Sort_, *prompts_);
  auto& c = *connection_;
  profile_ = std::make_unique<transfer_ui::ProfileController>(
      views_, c, Profiles_, [this] { return connect_ && connect_->Connected(); });
  remote_ = std::make_unique<transfer_ui::RemotePaneController>(this, views_, c, Profiles_, Sort_);
  local_ = std::make_unique<transfer_ui::LocalPaneController>(views_);
  connect_ =
      std::make_unique<transfer_ui::ConnectController>(views_, c, Profiles_, *profile_, *remote_);
  WireControls();
  ListenToConnection();
  // The form's client property: the login announces ASCII ("TYPE A"); each
  // transfer then applies the mode box.
  IdFTP1.SetTransferType(ftp::TIdFTPTransferType::ftASCII);
  wake_notifier_ = new QSocketNotifier(c.WakeFd(), QSocketNotifier::Read, this);
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
  profile_->Keyring().Close();
  delete wake_notifier_;
  connection_.reset();
}

void TFtp1::ListenToConnection() {
  transfer_ui::ConnectController* conn = connect_.get();
  transfer_ui::RemotePaneController* remote = remote_.get();
  transfer::Connection::Events events;
  events.connected = [conn] { conn->OnConnected(); };
  events.disconnected = [conn] { conn->OnDisconnected(); };
  // The worker's questions, asked with the window's own boxes.
  events.question = [this, conn](const transfer::Question& q) {
    if (q.kind != transfer::Question::Kind::kCertificate) return transfer::AskWith(*prompts_, q);
    transfer::Reply trust;
    trust.answer = conn->VerifyCertificate(q.certificate) ? Answer::Yes : Answer::No;
    return trust;
  };
  events.started = [this] { UpdateBusyControls(); };
  events.status = [this](const std::string& text) { SetStatusText(text); };
  events.file_progress = [this](int n, int m) { SetFileProgress(n, m); };
  events.byte_progress = [this](int64_t done, int64_t total) { SetByteProgress(done, total); };
  events.listing_folder = [remote](const std::string& folder, const text::RemoteNames& names) {
    remote->ShowFolder(folder, names);
  };
  events.listing_failed = [remote] { remote->Clear(); };
  events.listing_started = [remote](const text::RemoteNames& names, size_t lines) {
    remote->OnListingStarted(names, lines);
  };
  events.listing_batch = [remote](std::vector<transfer::RemoteListEntry>&& rows,
                                  std::map<std::string, std::string>&& links) {
    remote->OnListingBatch(std::move(rows), std::move(links));
  };
  events.listing_ended = [remote](const transfer::ListingEnd& end) { remote->OnListingEnded(end); };
  events.finished = [this](const transfer::CommandEnd& end) { OnCommandEnded(end); };
  connection_->SetEvents(std::move(events));
}

void TFtp1::WireControls() {
  using transfer_ui::FileListView;
  using transfer_ui::RemoteListView;
  RemoteListView* remote_list = views_.remote->list;
  FileListView* local_list = views_.local->file_list;
  connect(views_.publish_button, &QPushButton::clicked, this, &TFtp1::publishChangesRequested);
  connect(views_.undo_publish_action, &QAction::triggered, this, &TFtp1::undoPublishRequested);
  connect(remote_list->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this, remote_list](int c) { ColumnClick(remote_list, c); });
  connect(local_list->header(), &QHeaderView::sectionClicked, this,
          [this, local_list](int c) { ColumnClick(local_list, c); });
  connect(remote_list, &RemoteListView::rowsDropped, this, &TFtp1::uploadSelectedRequested);
  connect(remote_list, &RemoteListView::filesDropped, this,
          [this](const std::vector<std::string>& paths) {
            DroppedFiles_ = paths;
            emit uploadDroppedRequested();
          });
  connect(remote_list, &QTableView::doubleClicked, this, &TFtp1::ListView1DblClick);
  const transfer_ui::RemotePane* r = views_.remote;
  connect(r->permission_action, &QAction::triggered, this, &TFtp1::permissionRequested);
  connect(r->create_folder_action, &QAction::triggered, this, &TFtp1::remoteCreateFolderRequested);
  connect(r->delete_action, &QAction::triggered, this, &TFtp1::remoteDeleteRequested);
  connect(r->up_button, &QToolButton::clicked, this, &TFtp1::BitBtn1Click);
  connect(local_list, &FileListView::rowsDropped, this, &TFtp1::downloadSelectedRequested);
  const transfer_ui::LocalPane* l = views_.local;
  connect(l->make_folder_action, &QAction::triggered, this, [this] { mnuMakeFolderClick(); });
  connect(l->delete_folder_action, &QAction::triggered, this, [this] { mnuDeleteFolderClick(); });
  connect(l->rename_folder_action, &QAction::triggered, this, [this] { mnuRenameFolderClick(); });
  connect(l->delete_files_action, &QAction::triggered, this, [this] { mnuDeleteFilesClick(); });

  const transfer_ui::ProfilePanelWidget* p = views_.profile;
  connect(p->connect_button, &QPushButton::clicked, this, &TFtp1::Button1Click);
  connect(p->disconnect_button, &QPushButton::clicked, this, &TFtp1::Button2Click);
  connect(p->exit_button, &QPushButton::clicked, this, &TFtp1::Button3Click);
  connect(p->prev_button, &QPushButton::clicked, this, &TFtp1::Button4Click);
  connect(p->next_button, &QPushButton::clicked, this, &TFtp1::Button5Click);
  connect(p->add_button, &QPushButton::clicked, this, &TFtp1::Button6Click);
  connect(p->save_button, &QPushButton::clicked, this, &TFtp1::Button7Click);
  connect(p->cancel_add_button, &QPushButton::clicked, this, &TFtp1::Button8Click);
  connect(p->delete_button, &QPushButton::clicked, this, &TFtp1::Button9Click);
  const transfer_ui::TransferBar* t = views_.transfer_bar;
  connect(t->upload_button, &QPushButton::clicked, this, &TFtp1::uploadSelectedRequested);
  connect(t->download_button, &QPushButton::clicked, this, &TFtp1::downloadSelectedRequested);
  connect(t->folder_upload_button, &QPushButton::clicked, this, &TFtp1::folderUploadRequested);
  connect(t->select_all_box, &QCheckBox::toggled, this, &TFtp1::CheckBox1Click);
}

void TFtp1::Startup() {
  SetIdleFlag(true);
  views_.transfer_bar->mode_box->setCurrentIndex(1);
  DroppedFiles_.clear();
  for (QLineEdit* e : views_.profile->TextFields()) e->clear();
  views_.remote->folder_label->clear();

  profile_->Load();

  QString start = QDir::currentPath();
  if (const auto last = transfer::ReadLastDir(ProgramFolder());
      last && QFileInfo(QString::fromStdString(*last)).isDir())
    start = QString::fromStdString(*last);
  SetLocalFolder(start);

  CancelRename();
  views_.profile->disconnect_button->setEnabled(false);

  // The local list starts sorted by date, newest first.
  Sort_.SortDirection = 2;
  ColumnClick(views_.local->file_list, 1);
}

void TFtp1::closeEvent(QCloseEvent* event) {
  if ((ClientBusy() && !StopCommand(kCloseWaitMs)) || !IdleFlag()) {
    event->ignore();
    return;
  }
  profile_->WriteAtQuit();
  const auto r = transfer::WriteLastDir(ProgramFolder(), LocalFolder());
  if (!r.ok) prompts_->Error(r.error);
  event->accept();
}

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

void TFtp1::SetFileProgress(int n, int m) { views_.status->SetFileProgress(n, m); }

void TFtp1::SetByteProgress(int64_t done, int64_t total) {
  views_.status->SetByteProgress(done, total);
}

transfer::TransferMode TFtp1::TransferMode() const { return views_.transfer_bar->Mode(); }

void TFtp1::UpdateBusyControls() {
  const bool idle = !ClientBusy();
  const bool connected = connect_->Connected();
  // Everything that would send a command; "終了" stays: it cancels.
  views_.transfer_bar->SetCommandsEnabled(idle);
  views_.remote->SetCommandsEnabled(idle);
  views_.profile->connect_button->setEnabled(idle && !connected);
  views_.profile->disconnect_button->setEnabled(idle && connected);
  // While a connect is under way the profile shown is the one it uses.
  views_.profile->SetEditable(idle && !connected);
}

void TFtp1::OnCommandEnded(const transfer::CommandEnd& end) {
  const bool listing_cut = call_.ListingPartial();
  if (listing_cut) {
    // Part of a listing is never shown as the folder's contents.
    remote_->Clear();
    call_.ListingEnded();
  }
  // Taken now: what `then` starts is another command.
  const bool exit = call_.TakeExit();
  if (end.failure) {
    try {
      std::rethrow_exception(end.failure);
    } catch (const std::exception& e) {
      connect_->ReportFailure(e, end.was_connected, end.cancelled);
    }
  } else if (listing_cut && call_.StopAsked()) {
    // Escape came after the worker's last read: the stop is still said.
    connect_->ReportCancelled();
  }
  // An operation's progress bar goes before its own continuation runs.
  if (call_.Operation()) SetFileProgress(0, 0);
  if (end.then) end.then();
  UpdateBusyControls();
  emit commandFinished();
  if (exit) ExitNow();
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
  connect_->CloseConnection();
  SetIdleFlag(true);
  close();
}

}  // namespace hemlo
