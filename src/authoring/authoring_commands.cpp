#include "authoring/authoring_commands.h"

#include <filesystem>
#include <system_error>

#include "authoring/messages.h"
#include "base/dialog_folder.h"
#include "text/cp932.h"
#include "text/view_codes.h"

namespace hemlo::authoring {

FileDialogRequest FrameOpenDialogRequest() {
  FileDialogRequest r;
  r.filters = {
      {"Html(*.htm;*.html)", "*.htm;*.html"}, {"画像ファイル", "*.jpg;*.jpeg;*.gif;*.bmp;*.ico"},
      {"スタイルシート(*.css)", "*.css"},     {"テキストファイル(*.txt)", "*.txt"},
      {"CGI(*.cgi;*.pl)", "*.cgi;*.pl"},      {"ASP(*.asp;*.aspx)", "*.asp;*.aspx"},
      {"リッチテキスト(*.rtf)", "*.rtf"},     {"すべてのファイル", "*.*"},
  };
  r.default_suffix = "htm";
  return r;
}

FileDialogRequest DocumentHost::OpenDialogRequest() { return FrameOpenDialogRequest(); }

AuthoringCommands::AuthoringCommands(DocumentHost& host, BuilderDialog& dialog, Prompts& prompts)
    : host_(host), dialog_(dialog), prompts_(prompts) {}

void AuthoringCommands::InsertPendingFragment() {
  text::EditPane* pane = host_.ActivePane();
  if (pane && !PendingFragment.empty()) {
    // Builder values filled in for a UTF-8 page may hold characters a
    // Shift-JIS page cannot; they are refused rather than written as codes.
    const std::string refused = pane->DocumentEncoding() == text::Encoding::kShiftJis
                                    ? text::FirstCodedCharacter(PendingFragment)
                                    : std::string();
    if (refused.empty())
      pane->ReplaceSelection(PendingFragment);
    else
      prompts_.Error(NotInShiftJisMessage(refused));
  }
  PendingFragment.clear();
}

void AuthoringCommands::HTML1Click() {
  text::EditPane* pane = host_.ActivePane();
  if (!pane) pane = host_.OpenUntitledDocument();
  if (!pane) return;
  if (pane->TextLength() != 0) {
    // The page keeps its name: the next 上書き保存 puts the template over its file.
    const std::string page = host_.ActiveDocumentPath();
    std::error_code ec;
    const bool has_file = !page.empty() && std::filesystem::is_regular_file(page, ec);
    const Answer a = prompts_.Message(kConfirmCaption,
                                      has_file ? TemplateQuestionForFile(page) : kTemplateQuestion,
                                      Buttons::YesNoCancel, Icon::None, Answer::No);
    if (a != Answer::Yes) return;
  }
  host_.SetFrameCaption(kFrameCaption);
  pane->SetText(PageTemplate());
  pane->SetModified(false);
  pane->SetSelStart(kTemplateCaret);
  pane->Focus();
  host_.ShowCaretPosition();
}

void AuthoringCommands::Font1Click(int tag) { RunComposed(Handler::Font1Click, tag); }
void AuthoringCommands::mnuSetAlignClick(int tag) { RunComposed(Handler::mnuSetAlignClick, tag); }
void AuthoringCommands::mnuInsertClick(int tag) {
  if (tag == 0) {
    InsertFileName();
  } else if (tag == 1 && InsertPickedPicture()) {
    return;
  } else {
    RunComposed(Handler::mnuInsertClick, tag);
  }
}
void AuthoringCommands::URL1Click(int tag) { RunComposed(Handler::URL1Click, tag); }
void AuthoringCommands::mnuKaigyoClick(int tag) { RunComposed(Handler::mnuKaigyoClick, tag); }
void AuthoringCommands::mnuTableClick(int tag) { RunComposed(Handler::mnuTableClick, tag); }
void AuthoringCommands::mnuTable2Click(int tag) { RunComposed(Handler::mnuTable2Click, tag); }
void AuthoringCommands::mnuTableSetClick() { RunComposed(Handler::mnuTableSetClick, 0); }
void AuthoringCommands::mnuStyleClick(int tag) { RunComposed(Handler::mnuStyleClick, tag); }
void AuthoringCommands::java1Click(int tag) { RunComposed(Handler::java1Click, tag); }
void AuthoringCommands::mnuFormClick(int tag) { RunComposed(Handler::mnuFormClick, tag); }
void AuthoringCommands::mnuColorSetClick() { RunComposed(Handler::mnuColorSetClick, 0); }
void AuthoringCommands::mnuCommentClick() { RunComposed(Handler::mnuCommentClick, 0); }
void AuthoringCommands::mnuDelTagClick() { RunComposed(Handler::mnuDelTagClick, 0); }

void AuthoringCommands::N44Click() {
  text::EditPane* pane = host_.ActivePane();
  if (!pane) return;
  const std::string sel = pane->SelectedText();
  if (sel.empty()) {
    prompts_.Message(kMessageCaption, kSelectForKanaMessage, Buttons::Ok, Icon::None);
    return;
  }
  if (prompts_.Message(kWarningCaption, kKanaQuestion, Buttons::YesNoCancel, Icon::Warning) !=
      Answer::Yes) {
    return;
  }
  Place(pane, Compose(Handler::N44Click, 0, sel, dialog_.Model()), false);
}

void AuthoringCommands::Run(Handler handler, int tag) {
  switch (handler) {
    case Handler::mnuInsertClick:
      mnuInsertClick(tag);
      break;
    case Handler::N44Click:
      N44Click();
      break;
    default:
      RunComposed(handler, tag);
      break;
  }
}

void AuthoringCommands::RunComposed(Handler handler, int tag) {
  PendingFragment.clear();
  text::EditPane* pane = host_.ActivePane();
  if (!pane && !ActsWithoutDocument(handler)) return;
  const std::string sel = pane ? pane->SelectedText() : std::string();

  BuilderModel& model = dialog_.Model();
  const DialogStep step = DialogBefore(handler, tag);
  if (step.show) {
    if (step.checkColor) model.colorSize.CheckColor = *step.checkColor;
    if (step.checkSize) model.colorSize.CheckSize = *step.checkSize;
    if (step.clearSettingResult) model.SettingResult.clear();
    model.document_encoding = pane ? pane->DocumentEncoding() : text::Encoding::kShiftJis;
    dialog_.ShowModal(step.tab);
    pane = host_.ActivePane();
  }

  Composition c;
  try {
    c = Compose(handler, tag, sel, model);
  } catch (const IntegerConversionError& e) {
    prompts_.Error(e.Message());
    return;
  } catch (const TableTooLargeError& e) {
    prompts_.Error(e.what());
    return;
  }
  if (!c.insert) return;
  // Tag removal that leaves nothing of a non-empty selection removes it.
  const bool replace_with_empty = handler == Handler::mnuDelTagClick && !sel.empty();
  Place(pane, c, replace_with_empty);
}

void AuthoringCommands::Place(text::EditPane* pane, const Composition& c, bool replace_with_empty) {
  PendingFragment = c.fragment;
  if (pane && c.placement != Placement::Selection) {
    if (auto head = FindHeadEnd(pane->Text())) {
      pane->SetSelStart(*head);
    } else if (c.placement == Placement::HeadOrRefuse) {
      PendingFragment.clear();
      prompts_.Message(kMessageCaption, kNoHeadMessage, Buttons::Ok, Icon::None);
      return;
    } else {
      pane->SetSelStart(pane->SelStart());  // drops the selection, keeps its text
    }
  }
  if (pane && replace_with_empty && PendingFragment.empty()) {
    pane->ReplaceSelection("");
    return;
  }
  InsertPendingFragment();
}

bool AuthoringCommands::InsertPickedPicture() {
  if (!host_.ActivePane() || !host_.PicksPictures()) return false;
  FileDialogRequest request;
  request.title = "画像の挿入";
  request.filters = {{"画像ファイル", "*.jpg;*.jpeg;*.png;*.gif;*.webp;*.bmp"},
                     {"すべてのファイル", "*.*"}};
  request.initial_path = DialogFolder::StartFor(host_.ActiveDocumentPath());
  // Like ファイル名..., picking a picture leaves the link base where it was.
  const std::optional<std::string> kept = DialogFolder::Last();
  const std::optional<std::string> chosen = prompts_.OpenFile(request);
  DialogFolder::Set(kept);
  if (!chosen) return false;  // no picture: the fragment as it always was
  host_.InsertPictureFile(*chosen);
  return true;
}

void AuthoringCommands::InsertFileName() {
  namespace fs = std::filesystem;
  PendingFragment.clear();
  if (!host_.ActivePane()) return;
  // The base is the page's own folder; for an untitled page, the folder of
  // the file last chosen in a file dialog. This dialog's own choice moves neither.
  const std::optional<std::string> kept = DialogFolder::Last();
  const std::string page = host_.ActiveDocumentPath();
  const std::string base =
      page.empty() ? DialogFolder::LinkBase() : fs::path(page).parent_path().string();
  if (base.empty()) {
    prompts_.Error("作業フォルダを取得できません。");
    return;
  }
  FileDialogRequest request = host_.OpenDialogRequest();
  request.initial_path = DialogFolder::StartFor(host_.ActiveDocumentPath());
  const std::optional<std::string> chosen = prompts_.OpenFile(request);
  DialogFolder::Set(kept);
  if (!chosen) return;
  std::error_code ec;
  if (!fs::is_directory(base, ec)) {
    prompts_.Error(base + ": " +
                   std::make_error_code(std::errc::no_such_file_or_directory).message());
    return;
  }
  const std::string file = fs::absolute(fs::path(*chosen), ec).lexically_normal().string();
  // A file on another mount (another drive) keeps its full name.
  const std::string relative = OnSameMount(base, file) ? RelativeFileName(base, file) : file;
  // A UTF-8 page takes any name; a Shift-JIS page only one it can hold.
  const std::optional<std::string> sjis =
      host_.ActivePane()->DocumentEncoding() == text::Encoding::kUtf8
          ? std::optional<std::string>(text::Utf8ToView(relative))
          : text::Utf8ToCp932(relative);
  if (!sjis) {
    prompts_.Message(kWarningCaption, std::string(kFileNameNotSjisMessage) + "\r\n\r\n" + relative,
                     Buttons::Ok, Icon::Warning);
    return;
  }
  PendingFragment = *sjis;
  InsertPendingFragment();
}

}  // namespace hemlo::authoring
