#pragma once
// What the two site windows share: the folder field they start in and its
// browse button, and the conversion of file names at the widget boundary.
#include <QString>
#include <string>

class QLineEdit;
class QPushButton;
class QWidget;

namespace hemlo::site {

class SiteHost;

inline QString U(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}
inline std::string S(const QString& s) { return s.toUtf8().toStdString(); }

// The button asks for a folder and puts it in the field.
void ConnectFolderBrowse(QWidget& owner, QPushButton& browse, QLineEdit& folder);

// Shows the window with the active page's folder in the field; without a page,
// a field still empty gets the site folder.
void ShowInStartFolder(QWidget& window, QLineEdit& folder, SiteHost& host);

}  // namespace hemlo::site
