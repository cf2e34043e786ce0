#include "remote/connection_question.h"

namespace hemlo::transfer {

Reply AskWith(Prompts& prompts, const Question& q) {
  using Kind = Question::Kind;
  Reply r;
  switch (q.kind) {
    case Kind::kMessage:
    case Kind::kHostKey:
      r.answer = prompts.Message(q.caption, q.text, q.buttons, q.icon, q.default_button);
      break;
    case Kind::kError:
      prompts.Error(q.text);
      r.answer = Answer::Ok;
      break;
    case Kind::kText:
      r.text = prompts.Input(q.caption, q.text, q.initial);
      break;
    case Kind::kPassword:
      r.text = prompts.Password(q.caption, q.text);
      break;
    case Kind::kOpenFile:
      r.text = prompts.OpenFile(q.file);
      break;
    case Kind::kSaveFile:
      r.text = prompts.SaveFile(q.file);
      break;
    case Kind::kCertificate:
      break;
  }
  return r;
}

Answer QuestionPrompts::Message(const std::string& caption, const std::string& text,
                                Buttons buttons, Icon icon, Answer default_button) {
  Question q;
  q.caption = caption;
  q.text = text;
  q.buttons = buttons;
  q.icon = icon;
  q.default_button = default_button;
  return ask_(q).answer;
}

void QuestionPrompts::Error(const std::string& text) {
  Question q;
  q.kind = Question::Kind::kError;
  q.text = text;
  ask_(q);
}

std::optional<std::string> QuestionPrompts::Input(const std::string& caption,
                                                  const std::string& prompt,
                                                  const std::string& initial) {
  Question q;
  q.kind = Question::Kind::kText;
  q.caption = caption;
  q.text = prompt;
  q.initial = initial;
  return ask_(q).text;
}

std::optional<std::string> QuestionPrompts::Password(const std::string& caption,
                                                     const std::string& prompt) {
  Question q;
  q.kind = Question::Kind::kPassword;
  q.caption = caption;
  q.text = prompt;
  return ask_(q).text;
}

std::optional<std::string> QuestionPrompts::OpenFile(const FileDialogRequest& request) {
  Question q;
  q.kind = Question::Kind::kOpenFile;
  q.file = request;
  return ask_(q).text;
}

std::optional<std::string> QuestionPrompts::SaveFile(const FileDialogRequest& request) {
  Question q;
  q.kind = Question::Kind::kSaveFile;
  q.file = request;
  return ask_(q).text;
}

}  // namespace hemlo::transfer
