#pragma once
// ヘルプ > 使用方法: the Japanese user guide, HTML pages installed in
// <prefix>/share/hemlo2/help (the build copies them to build/share/hemlo2/help).
#include <QString>
#include <QWidget>

class QWebEngineView;

namespace hemlo {

class TMainForm;

// The guide's folder: beside the executable's "bin" folder, unless set.
QString HelpFolder();
void SetHelpFolder(const QString& folder);

// A window of our own for the guide. The desktop's handler for HTML files may
// be this very editor, which would open the guide's source as a page.
class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* owner);
  QWebEngineView* view() const { return view_; }

 private:
  QWebEngineView* view_;
};

// Opens index.html in the frame's help window (made on first use); says so
// when the guide is not installed.
void ShowHelp(TMainForm& frame);

}  // namespace hemlo
