#pragma once
// The find/replace dialog "検索・置換": modeless, always on top, created once
// by the main frame and hidden between uses. It works on whichever document
// window is active when a button is pressed, through SearchHost.
#include <QDialog>
#include <QPointer>
#include <optional>

#include "base/prompts.h"
#include "search/find_replace.h"
#include "search/search_host.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace hemlo::search {

class TFindReplace : public QDialog, private SearchFeedback {
  Q_OBJECT

 public:
  // `frame` is the main frame window: placement and the foreground after a
  // match. `host` and `prompts` must outlive the dialog.
  TFindReplace(QWidget* frame, SearchHost& host, Prompts& prompts);

  // The frame's menu handlers.
  void Find1Click();  // 検索･置換... (Ctrl+F): the selection becomes the search text
  void N18Click();    // 次を検索 (F3): find next, dialog shown or not
  void N47Click();    // ジャンプ

  // The fields as the active document's commands see text (Shift-JIS
  // bytes, or the command view of a UTF-8 page); nullopt (with the error
  // shown) when a field holds a character a Shift-JIS page cannot hold.
  std::optional<FindReplaceOptions> Options() const;
  // The action of the button with the given tag (0 find next, 1 replace and
  // find next, 2 replace all).
  void Execute(int tag);

 public slots:
  void Button1Click();  // shared by Button1-Button3, told apart by their "tag"
  void Button4Click();

 private:
  void BringFrameToFront() override;

  // Tests find these by their object names.
  QLabel* Label1;
  QLineEdit* Edit1;
  QLabel* Label2;
  QLineEdit* Edit2;
  QCheckBox* CheckBox1;
  QCheckBox* CheckBox2;
  QCheckBox* CheckBox3;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;
  QPushButton* Button4;

  void SetBusy(bool busy) override;
  // The active document's encoding; Shift-JIS when none is open.
  text::Encoding ActiveEncoding() const;

  QPointer<QWidget> frame_;
  // The bytes behind Edit1 when it was filled from the selection.
  std::string selection_bytes_;
  QString selection_text_;
  SearchHost& host_;
  Prompts& prompts_;
};

}  // namespace hemlo::search
