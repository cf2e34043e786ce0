#include "support/scripted_prompts.h"

#include <stdexcept>

namespace hemlo {

Answer ScriptedPrompts::Message(const std::string& caption, const std::string& text,
                                Buttons buttons, Icon icon, Answer default_button) {
  asked.push_back({"message", caption, text, buttons, icon, default_button});
  if (next_answer_ >= answers.size())
    throw std::logic_error("ScriptedPrompts: no answer left for \"" + text + "\"");
  return answers[next_answer_++];
}

void ScriptedPrompts::Error(const std::string& text) {
  asked.push_back({"error", "", text, Buttons::Ok, Icon::Error});
}

std::optional<std::string> ScriptedPrompts::NextInput() {
  if (next_input_ >= inputs.size()) throw std::logic_error("ScriptedPrompts: no input left");
  return inputs[next_input_++];
}

std::optional<std::string> ScriptedPrompts::Input(const std::string& caption,
                                                  const std::string& prompt, const std::string&) {
  asked.push_back({"input", caption, prompt, Buttons::OkCancel, Icon::None});
  return NextInput();
}

std::optional<std::string> ScriptedPrompts::Password(const std::string& caption,
                                                     const std::string& prompt) {
  asked.push_back({"password", caption, prompt, Buttons::OkCancel, Icon::None});
  return NextInput();
}

std::optional<std::string> ScriptedPrompts::OpenFile(const FileDialogRequest& request) {
  asked.push_back({"open", request.title, request.initial_path, Buttons::OkCancel, Icon::None});
  return NextInput();
}

std::optional<std::string> ScriptedPrompts::SaveFile(const FileDialogRequest& request) {
  asked.push_back({"save", request.title, request.initial_path, Buttons::OkCancel, Icon::None});
  return NextInput();
}

void ScriptedPrompts::ProcessEvents() {
  if (on_process_events) on_process_events();
}

}  // namespace hemlo
