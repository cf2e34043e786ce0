#pragma once
// Captions and texts of the message boxes the authoring commands show (UTF-8,
// as Prompts takes them).
#include <string>

namespace hemlo::authoring {

// Caption of plain information messages (the application's title).
inline constexpr const char* kMessageCaption = "Hemlo２";
inline constexpr const char* kFrameCaption = "Hemlo２";

inline constexpr const char* kConfirmCaption = "確認";
inline constexpr const char* kWarningCaption = "警告";

inline constexpr const char* kTemplateQuestion =
    "現在の書き込まれてある文字を初期化します。\r\n\r\n　…よろしいですか？";
// The same question for a page that has a file, which keeps its name.
inline std::string TemplateQuestionForFile(const std::string& path) {
  return "現在の書き込まれてある文字を初期化します。\r\n\r\nこのページのファイル " + path +
         " は、上書き保存するとひな形で置き換わります。\r\n\r\n　…よろしいですか？";
}
inline constexpr const char* kNoHeadMessage =
    "まず、メニューから\r\n\r\n[ファイル]－[基本形＜初期化＞]を選択してください";
inline constexpr const char* kSelectForKanaMessage =
    "全角に変換したい文字列を範囲指定してください。";
inline constexpr const char* kKanaQuestion =
    "指定した範囲内の半角文字列を全角に変換します。\r\n\r\nよろしいですか";

// A border-style combo holding typed text that is none of its items.
inline constexpr const char* kNoBorderStyleMessage = "枠線の種類を一覧から選んでください";
// A chosen file whose name Shift-JIS cannot hold.
inline constexpr const char* kFileNameNotSjisMessage =
    "このファイル名はShift-JISで表せない文字を含むため挿入できません。";

// Text bound for a Shift-JIS page holds `character`, which it cannot hold
// (the same words as the status message of refused input).
inline std::string NotInShiftJisMessage(const std::string& character) {
  return "Shift-JIS で表せない文字は入力できません（" + character + "）";
}

}  // namespace hemlo::authoring
