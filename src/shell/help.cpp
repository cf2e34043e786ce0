#include "shell/help.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

#include "shell/main_form.h"

namespace hemlo {
namespace {
QString& Folder() {
  static QString folder;
  return folder;
}

QString IndexPage() { return HelpFolder() + "/index.html"; }
}  // namespace

QString HelpFolder() {
  if (!Folder().isEmpty()) return Folder();
  return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/hemlo2/help");
}

void SetHelpFolder(const QString& folder) { Folder() = folder; }

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("Hemlo２ 使用方法"));
  resize(760, 640);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* bar = new QToolBar(this);
  view_ = new QWebEngineView(this);
  bar->addAction(view_->pageAction(QWebEnginePage::Back));
  bar->addAction(view_->pageAction(QWebEnginePage::Forward));
  QAction* contents = bar->addAction(QStringLiteral("目次"));
  connect(contents, &QAction::triggered, this,
          [this] { view_->load(QUrl::fromLocalFile(IndexPage())); });
  connect(view_, &QWebEngineView::titleChanged, this, [this](const QString& title) {
    if (!title.isEmpty()) setWindowTitle(title);
  });
  layout->addWidget(bar);
  layout->addWidget(view_, 1);
}

void ShowHelp(TMainForm& frame) {
  const QString index = IndexPage();
  if (!QFileInfo(index).isFile()) {
    frame.prompts().Message("使用方法",
                            "使用方法のページがインストールされていません。\r\n" +
                                QDir::toNativeSeparators(index).toStdString(),
                            Buttons::Ok, Icon::Warning);
    return;
  }
  auto* help = frame.findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
  if (!help) {
    help = new HelpWindow(&frame);
    QObject::connect(&frame, &TMainForm::closing, help, &QWidget::close);
  }
  help->view()->load(QUrl::fromLocalFile(index));
  help->show();
  help->raise();
  help->activateWindow();
}

}  // namespace hemlo
