#pragma once
// Every fixed command of the frame's menus and toolbar. Receivers connect to
// TMainForm::action(command) directly, so a command nobody handles is found by
// the frame test instead of by a user clicking a dead menu item.
namespace hemlo {

enum class FrameCommand : int {
  // ファイル
  BasicHtml,     // 基本形HTML
  FileNew,       // 新規作成 (menu, toolbar, Ctrl+N)
  FileOpen,      // 開く (toolbar, Ctrl+O)
  FileOpenItem,  // 開く... in the menu, forwards to FileOpen
  FileClose,
  FileSave,
  FileSaveAs,
  FileSavePublish,  // 保存して公開 (Ctrl+Shift+U)
  SiteCheck,  // サイトチェック...
  LinkUpdate,  // サイト › 移動･名前の変更 (リンクの更新)...
  Print,
  Exit,
  // 編集
  Undo,
  Redo,  // やり直し (Ctrl+Y, Ctrl+Shift+Z)
  EditCut,
  EditCopy,
  EditPaste,
  Find,
  FindNext,
  Jump,
  SelectAll,
  HalfWidthKana,
  Comment,
  DeleteTag,
  ConvertEncoding,  // 文字コード変換
  SiteSearch,       // サイト内検索･置換...
  MatchingTag,      // 対応するタグへ移動 (Ctrl+M)
  // 環境設定
  Font,
  TabWidth,
  Highlighting,  // 色分け表示 (checkable, kept)
  LineNumbers,   // 行番号 (checkable, kept)
  LivePreview,   // ライブプレビュー (checkable, kept)
  WebPhotos,     // 大きな画像を Web 用に縮小 (checkable, kept)
  MarkupMarks,   // 入力中のマークアップチェック (checkable, kept)
  ClosingTags,   // 閉じタグの自動入力 (checkable, kept)
  Abbreviations, // 省略記法の展開 (checkable, kept)
  Completion,    // 入力補完 (checkable, kept)
  MatchingTags,  // 対応するタグの強調表示 (checkable, kept)
  WebMaximise,
  WebRestore,
  PreviewPhone,   // スマートフォン: the web pane at 375 CSS pixels (one of three, kept)
  PreviewTablet,  // タブレット: 768
  PreviewPc,      // PC: the pane's own width
  Transfer,
  // the menu bar's own command
  Favourites,
  // ウィンドウ
  WindowCascade,
  WindowTileHorizontal,
  WindowTileVertical,
  WindowMinimizeAll,
  WindowArrangeAll,
  // ヘルプ
  Help,
  HelpAbout,
  // toolbar-only buttons
  ToolClose,
  ToolPrint,
  ToolSave,
  Go,
  // shared parts
  InsertPart,       // 挿入 › 共通部品...
  SiteUpdateParts,  // サイト › 共通部品をすべて更新
  FileVersions,     // ファイル › 以前の版...
  // the site panel
  SiteOpen,   // ファイル › サイトを開く...
  SitePanel,  // サイト › サイトパネル (checkable)
  kCount
};

}  // namespace hemlo
