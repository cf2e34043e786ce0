#include "ferrox/publish_command.h"

#include <QFileDialog>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <ctime>
#include <memory>

#include "base/program_folder.h"
#include "text/cp932.h"
#include "ferrox/ftp_window_parts.h"
#include "ferrox/publish_plan_dialog.h"
#include "ferrox/run_connections.h"
#include "ferrox/sync_run.h"
#include "ferrox/sync_place.h"
#include "publish/undo_plan.h"

namespace hemlo::transfer_ui {

namespace {

QString U(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

}  // namespace

PublishCommand::PublishCommand(SyncPlace& place, SyncScreen& screen, QWidget& window)
    : QObject(&window), place_(place), link_(place.Link()), screen_(screen), window_(window) {
  dialog_ = new PublishPlanDialog(&window);
  ChooseFolder = [this](const std::string& start) -> std::optional<std::string> {
    const QString dir = QFileDialog::getExistingDirectory(
        &window_, QStringLiteral("サイトフォルダの選択"), U(start));
    if (dir.isEmpty()) return std::nullopt;
    return dir.toStdString();
  };
  connect(dialog_, &PublishPlanDialog::executeClicked, this, [this] {
    ++count_generation_;  // the plan's page gives way to the run's
    transfer::ApplyChoices(dialog_->Plan(), sources_, plan_);
    Execute(on_save_);
  });
  connect(dialog_, &PublishPlanDialog::siteCheckClicked, this, [this] {
    if (SiteCheck) SiteCheck(site_, FilesToSend());
  });
  connect(dialog_, &QDialog::rejected, this, [this] {
    // キャンセル on the plan; closing the result view ends nothing.
    if (!running_ || dialog_->ShowingResult()) return;
    Status("公開を取り止めました");
    End();
  });
}

PublishCommand::~PublishCommand() = default;

void PublishCommand::Status(const std::string& text) {
  const std::string shown = label_.empty() ? text : label_ + " " + text;
  screen_.SetStatusText(shown);
  emit statusText(U(shown));
}

void PublishCommand::End() {
  running_ = false;
  ++count_generation_;
  lock_.reset();
  label_.clear();
  emit finished();
}

bool PublishCommand::Lock(const std::string& remote_root, Prompts& prompts) {
  // The server by name alone: FTP and SFTP to one host share its folders.
  const std::string host = link_.HostName();
  size_t held = 0;
  lock_ = publish::PublishLock::Take(
      ProgramFolder(), {"site\n" + site_, "server\n" + host + "\n" + remote_root}, &held);
  if (lock_) return true;
  const std::string what =
      held == 0 ? "サイトフォルダ「" + site_ + "」"
                : "サーバのフォルダ「" + host + ":" +
                      NameText(link_.Session().Names, remote_root).toStdString() + "」";
  Status("公開できません（別の公開が実行中です）");
  prompts.Message("公開",
                  what +
                      "には別の公開が実行中です（別の接続先、または別のウィンドウから）。\r\n"
                      "同時に公開すると互いの一時ファイルを消してしまうため、"
                      "その公開が終わってから、もう一度公開してください。",
                  Buttons::Ok, Icon::Warning);
  return false;
}

std::optional<std::string> PublishCommand::SiteFolderOfProfile() {
  const std::string& stored = place_.Profiles().SiteFolder;
  if (!stored.empty()) {
    // A folder that has gone (an unmounted disk) is planned all the same:
    // the plan says so in red rather than a folder dialog inviting another.
    if (const auto folder = text::Cp932ToUtf8(stored)) return folder;
  }
  // Asked once: the answer stays with the profile.
  const auto chosen = ChooseFolder(place_.LocalFolder());
  if (!chosen) return std::nullopt;
  if (!place_.StoreSiteFolder(*chosen)) return std::nullopt;
  return chosen;
}

void PublishCommand::PublishChanges() {
  if (running_ || link_.Busy()) return;
  if (!link_.Connected()) {
    Status("接続していません。接続してから↑変更分を公開を押してください");
    return;
  }
  const auto site = SiteFolderOfProfile();
  if (!site) return;
  site_ = *site;
  MakePlan(false);
}

void PublishCommand::PublishPage(const QString& page) {
  Prompts& prompts = PagePrompts ? *PagePrompts : screen_.prompts();
  const auto& lines = place_.Profiles().ProfileList;
  // Every profile whose site folder holds the page most closely.
  std::vector<int> holders;
  for (int i = 1; i <= static_cast<int>(lines.size()); ++i)
    if (transfer::ProfileHoldingPage(lines, page.toStdString(), i) == i) holders.push_back(i);
  const auto stored = [&](int profile) {
    return transfer::Profile::Parse(lines[static_cast<size_t>(profile - 1)]);
  };
  const auto label = [&](int profile) {
    const transfer::Profile p = stored(profile);
    return "「" + text::Cp932ToUtf8(p.Name()).value_or("") + "」（" +
           text::Cp932ToUtf8(p.Host()).value_or("") + "）";
  };
  // The connected profile, where it is one of the page's, goes first.
  int n = holders.empty() ? 0 : holders.front();
  const int connected = link_.Connected() ? place_.Profiles().ProfileCounter : 0;
  if (std::find(holders.begin(), holders.end(), connected) != holders.end()) {
    n = connected;
  } else if (holders.size() > 1 && !link_.Connected() && !running_ && !link_.Busy()) {
    // Several servers carry this site: the author says which, never a
    // silent pick that lets the copies drift apart.
    std::string list;
    for (size_t k = 0; k < holders.size(); ++k)
      list += "\r\n" + std::to_string(k + 1) + ": " + label(holders[k]);
    const auto answer = prompts.Input("保存して公開",
                                      "このページは次の接続先のサイトフォルダにあります。公開する接"
                                      "続先の番号を入力してください。" +
                                          list,
                                      "1");
    int k = 0;
    if (answer) {
      try {
        k = std::stoi(*answer);
      } catch (...) {
      }
    }
    if (k < 1 || k > static_cast<int>(holders.size())) {
      Status("保存しました。公開は取り止めました");
      return;
    }
    n = holders[static_cast<size_t>(k - 1)];
  }
  if (n == 0) {
    prompts.Message(
        "保存して公開",
        "「" + page.toStdString() +
            "」\r\nを保存しました。どの接続先のサイトフォルダにもないため公開できません。\r\n\r\n"
            "Ferroxの接続先情報で、このページのあるフォルダをサイトフォルダに指定してください。",
        Buttons::Ok, Icon::Warning);
    return;
  }
  if (running_ || link_.Busy()) {
    prompts.Message("保存して公開", "Ferroxが処理中のため公開できません。", Buttons::Ok,
                    Icon::Warning);
    return;
  }
  site_ = text::Cp932ToUtf8(stored(n).SiteFolder()).value_or("");
  label_ = label(n);
  if (link_.Connected()) {
    if (place_.Profiles().ProfileCounter != n) {
      prompts.Message("保存して公開",
                      "Ferroxは別の接続先に接続しています。このページは" + label_ +
                          "で公開します。切断してからもう一度実行してください。",
                      Buttons::Ok, Icon::Warning);
      label_.clear();
      return;
    }
    MakePlan(true);
    return;
  }
  // Connect the page's profile, then plan.
  running_ = true;
  Status("接続中...");
  const bool connecting = place_.ConnectProfile(n, [this] {
    running_ = false;
    if (link_.Connected())
      MakePlan(true);
    else
      End();
  });
  if (!connecting) End();
}

void PublishCommand::MakePlan(bool on_save) {
  running_ = true;
  on_save_ = on_save;
  planned_ = false;
  while (site_.size() > 1 && site_.back() == '/') site_.pop_back();
  publish::PlanInput input;
  input.local_root = site_;
  // The site's own remote folder; the first publish takes the one on show.
  const std::string& fixed = place_.Profiles().PublishFolder;
  input.remote_root = fixed.empty() ? place_.RemoteFolder() : fixed;
  if (input.remote_root.empty()) input.remote_root = link_.Session().StartFolder;
  while (input.remote_root.size() > 1 && input.remote_root.back() == '/')
    input.remote_root.pop_back();
  input.names = link_.Session().Names;
  input.changed_only = on_save;
  input.exclusions =
      publish::Exclusions(text::Cp932ToUtf8(place_.Profiles().Exclusions).value_or(""));
  // Escape sets the flag; hashing a large site must not outlast it.
  input.stop = [this] { return link_.StopRequested(); };
  // One record per server (port included), account, remote folder and site.
  record_path_ = publish::RecordPath(ProgramFolder(), link_.ServerText(), place_.AccountName(),
                                     input.remote_root, site_);
  if (!Lock(input.remote_root, on_save && PagePrompts ? *PagePrompts : screen_.prompts())) {
    End();
    return;
  }
  Status("公開の準備中...");
  const bool started = link_.RunOperation([this, input] { PlanOnWorker(input); },
                                          [this, on_save] { Planned(on_save); });
  if (!started) End();
}

void PublishCommand::PlanOnWorker(publish::PlanInput input) {
  record_ = publish::LoadRecord(record_path_);
  input.record = &record_;
  plan_ = publish::ComputePlan(link_.Files(), input);
  planned_ = true;
}

void PublishCommand::Planned(bool on_save) {
  if (!planned_) {
    End();  // the window has said why
    return;
  }
  transfer::PlanView view = transfer::ViewOfPlan(plan_, &sources_);
  view.first_publish = record_.files.empty();
  view.target = TargetText(link_, plan_.remote_root);
  std::string shown = place_.RemoteFolder();
  while (shown.size() > 1 && shown.back() == '/') shown.pop_back();
  if (!shown.empty() && shown != plan_.remote_root)
    view.target_warning = "表示中のフォルダ「" +
                          NameText(link_.Session().Names, shown).toStdString() +
                          "」ではなく、このサイトの公開先フォルダに公開します";
  if (view.rows.empty() && plan_.problems.empty()) {
    Status("公開する変更はありません");
    End();
    return;
  }
  // From the editor the plan goes out unseen only when nothing in it can
  // surprise: no conflict, no deletion, a record to compare with, and no
  // name left out.
  const bool ask = !on_save || transfer::PlanNeedsConfirmation(view) || record_.files.empty() ||
                   !plan_.problems.empty();
  if (!ask) {
    Execute(on_save);
    return;
  }
  if (on_save) screen_.ShowToFront();
  Status("公開の確認");
  dialog_->OfferSiteCheck(static_cast<bool>(SiteCheck));
  dialog_->ShowPlan(std::move(view));
  if (CountProblems) {
    // Counted on a worker: the first check of a large site takes seconds,
    // and the plan is there to read and run meanwhile. A count that comes
    // back after the plan was run, cancelled or replaced is dropped.
    const std::uint64_t generation = ++count_generation_;
    auto* watcher = new QFutureWatcher<int>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
      watcher->deleteLater();
      if (generation != count_generation_ || !running_ || !dialog_->isVisible() ||
          dialog_->ShowingResult())
        return;
      dialog_->ShowProblems(watcher->result());
    });
    watcher->setFuture(
        QtConcurrent::run([count = CountProblems, site = site_, files = FilesToSend()] {
          return files.empty() ? 0 : count(site, files);
        }));
  }
}

