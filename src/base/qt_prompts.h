#pragma once
// Prompts shown with real Qt dialogs, parented to the given window.
#include <QPointer>
#include <QWidget>

#include "base/prompts.h"

namespace hemlo {

// Caption of the program's own message boxes.
inline constexpr char kProgramTitle[] = "Hemlo２";

class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

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
  QPointer<QWidget> parent_;
};

}  // namespace hemlo
