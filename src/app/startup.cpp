#include "app/startup.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <unistd.h>

#include "app/engine_texts_ja.h"
#include "authoring/setting_form.h"
#include "base/program_folder.h"
#include "favourites/favourites_form.h"
#include "search/find_replace_form.h"
#include "shell/frame_authoring.h"
#include "ferrox/ftp2_form.h"
#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_wiring.h"
#include "site/site_check_window.h"
#include "ferrox/publish_command.h"
#include "shell/frame_hosts.h"
#include "shell/frame_site.h"
#include "shell/versions_window.h"
#include "shell/live_preview.h"
#include "shell/about_box.h"
#include "shell/main_form.h"
#include "webview/ui_web_browser.h"

// The icons are compiled into this static library; its users must pull them in.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace hemlo {

void PrepareProcess() {
  // Opening, saving and replacing in a large page allocate and free buffers of
  // tens of megabytes; kept in the heap they are not faulted in afresh each time.
  ::mallopt(M_MMAP_THRESHOLD, 128 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
  // Chromium refuses to run as root with its sandbox, and has no GPU under Xvfb.
  if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  webview::PrepareWebEngine();
  RegisterLivePreviewScheme();
}

void PrepareApplication(QApplication& app) {
  // The engine reports its GL set-up on every start; nothing for the user.
  QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
  // No display name: Qt would append it to every window's caption.
  app.setApplicationName(QStringLiteral("Hemlo2"));
  app.setDesktopFileName(QStringLiteral("io.github.hemlo2.Hemlo2"));
  InitIconResources();
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/hemlo2/hemlo2-%1.png").arg(size), QSize(size, size));
  app.setWindowIcon(icon);

  // The forms ask for the Windows Japanese fonts; IPA fonts stand in for them.
  QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
  QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
  QFont::insertSubstitution(QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"));
  QFont::insertSubstitution(QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"));

  // Qt's own dialogs speak Japanese whatever the user's locale.
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  bool engine_texts = false;
  for (const char* name : {"qtbase_ja", "qt_ja", "qtwebengine_ja"}) {
    auto* tr = new QTranslator(&app);
    if (tr->load(QString::fromLatin1(name), dir)) {
      app.installTranslator(tr);
      engine_texts = engine_texts || std::strcmp(name, "qtwebengine_ja") == 0;
    } else {
      delete tr;
    }
  }
  if (!engine_texts) app.installTranslator(new EngineTextsJa(&app));
  if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
    QIcon::setThemeName(QStringLiteral("Adwaita"));
}

std::string UseStateFolders() {
  const StateFolders folders = ChooseStateFolders(
      QCoreApplication::applicationDirPath().toStdString(), FolderEnvironment::FromProcess());
  SetProgramFolder(folders.state);
  SetTemporaryFolder(folders.temporary);
  FileResult made = MakePrivateFolder(folders.state);
  if (made) made = MakePrivateFolder(folders.temporary);
  if (!made)
    return "設定を保存するフォルダを作れません。履歴や接続先は保存されません。\r\n" + made.message;
  return {};
}

Forms CreateForms() {
  using C = FrameCommand;
  Forms forms;
  auto* main = new TMainForm;
  main->setAttribute(Qt::WA_DeleteOnClose, false);
  forms.MainForm = main;
  auto* setting = new authoring::TfrmSetting(main->forwarding_prompts(), main);
  setting->setObjectName(QStringLiteral("frmSetting"));
  auto* hosts = new FrameHosts(main);
  auto* find = new search::TFindReplace(main, *hosts, main->forwarding_prompts());
  QObject::connect(main->action(C::Find), &QAction::triggered, find,
                   &search::TFindReplace::Find1Click);
  QObject::connect(main->action(C::FindNext), &QAction::triggered, find,
                   &search::TFindReplace::N18Click);
  QObject::connect(main->action(C::Jump), &QAction::triggered, find,
                   &search::TFindReplace::N47Click);
  auto* ftp2 = new transfer::TFtp2(main);
  auto* about = new TFrmVer(main);
  QObject::connect(main->action(C::HelpAbout), &QAction::triggered, about, &QDialog::exec);
  // The desktop picker snapshots the screen when it is made, so 色取得 makes a
  // fresh one for every pick; start-up keeps only its hidden slot.
  auto* picker_slot = new QDialog(main);
  picker_slot->setObjectName(QStringLiteral("FrmDispCap"));
  auto* ftp1 = new TFtp1;  // a top-level window of its own
  ftp1->setAttribute(Qt::WA_DeleteOnClose, false);
  QObject::connect(main, &QObject::destroyed, ftp1, &QObject::deleteLater);
  WireTransferOperations(*ftp1, ftp2);
  ftp1->GuardCloseOf(main);  // no exit while a transfer waits on the network
  // 保存して公開: the saved page goes out through Ferrox; its progress and
  // outcome show in the frame's status bar.
  if (transfer_ui::PublishCommand* publish = PublishCommandOf(*ftp1)) {
    publish->PagePrompts = &main->forwarding_prompts();
    publish->SiteCheck = [main](const std::string& site, const std::vector<std::string>& files) {
      if (auto* check = main->findChild<site::TSiteCheck*>())
        check->CheckFiles(QString::fromStdString(site), {files.begin(), files.end()});
    };
    publish->CountProblems = [](const std::string& site, const std::vector<std::string>& files) {
      const auto checked = site::CheckedFiles({files.begin(), files.end()});
      return checked.empty() ? 0 : static_cast<int>(site::CheckSite(site, checked).findings.size());
    };
    QObject::connect(main, &TMainForm::publishPageRequested, publish,
                     &transfer_ui::PublishCommand::PublishPage);
    QObject::connect(publish, &transfer_ui::PublishCommand::statusText, main,
                     [main](const QString& text) { main->StatusBar1()->SetText(0, text); });
  }
  QObject::connect(main, &TMainForm::transferToolRequested, ftp1, [ftp1](const QString& folder) {
    // A window already open keeps the folder the user went to.
    if (!ftp1->isVisible() && !folder.isEmpty()) ftp1->SetLocalFolder(folder);
    ftp1->show();
    ftp1->raise();
    ftp1->activateWindow();
  });
  // A page saved into the folder Ferrox shows appears there at once.
  QObject::connect(main, &TMainForm::pageSaved, ftp1, [ftp1](const QString& path) {
    if (QFileInfo(path).absoluteDir() == QDir(QString::fromStdString(ftp1->LocalFolder())))
      ftp1->RefreshLocalList();
  });
  auto* favourites = new favourites::TForm4(main, *hosts, main->forwarding_prompts());
  QObject::connect(main->action(C::Favourites), &QAction::triggered, favourites,
                   &favourites::TForm4::mnuFavoriteClick);
  QObject::connect(main, &TMainForm::closing, favourites, &favourites::TForm4::ReleaseList);
  for (QWidget* form :
       std::initializer_list<QWidget*>{setting, find, ftp2, about, picker_slot, ftp1, favourites})
    QObject::connect(main, &TMainForm::closing, form, &QWidget::close);
  new FrameAuthoring(main, *setting);
  WireSiteWindows(*main);
  WireVersionsWindow(*main);
  return forms;
}

}  // namespace hemlo
