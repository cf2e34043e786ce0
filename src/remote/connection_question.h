#pragma once
// A question a command on a connection's worker puts to the connection's
// owner: handed over on the owner's thread while the worker waits for the
// reply. The texts are the ones shown, byte for byte; the owner decides how
// to ask (the window through its Prompts, tests from a script).
#include <functional>
#include <optional>
#include <string>

#include "base/prompts.h"
#include "ftp/id_tls.h"

namespace hemlo::transfer {

struct Question {
  enum class Kind {
    kMessage,      // a message box: the reply's answer is the button
    kError,        // the standard error box (nothing comes back)
    kText,         // a line typed in: the reply's text
    kPassword,     // a masked line: the reply's text
    kOpenFile,     // a file to read: its path in the reply's text
    kSaveFile,     // a file to write: its path in the reply's text
    kHostKey,      // an SSH host key to trust: Answer::Yes trusts it
    kCertificate,  // a TLS certificate the system refused: Answer::Yes trusts it
  };
  Kind kind = Kind::kMessage;
  std::string caption;
  std::string text;  // the message, or the line's prompt
  Buttons buttons = Buttons::Ok;
  Icon icon = Icon::None;
  Answer default_button = Answer::Yes;
  std::string initial;            // kText: what the line starts with
  FileDialogRequest file;         // kOpenFile, kSaveFile
  ftp::TIdCertificateInfo certificate;  // kCertificate
};

// A question nobody answers is declined: Cancel, no text.
struct Reply {
  Answer answer = Answer::Cancel;
  std::optional<std::string> text;
};

// Asks `q` through `prompts` as the box of its kind (a certificate has no
// box of its own there: it is declined).
Reply AskWith(Prompts& prompts, const Question& q);

// The worker's Prompts: each call becomes a Question handed to `ask`
// (which waits for the owner's reply). Letting events run is the owner's
// own business: ProcessEvents does nothing here.
class QuestionPrompts : public Prompts {
 public:
  explicit QuestionPrompts(std::function<Reply(const Question&)> ask) : ask_(std::move(ask)) {}
  Answer Message(const std::string& caption, const std::string& text, Buttons buttons, Icon icon,
                 Answer default_button = Answer::Yes) override;
  void Error(const std::string& text) override;
  std::optional<std::string> Input(const std::string& caption, const std::string& prompt,
                                   const std::string& initial) override;
  std::optional<std::string> Password(const std::string& caption,
                                      const std::string& prompt) override;
  std::optional<std::string> OpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFile(const FileDialogRequest& request) override;
  void ProcessEvents() override {}

 private:
  std::function<Reply(const Question&)> ask_;
};

}  // namespace hemlo::transfer
