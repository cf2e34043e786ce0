#pragma once
// A remote name in every form the transfer operations use, made once when
// the name is read (from a listing, or from a row of the remote list): the
// server's bytes, the exact local (UTF-8) name where there is one, the text
// that shows it, and whether it may become part of a path. A path below a
// walked folder joins the forms of its parts, so no later step converts a
// name again. Core code, the same for any protocol's listings.
#include <optional>
#include <string>

#include "text/remote_names.h"

namespace hemlo::transfer {

class ListedName {
 public:
  ListedName() = default;
  // One name as the server sent it (no folder part).
  ListedName(const text::RemoteNames& names, std::string wire);

  // `child`, listed in this folder, as the path "folder/child" in every form.
  ListedName Child(const ListedName& child) const;

  const std::string& Wire() const { return wire_; }
  // The exact local name (a relative path for a walked entry); nullopt when
  // this name, or a folder above it, has none.
  const std::optional<std::string>& Local() const { return local_; }
  // For messages and the status: exact where it converts, "?" where not.
  const std::string& Display() const { return local_ ? *local_ : display_; }
  // Could leave the folder it was listed in: empty, "." or "..", a
  // separator or a control character.
  bool Unsafe() const { return unsafe_; }
  // No local name because a folder above has none: that folder was the one
  // reported, everything below it goes without a word.
  bool LocalLostAbove() const { return lost_above_; }

 private:
  std::string wire_;
  std::optional<std::string> local_;
  std::string display_;  // only while local_ is empty
  bool unsafe_ = false;
  bool lost_above_ = false;
};

}  // namespace hemlo::transfer
