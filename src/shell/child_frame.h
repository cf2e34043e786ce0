#pragma once
// What a document window needs of the frame it stands in: the status bar,
// the prompts, the address box and the frame's own document commands.
// The frame implements it, so a document window never needs the frame's
// whole class.
#include <QString>

class QComboBox;

namespace hemlo {

class Prompts;
class TMDIChild;

class ChildFrame {
 public:
  virtual Prompts& prompts() = 0;
  virtual TMDIChild* ActiveChild() const = 0;
  // Creates a document window (no file handling); shown at once, cascaded.
  virtual TMDIChild* CreateChild() = 0;
  virtual bool SaveChild(TMDIChild* child) = 0;
  virtual QComboBox* cmbURL() const = 0;
  // One of the status bar's three panels.
  virtual void SetStatusText(int panel, const QString& text) = 0;

 protected:
  ~ChildFrame() = default;
};

}  // namespace hemlo
