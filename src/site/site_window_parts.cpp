#include "site/site_window_parts.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

#include "site/site_host.h"

namespace hemlo::site {

void ConnectFolderBrowse(QWidget& owner, QPushButton& browse, QLineEdit& folder) {
  QObject::connect(&browse, &QPushButton::clicked, &owner, [&owner, &folder] {
    const QString dir =
        QFileDialog::getExistingDirectory(&owner, QStringLiteral("フォルダの選択"), folder.text());
    if (!dir.isEmpty()) folder.setText(dir);
  });
}

void ShowInStartFolder(QWidget& window, QLineEdit& folder, SiteHost& host) {
  std::string start = host.ActivePageFolder();
  if (start.empty() && folder.text().isEmpty()) start = host.SiteFolder();
  if (!start.empty()) folder.setText(U(start));
  window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace hemlo::site
