#pragma once
// Preview of the page being edited: the edit pane's text goes to a preview
// file beside the document and the window's web pane is sent to its
// "file://" address.
//
// Encodings: document paths (the window caption) are held as the file
// system's own bytes, UTF-8 on this platform, and every path here is such a
// string; the preview file name is built from those bytes, so it names the
// real file. Only the edit pane's text (written byte for byte) and the text
// given to ReplaceSeparators are Shift-JIS. Status texts returned are UTF-8
// for the status bar. Conversion of a path to Shift-JIS, where some caller
// needs one, happens in that caller (hemlo::text::Utf8ToCp932).
#include <functional>
#include <string>
#include <string_view>

#include "base/preview_record.h"
#include "base/prompts.h"
#include "text/edit_pane.h"

namespace hemlo::shell {

// Frame state: the preview file and its folder last computed. The frame owns
// one; every preview and every document window's destruction overwrites it.
struct PreviewState {
  std::string PreviewFolder;  // with its trailing "/"
  std::string PreviewPath;
};

// Sets PreviewFolder to the document's folder and PreviewPath to that folder,
// the file name without its extension (from the last "." of the name on) and
// "bak.htm": "/web/top.htm" -> "/web/topbak.htm"; "/web/README" ->
// "/web/READMEbak.htm"; "top.htm" and "top.html" share "topbak.htm".
void MakePreviewPath(PreviewState& state, std::string_view document_path);

// Shift-JIS text with every "/" replaced by "\\" when `target` is '\\', else
// every "\\" replaced by `target`. Scans whole characters, so the trail byte
// 0x5C of a double-byte character ("ソ" is 0x83 0x5C) is never touched.
std::string ReplaceSeparators(std::string_view sjis_text, char target);

// "file://" + the absolute path, every byte outside the unreserved URL
// characters and "/" percent-escaped (spaces, "#", "%", "?", non-ASCII bytes
// and a "\\", which is a name character here, not a separator), so the
// browser loads exactly that file: "/web/top.htm" -> "file:///web/top.htm".
std::string FileUrlForPath(std::string_view absolute_path);

// The record of preview files this program wrote (one for all windows, kept
// across runs): see base/preview_record.h.
using PreviewRegistry = ::hemlo::PreviewRecord;

// True when the page names its own encoding where a browser looks for it: a
// byte-order mark, or a <meta> carrying "charset" before the body.
bool DeclaresCharset(std::string_view page);

// The bytes written to the preview file: the page itself, with
// <meta charset="Shift_JIS"> (or "UTF-8" for a UTF-8 page) put in when the page declares no
// encoding of its own. The engine's default-encoding setting alone does not hold: its encoding
// detector overrides it for local files and guesses wrong on short or kana-only pages. The tag goes
// after any leading comments, processing instructions and the DOCTYPE, so the page keeps its
// rendering mode.
std::string PreviewBytes(std::string_view page,
                         text::Encoding encoding = text::Encoding::kShiftJis);

// File name of the fallback preview in the scratch folder (TemporaryFolder).
inline constexpr std::string_view kFallbackPreviewName = "itiji.htm";

// Everything a preview needs of the frame and the active document window.
struct PreviewContext {
  text::EditPane* pane = nullptr;  // the active edit pane; nullptr: no document window
  std::string* caption = nullptr;  // the active window's document path (UTF-8), in/out
  const void* owner = nullptr;     // the active window's identity for the registry
  Prompts* prompts = nullptr;
  PreviewState* state = nullptr;
  PreviewRegistry* registry = nullptr;                   // PreviewRegistry::Shared() when null
  FileDialogRequest save_dialog;                         // the frame's save dialog
  std::function<void(const std::string& url)> navigate;  // the active web pane
};

struct PreviewResult {
  enum class Outcome {
    Nothing,      // no window, or an empty page
    Cancelled,    // untitled page, save dialog cancelled
    Navigated,    // preview written, web pane sent to `url`
    WriteFailed,  // the preview file could not be written (error shown)
  };
  Outcome outcome = Outcome::Nothing;
  std::string url;
  bool used_fallback = false;
  bool caption_changed = false;  // an untitled page was saved under a new name
  std::string status;            // for the status bar (UTF-8); empty when nothing to say
};

// The toolbar picture's preview command.
PreviewResult Image1Click(PreviewContext& context);

// The document window's destruction: recomputes the frame's preview state
// from the caption (as every preview does) and deletes the preview files this
// program wrote for that window. Call from the window's destructor.
int DocumentWindowDestroyed(PreviewState& state, std::string_view caption, const void* owner,
                            PreviewRegistry* registry = nullptr);

// Web pane size commands: the edit pane's height in pixels.
inline constexpr int kEditPaneHeightWebMaximised = 1;  // 最大化
inline constexpr int kEditPaneHeightWebRestored = 81;  // 元に戻す
enum class WebPaneSize { Maximise, Restore };
constexpr int EditPaneHeightFor(WebPaneSize command) {
  return command == WebPaneSize::Maximise ? kEditPaneHeightWebMaximised
                                          : kEditPaneHeightWebRestored;
}

}  // namespace hemlo::shell
