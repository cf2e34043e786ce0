#include "app/engine_texts_ja.h"

#include <cstring>

namespace hemlo {
namespace {

struct Text {
  const char* context;
  const char* source;
  const char* japanese;
};

// The engine's source texts, by the context it asks in.
constexpr Text kTexts[] = {
    {"RenderViewContextMenuQt", "Back", "戻る"},
    {"RenderViewContextMenuQt", "Forward", "進む"},
    {"RenderViewContextMenuQt", "Reload", "再読み込み"},
    {"RenderViewContextMenuQt", "Cut", "切り取り"},
    {"RenderViewContextMenuQt", "Copy", "コピー"},
    {"RenderViewContextMenuQt", "Paste", "貼り付け"},
    {"RenderViewContextMenuQt", "Paste and match style", "書式なしで貼り付け"},
    {"RenderViewContextMenuQt", "Undo", "元に戻す"},
    {"RenderViewContextMenuQt", "Redo", "やり直し"},
    {"RenderViewContextMenuQt", "Select all", "すべてを選択"},
    {"RenderViewContextMenuQt", "Open link in new tab", "リンクを新しいタブで開く"},
    {"RenderViewContextMenuQt", "Open link in new window", "リンクを新しいウィンドウで開く"},
    {"RenderViewContextMenuQt", "Copy link address", "リンクのアドレスをコピー"},
    {"RenderViewContextMenuQt", "Save link", "リンク先を保存"},
    {"RenderViewContextMenuQt", "Copy image", "画像をコピー"},
    {"RenderViewContextMenuQt", "Copy image address", "画像のアドレスをコピー"},
    {"RenderViewContextMenuQt", "Save image", "画像を保存"},
    {"RenderViewContextMenuQt", "Copy media address", "メディアのアドレスをコピー"},
    {"RenderViewContextMenuQt", "Save media", "メディアを保存"},
    {"RenderViewContextMenuQt", "Show controls", "コントロールを表示"},
    {"RenderViewContextMenuQt", "Loop", "繰り返し再生"},
    {"RenderViewContextMenuQt", "Save page", "ページを保存"},
    {"RenderViewContextMenuQt", "View page source", "ページのソースを表示"},
    {"RenderViewContextMenuQt", "Inspect", "検証"},
    {"RenderViewContextMenuQt", "Exit full screen", "全画面表示を終了"},
    {"QWebEnginePage", "Stop", "中止"},
    {"QWebEnginePage", "Reload and Bypass Cache", "キャッシュを使わずに再読み込み"},
    {"QWebEnginePage", "Open link in this window", "リンクをこのウィンドウで開く"},
    {"QWebEnginePage", "Open link in new background tab", "リンクを新しいタブで裏に開く"},
    {"QWebEnginePage", "Unselect", "選択を解除"},
    {"QWebEnginePage", "Toggle Play/Pause", "再生／一時停止"},
    {"QWebEnginePage", "Toggle Mute", "消音の切り替え"},
    {"QWebEnginePage", "Close Page", "ページを閉じる"},
    {"QWebEnginePage", "&Bold", "太字(&B)"},
    {"QWebEnginePage", "&Italic", "斜体(&I)"},
    {"QWebEnginePage", "&Underline", "下線(&U)"},
    {"QWebEnginePage", "&Strikethrough", "取り消し線(&S)"},
    {"QWebEnginePage", "Align &Left", "左揃え(&L)"},
    {"QWebEnginePage", "Align &Center", "中央揃え(&C)"},
    {"QWebEnginePage", "Align &Right", "右揃え(&R)"},
    {"QWebEnginePage", "Align &Justified", "両端揃え(&J)"},
    {"QWebEnginePage", "&Indent", "インデント(&I)"},
    {"QWebEnginePage", "&Outdent", "インデント解除(&O)"},
    {"QWebEnginePage", "Insert &Ordered List", "番号付きリストを挿入(&O)"},
    {"QWebEnginePage", "Insert &Unordered List", "箇条書きを挿入(&U)"},
    {"QWebEnginePage",
     "Are you sure you want to leave this page? Changes that you made may not be saved.",
     "このページから移動しますか？ 変更内容は保存されないことがあります。"},
    {"QWebEngineView", "Select folder to upload", "アップロードするフォルダを選択"},
    {"UIDelegatesManager", "Are you sure you want to leave this page?",
     "このページから移動しますか？"},
    {"UIDelegatesManager", "Changes that you made may not be saved.",
     "変更内容は保存されないことがあります。"},
    {"UIDelegatesManager", "Javascript Alert - %1", "JavaScript の警告 - %1"},
    {"UIDelegatesManager", "Javascript Confirm - %1", "JavaScript の確認 - %1"},
    {"UIDelegatesManager", "Javascript Prompt - %1", "JavaScript の入力 - %1"},
    {"UIDelegatesManager", "Connect to proxy \"%1\" using:", "プロキシ「%1」に接続します:"},
    {"UIDelegatesManager", "Enter username and password for \"%1\" at %2://%3",
     "%2://%3 の「%1」のユーザー名とパスワードを入力してください"},
    {"FilePickerController", "Accepted types (%1)", "使用できる種類 (%1)"},
    {"WebContentsAdapter", "HTTP-POST data can only be sent over HTTP(S) protocol",
     "HTTP-POST のデータは HTTP(S) でしか送れません"},
};

}  // namespace

QString EngineTextsJa::translate(const char* context, const char* source_text, const char*,
                                 int) const {
  if (!context || !source_text) return {};
  for (const Text& t : kTexts)
    if (std::strcmp(t.context, context) == 0 && std::strcmp(t.source, source_text) == 0)
      return QString::fromUtf8(t.japanese);
  return {};
}

}  // namespace hemlo
