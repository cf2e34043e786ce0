#pragma once
// A document window: the edit pane Memo1 above the splitter above the web pane.
#include <QSplitter>
#include <QString>
#include <QWidget>
#include <string>
#include <string_view>

#include "shell/editor_settings.h"
#include "text/document_encoding.h"
#include "text/qt_edit_pane.h"
#include "webview/ui_web_browser.h"

namespace hemlo {

class Prompts;
class ChildFrame;
class PaneSplitter;
class WebPaneFrame;

class TMDIChild : public QWidget {
  Q_OBJECT
 public:
  explicit TMDIChild(ChildFrame* frame, QWidget* parent = nullptr);
  ~TMDIChild() override;

  // The edit pane and the current web pane, for the frame's commands. The
  // web pane is replaced when its page closes itself, so callers ask again
  // rather than keep the pointer.
  text::QtEditPane* Memo() const { return Memo1; }
  webview::TUIWebBrowser* WebBrowser() const { return WebBrowser1; }

  // The document path; empty for an untitled page. The window's title is
  // the path with "*" after it while the page has unsaved changes.
  QString Caption() const { return caption_; }
  void SetCaption(const QString& path);

  void ShowCaretPosition();
  // The document's encoding in status panel 2 (where the credit stands
  // while no page is open), with a warning when its declaration disagrees.
  // Opens a file's bytes in the edit pane, in the encoding detected for them.
  // Returns the pane's message when it could not take them, else empty.
  std::string LoadFile(std::string_view bytes);
  void ShowEncoding();
  // Reads the page's declaration again (after a conversion rewrote it).
  void RefreshEncoding();
  void ApplyEditorSettings(const EditorSettings& settings);
  void SetTabWidth(int width);
  void CopyIndent();
  // Tab or Ctrl+E: expands the abbreviation before the caret (one undo
  // step); false, with nothing changed, when there is none.
  bool ExpandAbbreviation();
  // The close query: true when the window may close.
  bool FormCloseQuery();
  // Edit pane height in pixels (the web pane takes the rest).
  void SetMemoHeight(int pixels);
  int MemoHeight() const;
  // The edit pane's share of the panes' height, in thousandths; kept when
  // the window is resized or maximised.
  void SetEditPaneShare(int per_mille);
  int EditPaneShare() const;

 signals:
  void captionChanged();
  // The user dragged the splitter: the edit pane's new share (thousandths).
  void editPaneShareChanged(int per_mille);
  // Sent from the destructor with the caption, to remove this window's preview file.
  void destroying(const QString& caption);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // A new web pane, in the place of the one there (if any).
  void CreateWebPane();
  void WebBrowser1DocumentComplete(webview::TUIWebBrowser* sender);
  void WebBrowser1NewWindow2(webview::TUIWebBrowser** target);
  // The caret text follows every move of the active window's caret, once
  // per turn of the event loop however many edits a command makes.
  void CaretMoved();
  text::QtEditPane* Memo1 = nullptr;
  PaneSplitter* Splitter1 = nullptr;
  webview::TUIWebBrowser* WebBrowser1 = nullptr;
  WebPaneFrame* web_frame_ = nullptr;  // holds WebBrowser1 at the preview width
  ChildFrame* frame_;
  bool declaration_disagrees_ = false;
  bool loading_file_ = false;  // LoadFile has the detection already
  bool caret_text_queued_ = false;
  bool abbreviations_ = true;
  QString caption_;
};

}  // namespace hemlo