std::vector<std::string> PublishCommand::FilesToSend() const {
  std::vector<std::string> files;
  for (const publish::FileEntry& e : plan_.files) {
    if (e.outside_link || e.reason == publish::Reason::kUnchanged ||
        e.reason == publish::Reason::kServerOnly)
      continue;
    files.push_back(site_ + "/" + e.path);
  }
  return files;
}

void PublishCommand::Execute(bool on_save) {
  // The first publish decides where the site lives from now on.
  if (place_.Profiles().PublishFolder.empty()) place_.StorePublishFolder(plan_.remote_root);
  const transfer::ProfilePanel& p = place_.Profiles();
  publish::RunSettings settings;
  const int uploads = plan_.Counts().uploads;
  // More connections than files only cost logins.
  settings.connections = std::clamp(std::min(p.Connections, std::max(1, uploads)), 1, 8);
  settings.record_path = record_path_;
  settings.record = record_;
  // The plan's names are in the encoding of the window's connection.
  publish::RemoteFactory factory = RunConnections(place_, plan_.remote_root, plan_.encoding);
  Status("公開中...");
  const bool started = link_.RunOperation(
      [this, settings = std::move(settings), factory = std::move(factory)] {
        RunOnWorker(settings, factory);
      },
      [this, on_save] { RunEnded(on_save); });
  if (!started) End();
}

void PublishCommand::RunOnWorker(const publish::RunSettings& settings,
                                 const publish::RemoteFactory& factory) {
  // What the run replaces or deletes is kept first, so it can be undone.
  const publish::KeptBefore kept = publish::KeepServerCopies(
      link_.Files(), plan_, record_, record_path_, [this] { return link_.StopRequested(); });
  run_ = RunPlan(link_, plan_, settings, factory, [this](const std::string& text) { Status(text); });
  run_.notes.insert(run_.notes.begin(), kept.notes.begin(), kept.notes.end());
  if (const auto logged =
          publish::LogRun(plan_, run_, record_, kept, record_path_, std::time(nullptr));
      !logged)
    run_.notes.push_back(logged.message);
}

void PublishCommand::RunEnded(bool on_save) {
  result_ = transfer::ResultOfRun(run_, plan_);
  result_.target = label_;
  const std::string text = transfer::ResultText(result_);
  // The result names the profile itself: no label in front of it.
  label_.clear();
  Status(text);
  if (!on_save || !result_.failures.empty() || result_.stopped) dialog_->ShowResult(result_);
  if (link_.Connected()) place_.RefreshRemoteList();
  Status(text);
  End();
}

}  // namespace hemlo::transfer_ui
