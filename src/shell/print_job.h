#pragma once
// A plain-text print job on the default printer, one printed line per line.
#include <QFont>
#include <QString>
#include <vector>

namespace hemlo {

// False when no printer is usable or the job fails.
bool PrintTextJob(const std::vector<QString>& lines, const QFont& font);

}  // namespace hemlo
