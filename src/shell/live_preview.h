#pragma once
// ライブプレビュー: while it is on, each document window's web pane follows
// its edit pane. A short pause in typing sends the current text to the web
// pane through a URL scheme of the program's own, which serves the text
// under the page's path and every other file from disk, so relative images,
// style sheets and links resolve against the page's folder, nothing is
// written beside the page, and no size limit applies.
#include <QUrl>

namespace hemlo {

class TMainForm;

// The scheme must be known before the QApplication exists.
void RegisterLivePreviewScheme();

// Watches every document window the frame creates from now on.
void AttachLivePreview(TMainForm& frame);

// The address a page's live text is served at: the scheme with the page's path.
QUrl LivePreviewUrl(const QString& page_path);

// The pause after the last key before the web pane follows.
inline constexpr int kLivePreviewPauseMs = 300;

}  // namespace hemlo
