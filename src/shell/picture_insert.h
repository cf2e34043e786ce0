#pragma once
// A picture dropped on a page's edit pane becomes an <img> with its size and
// the alt text the user gives; a large one is first offered as a web copy in
// the site's images folder (the original stays as it is).
#include <QString>

namespace hemlo {

class TMainForm;
class TMDIChild;

// Whether the file's name is that of a picture the pane takes this way.
bool IsPictureFile(const QString& path);

void InsertPicture(TMainForm& frame, TMDIChild& child, const QString& file);

}  // namespace hemlo
