#pragma once
// What a login says on the status line (UTF-8).
namespace hemlo::transfer {

inline constexpr const char* kConnectionDeclined = "接続を中止しました";
inline constexpr const char* kEncryptedMark = "（暗号化）";
inline constexpr const char* kUnsayablePassword =
    "パスワードにShift-JISで表せない文字が含まれているため接続できません";

}  // namespace hemlo::transfer
