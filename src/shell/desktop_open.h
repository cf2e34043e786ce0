#pragma once
// Pages handed over by the desktop: start-up arguments (the launcher's
// "hemlo2 %F") and files dropped on the frame or a document window. Each goes
// through the frame's normal open, so it enters the history and a failure is
// reported the usual way.
#include <QObject>
#include <QStringList>

class QMimeData;

namespace hemlo {

class TMainForm;

// Opens each path (or file:// address) in order; relative paths are taken
// from the current folder. A file that does not exist yet in an existing
// folder opens as a new page of that name.
void OpenPaths(TMainForm& frame, const QStringList& paths);

// Local files of a drag; empty when it carries anything else.
QStringList DroppedFiles(const QMimeData* data);

// A widget with this property set to true (and all inside it) handles file
// drops itself.
inline constexpr const char* kOwnFileDrops = "hemloOwnFileDrops";

// Takes file drops over the frame and everything inside it (edit and web
// panes included) before the pane under the mouse would insert the address.
class FileDrops : public QObject {
 public:
  explicit FileDrops(TMainForm& frame);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TMainForm& frame_;
};

}  // namespace hemlo
