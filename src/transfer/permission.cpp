#include "transfer/permission.h"

#include "transfer/transfer_ops.h"

namespace hemlo::transfer {

namespace {
size_t Utf8Length(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}
}  // namespace

void PermissionModel::Prepare(const std::string& name_sjis, std::string_view letters) {
  boxes_.fill(false);
  labels_ = {"0", "0", "0"};
  edit1_.clear();
  name_ = name_sjis;
  static constexpr char kLetters[3] = {'r', 'w', 'x'};
  for (int k = 0; k < 9; ++k) {
    const bool ticked = static_cast<size_t>(k) < letters.size() &&
                        letters[static_cast<size_t>(k)] == kLetters[k % 3];
    SetBox(k, ticked);
  }
}

void PermissionModel::SetBox(int k, bool ticked) {
  if (boxes_[static_cast<size_t>(k)] == ticked) return;
  boxes_[static_cast<size_t>(k)] = ticked;
  const int group = k / 3;
  int digit = 0;
  for (int j = group * 3; j < group * 3 + 3; ++j)
    if (boxes_[static_cast<size_t>(j)]) digit += kPermissionWeights[static_cast<size_t>(j)];
  labels_[static_cast<size_t>(group)] = std::to_string(digit);
  edit1_ = Digits();
}

std::optional<std::string> PermissionModel::ModeDigits() const {
  if (Utf8Length(edit1_) > 3) return std::nullopt;
  bool valid = edit1_.size() == 3;
  for (char c : edit1_)
    if (c < '0' || c > '7') valid = false;
  return valid ? edit1_ : Digits();
}

std::optional<std::string> PermissionModel::ChmodText() const {
  const auto digits = ModeDigits();
  if (!digits) return std::nullopt;
  return "chmod " + *digits + " " + name_;
}

bool ApplyPermission(const PermissionModel& model, ftp::TIdFTP& ftp, Prompts& prompts,
                     const std::function<void()>& refresh_remote_list) {
  FtpOpRemote remote(ftp);
  return ApplyPermission(model, remote, prompts, refresh_remote_list);
}

bool ApplyPermission(const PermissionModel& model, OpRemote& remote, Prompts& prompts,
                     const std::function<void()>& refresh_remote_list) {
  const auto digits = model.ModeDigits();
  if (!digits) return false;
  try {
    remote.SetMode(model.Name(), *digits);
  } catch (const std::exception& e) {
    if (IsCancelled(e)) return false;  // the user stopped the wait; the transfer window says so
    ShowClientError(prompts, e);
    return false;
  }
  try {
    if (refresh_remote_list) refresh_remote_list();
  } catch (const std::exception& e) {
    ShowClientError(prompts, e);
  }
  return true;
}

}  // namespace hemlo::transfer
