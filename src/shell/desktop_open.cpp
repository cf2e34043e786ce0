#include "shell/desktop_open.h"

#include <QApplication>
#include <QDropEvent>
#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QPointer>
#include <QUrl>
#include <algorithm>

#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "shell/picture_insert.h"

namespace hemlo {

void OpenPaths(TMainForm& frame, const QStringList& paths) {
  for (const QString& given : paths) {
    const QUrl url(given);
    const QString local = url.isLocalFile() ? url.toLocalFile() : given;
    const QFileInfo info(local);
    if (info.isDir()) {
      frame.prompts().Error(info.absoluteFilePath().toStdString() + "\r\nフォルダは開けません");
    } else if (!info.isFile() && !info.absoluteDir().exists()) {
      frame.prompts().Error(info.absoluteFilePath().toStdString() + "\r\nフォルダが見つかりません");
    } else {
      // A name not yet taken starts a new page that 上書き保存 writes there.
      frame.OpenDocument(info.absoluteFilePath());
    }
  }
}

QStringList DroppedFiles(const QMimeData* data) {
  QStringList files;
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) return {};
    files << url.toLocalFile();
  }
  return files;
}

FileDrops::FileDrops(TMainForm& frame) : QObject(&frame), frame_(frame) {
  // Drag events reach only widgets that accept drops; the frame catches what
  // its children leave.
  frame.setAcceptDrops(true);
  qApp->installEventFilter(this);
}

bool FileDrops::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != &frame_) return false;
  // The site panel moves its own files by dragging them.
  for (QWidget* w = widget; w; w = w->parentWidget())
    if (w->property(kOwnFileDrops).toBool()) return false;
  auto* drop = static_cast<QDropEvent*>(event);
  const QStringList files = DroppedFiles(drop->mimeData());
  if (files.isEmpty()) return false;
  drop->setDropAction(Qt::CopyAction);
  drop->accept();
  // Pictures dropped on a page's text go into the page; anywhere else they
  // open as before.
  TMDIChild* child = nullptr;
  for (TMDIChild* c : frame_.Children())
    if (c->Memo() == widget || c->Memo()->isAncestorOf(widget)) child = c;
  const bool pictures =
      child && std::all_of(files.begin(), files.end(), [](const QString& f) { return IsPictureFile(f); });
  if (type == QEvent::Drop && pictures) {
    QPointer<TMDIChild> target(child);
    QMetaObject::invokeMethod(
        &frame_,
        [frame = &frame_, target, files] {
          for (const QString& f : files)
            if (target) InsertPicture(*frame, *target, f);
        },
        Qt::QueuedConnection);
  } else if (type == QEvent::Drop) {
    // Opening shows windows and maybe messages: not inside the drag's own loop.
    QMetaObject::invokeMethod(
        &frame_, [frame = &frame_, files] { OpenPaths(*frame, files); }, Qt::QueuedConnection);
  }
  return true;
}

}  // namespace hemlo
