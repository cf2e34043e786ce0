#pragma once
// The mode logic of the permission dialog "パーミション設定": nine boxes with
// weights 4, 2, 1 per group (owner, group, others), the three digit labels,
// the direct-entry field Edit1, and the chmod text that "変更" sends through
// SITE.
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/prompts.h"
#include "ftp/id_ftp.h"
#include "remote/remote_files.h"

namespace hemlo::transfer {

inline constexpr std::array<int, 9> kPermissionWeights = {4, 2, 1, 4, 2, 1, 4, 2, 1};

class PermissionModel {
 public:
  // Fills the dialog from a row: every box unticked, digits "0", Edit1
  // empty, the name; then box k is ticked when letter k is "r", "w" or "x"
  // at its own position. Special letters ("s", "t", ...) leave it unticked.
  void Prepare(const std::string& name_sjis, std::string_view letters);
  // Sets box k (0-8) as a click would: a change recomputes the group's
  // digit and writes the three digits into Edit1.
  void SetBox(int k, bool ticked);

  bool Box(int k) const { return boxes_[static_cast<size_t>(k)]; }
  const std::string& DigitLabel(int group) const { return labels_[static_cast<size_t>(group)]; }
  std::string Digits() const { return labels_[0] + labels_[1] + labels_[2]; }
  const std::string& Edit1() const { return edit1_; }
  void SetEdit1(std::string text) { edit1_ = std::move(text); }
  const std::string& Name() const { return name_; }  // Label4, Shift-JIS

  // What "変更" sends (without "SITE "): Edit1 when it is a three-digit
  // octal mode, otherwise the boxes' digits; nullopt when Edit1 holds more
  // than three characters (then nothing happens).
  std::optional<std::string> ChmodText() const;
  // The three digits of that text.
  std::optional<std::string> ModeDigits() const;

 private:
  std::array<bool, 9> boxes_{};
  std::array<std::string, 3> labels_{"0", "0", "0"};
  std::string edit1_;
  std::string name_;
};

// "変更": sends the chmod text and re-reads the remote list. Returns true
// when the dialog should close; a refusal shows the client's message and
// keeps it open.
bool ApplyPermission(const PermissionModel& model, ftp::TIdFTP& ftp, Prompts& prompts,
                     const std::function<void()>& refresh_remote_list);
// The same over any protocol: the mode is set directly where it can be.
bool ApplyPermission(const PermissionModel& model, RemoteFiles& remote, Prompts& prompts,
                     const std::function<void()>& refresh_remote_list);

}  // namespace hemlo::transfer
