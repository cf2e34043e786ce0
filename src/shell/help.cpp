#include "shell/help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "shell/main_form.h"
#include "shell/mdi_child.h"

namespace hemlo {
namespace {
QString& Folder() {
  static QString folder;
  return folder;
}
}  // namespace

QString HelpFolder() {
  if (!Folder().isEmpty()) return Folder();
  return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/hemlo2/help");
}

void SetHelpFolder(const QString& folder) { Folder() = folder; }

void ShowHelp(TMainForm& frame) {
  const QString index = HelpFolder() + "/index.html";
  if (!QFileInfo(index).isFile()) {
    frame.prompts().Message("使用方法",
                            "使用方法のページがインストールされていません。\r\n" +
                                QDir::toNativeSeparators(index).toStdString(),
                            Buttons::Ok, Icon::Warning);
    return;
  }
  const QUrl url = QUrl::fromLocalFile(index);
  if (QDesktopServices::openUrl(url)) return;
  frame.CreateChild()->WebBrowser()->Navigate(url.toString());
}

}  // namespace hemlo
