#pragma once
// A Prompts double for tests and benchmarks: answers come from a script.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/prompts.h"

namespace hemlo {

// Answers from a script, in order; records what was asked. For tests and
// headless runs. Running out of answers throws, so a test never blocks.
class ScriptedPrompts : public Prompts {
 public:
  struct Asked {
    std::string kind;  // "message", "error", "input", "password", "open", "save"
    std::string caption;
    std::string text;  // for "open" and "save": the folder the dialog starts in
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    Answer default_button = Answer::Yes;
  };

  std::vector<Answer> answers;                     // for Message
  std::vector<std::optional<std::string>> inputs;  // for Input, Password, OpenFile, SaveFile
  std::vector<Asked> asked;
  std::function<void()> on_process_events;

  Answer Message(const std::string& caption, const std::string& text, Buttons buttons, Icon icon,
                 Answer default_button = Answer::Yes) override;
  void Error(const std::string& text) override;
  std::optional<std::string> Input(const std::string& caption, const std::string& prompt,
                                   const std::string& initial) override;
  std::optional<std::string> Password(const std::string& caption,
                                      const std::string& prompt) override;
  std::optional<std::string> OpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFile(const FileDialogRequest& request) override;
  void ProcessEvents() override;

 private:
  std::size_t next_answer_ = 0;
  std::size_t next_input_ = 0;
  std::optional<std::string> NextInput();
};

}  // namespace hemlo
