#pragma once
// The authoring commands of the main frame without its window: the pending
// fragment and its insertion primitive, the page template and every shared
// menu handler. The frame reaches the documents and the builder dialog through
// the two small interfaces below, so the handlers run headless in tests.
#include <optional>
#include <string>

#include "authoring/builder_model.h"
#include "authoring/fragments.h"
#include "base/prompts.h"
#include "text/edit_pane.h"

namespace hemlo::authoring {

// The frame as the authoring commands see it.
class DocumentHost {
 public:
  virtual ~DocumentHost() = default;
  // Edit pane of the active document window; null when none is open.
  virtual text::EditPane* ActivePane() = 0;
  // Opens a new, empty, untitled document window (as the New command does)
  // and returns its edit pane, which becomes the active one.
  virtual text::EditPane* OpenUntitledDocument() = 0;
  // Writes the active window's caret position into the status bar.
  virtual void ShowCaretPosition() = 0;
  // The main frame's caption (UTF-8).
  virtual void SetFrameCaption(const std::string& caption) = 0;
  // The frame's open dialog (filters, last filter, default suffix).
  virtual FileDialogRequest OpenDialogRequest();
  // Path of the active window's file (UTF-8); empty for none or an untitled page.
  virtual std::string ActiveDocumentPath() { return {}; }
  // Whether 挿入 > 画像 first lets the user pick a picture (the frame does
  // while web copies are switched on); without one it inserts its fragment.
  virtual bool PicksPictures() { return false; }
  // Inserts the picked picture into the active page as a drop would.
  virtual void InsertPictureFile(const std::string& /*file*/) {}
};

// The builder dialog as the commands see it: its values, and showing it.
class BuilderDialog {
 public:
  virtual ~BuilderDialog() = default;
  virtual BuilderModel& Model() = 0;
  // Switches to `tab` (nullopt: keeps the tab shown last), shows the dialog
  // modally and returns after the user closed it. The model holds the
  // controls' values afterwards.
  virtual void ShowModal(std::optional<int> tab) = 0;
};

// The eight filters of the frame's file dialogs.
FileDialogRequest FrameOpenDialogRequest();

class AuthoringCommands {
 public:
  AuthoringCommands(DocumentHost& host, BuilderDialog& dialog, Prompts& prompts);

  // A command's fragment between its composition and its insertion.
  std::string PendingFragment;

  // Replaces the active pane's selection by PendingFragment (nothing when
  // none is open or the fragment is empty) and empties PendingFragment.
  void InsertPendingFragment();

  // ファイル > 基本形HTML.
  void HTML1Click();

  void Font1Click(int tag);
  void mnuSetAlignClick(int tag);
  void mnuInsertClick(int tag);
  void URL1Click(int tag);
  void mnuKaigyoClick(int tag);
  void mnuTableClick(int tag);
  void mnuTable2Click(int tag);
  void mnuTableSetClick();
  void mnuStyleClick(int tag);
  void java1Click(int tag);
  void mnuFormClick(int tag);
  void mnuColorSetClick();
  void mnuCommentClick();
  void mnuDelTagClick();
  void N44Click();

  // Runs a handler by name and tag (tags are ignored by the handlers that
  // have one menu item).
  void Run(Handler handler, int tag);

 private:
  // The common course of a command: dialog, composition, placement.
  void RunComposed(Handler handler, int tag);
  void InsertFileName();
  // True when a picked picture went in instead of the 画像 fragment.
  bool InsertPickedPicture();
  void Place(text::EditPane* pane, const Composition& c, bool replace_with_empty);

  DocumentHost& host_;
  BuilderDialog& dialog_;
  Prompts& prompts_;
};

}  // namespace hemlo::authoring
