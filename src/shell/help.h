#pragma once
// ヘルプ > 使用方法: the Japanese user guide, HTML pages installed in
// <prefix>/share/hemlo2/help (the build copies them to build/share/hemlo2/help).
#include <QString>

namespace hemlo {

class TMainForm;

// The guide's folder: beside the executable's "bin" folder, unless set.
QString HelpFolder();
void SetHelpFolder(const QString& folder);

// Opens index.html in the desktop's browser, or in a new document window when
// the desktop has none; says so when the guide is not installed.
void ShowHelp(TMainForm& frame);

}  // namespace hemlo
