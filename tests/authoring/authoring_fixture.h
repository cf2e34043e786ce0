#pragma once
// Headless stand-ins for the frame and the builder dialog.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "authoring/authoring_commands.h"
#include "support/scripted_prompts.h"
#include "text/cp932.h"
#include "text/memory_edit_pane.h"

namespace hemlo::authoring::testing {

inline std::string S(std::string_view utf8) { return text::Sjis(utf8); }

class FakeHost : public DocumentHost {
 public:
  std::vector<std::unique_ptr<text::MemoryEditPane>> panes;
  text::MemoryEditPane* active = nullptr;
  std::string frameCaption = "frame";
  std::string documentPath;  // the active page's file; empty for an untitled page
  int caretShown = 0;

  text::MemoryEditPane& Open(std::string_view bytes = {}) {
    panes.push_back(std::make_unique<text::MemoryEditPane>(bytes));
    active = panes.back().get();
    return *active;
  }
  text::EditPane* ActivePane() override { return active; }
  std::string ActiveDocumentPath() override { return documentPath; }
  text::EditPane* OpenUntitledDocument() override { return &Open(); }
  void ShowCaretPosition() override { ++caretShown; }
  void SetFrameCaption(const std::string& caption) override { frameCaption = caption; }
};

// The user's doings while the dialog is up: presses buttons of the model.
using UserAction = std::function<void(BuilderModel&, Prompts&)>;

class ScriptedBuilder : public BuilderDialog {
 public:
  explicit ScriptedBuilder(Prompts& prompts) : prompts_(prompts) {}
  BuilderModel model;
  std::vector<UserAction> actions;  // one per ShowModal, in order
  std::vector<int> shownTabs;

  BuilderModel& Model() override { return model; }
  void ShowModal(std::optional<int> tab) override {
    if (tab) model.currentTab = *tab;
    shownTabs.push_back(model.currentTab);
    if (next_ >= actions.size()) throw std::logic_error("ScriptedBuilder: no user action left");
    actions[next_++](model, prompts_);
  }

 private:
  Prompts& prompts_;
  std::size_t next_ = 0;
};

// The dialog closed with 閉じる.
inline void PressClose(BuilderModel& m, Prompts&) { m.Button2Click(); }

struct Bench {
  ScriptedPrompts prompts;
  FakeHost host;
  ScriptedBuilder dialog{prompts};
  AuthoringCommands commands{host, dialog, prompts};
};

}  // namespace hemlo::authoring::testing
