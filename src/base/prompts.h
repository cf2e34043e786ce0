#pragma once
// Every question and message the core puts to the user goes through Prompts,
// so tests answer from a script and the UI shows real dialogs.
// All texts are UTF-8; callers convert Shift-JIS data before showing it.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hemlo {

// YesSaveCancel: はい, 保存, キャンセル (closing a modified page).
enum class Buttons { Ok, OkCancel, YesNo, YesCancel, YesNoCancel, YesSaveCancel };
enum class Icon { None, Information, Warning, Error, Question };
enum class Answer { Ok, Cancel, Yes, No, Save };

struct FileFilter {
  std::string label;     // "Html(*.htm;*.html)"
  std::string patterns;  // "*.htm;*.html"
};

struct FileDialogRequest {
  std::string title;
  std::vector<FileFilter> filters;
  std::string default_suffix;  // without the dot, "htm"
  std::string initial_path;    // UTF-8 local path, may be empty
};

class Prompts {
 public:
  virtual ~Prompts() = default;
  // `default_button` is the answer Enter gives: Answer::No for a question
  // whose はい throws work away. Ignored when the box has no such button.
  virtual Answer Message(const std::string& caption, const std::string& text, Buttons buttons,
                         Icon icon, Answer default_button = Answer::Yes) = 0;
  // The toolkit's standard error box (conversion errors, I/O errors).
  virtual void Error(const std::string& text) = 0;
  // nullopt when cancelled.
  virtual std::optional<std::string> Input(const std::string& caption, const std::string& prompt,
                                           const std::string& initial) = 0;
  // A secret typed into a masked field (passwords, passphrases); nullopt
  // when cancelled. Where nobody can answer, the question is cancelled.
  virtual std::optional<std::string> Password(const std::string& /*caption*/,
                                              const std::string& /*prompt*/) {
    return std::nullopt;
  }
  // UTF-8 local paths; nullopt when cancelled.
  virtual std::optional<std::string> OpenFile(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> SaveFile(const FileDialogRequest& request) = 0;
  // Lets pending user-interface events run (long operations call it between items).
  virtual void ProcessEvents() = 0;
};

// Passes every call on to whatever Prompts `target` returns at the time, so
// long-lived forms follow a frame whose prompts are replaced (tests).
class ForwardingPrompts : public Prompts {
 public:
  explicit ForwardingPrompts(std::function<Prompts&()> target) : target_(std::move(target)) {}
  Answer Message(const std::string& caption, const std::string& text, Buttons buttons, Icon icon,
                 Answer default_button = Answer::Yes) override {
    return target_().Message(caption, text, buttons, icon, default_button);
  }
  void Error(const std::string& text) override { target_().Error(text); }
  std::optional<std::string> Input(const std::string& caption, const std::string& prompt,
                                   const std::string& initial) override {
    return target_().Input(caption, prompt, initial);
  }
  std::optional<std::string> Password(const std::string& caption,
                                      const std::string& prompt) override {
    return target_().Password(caption, prompt);
  }
  std::optional<std::string> OpenFile(const FileDialogRequest& request) override {
    return target_().OpenFile(request);
  }
  std::optional<std::string> SaveFile(const FileDialogRequest& request) override {
    return target_().SaveFile(request);
  }
  void ProcessEvents() override { target_().ProcessEvents(); }

 private:
  std::function<Prompts&()> target_;
};

}  // namespace hemlo
