#include "transfer/listed_name.h"

#include <utility>

namespace hemlo::transfer {

ListedName::ListedName(const text::RemoteNames& names, std::string wire)
    : wire_(std::move(wire)), local_(names.ToLocal(wire_)), unsafe_(names.Unsafe(wire_)) {
  if (!local_) display_ = names.Display(wire_);
}

ListedName ListedName::Child(const ListedName& child) const {
  ListedName path;
  path.wire_ = wire_ + "/" + child.wire_;
  // A separator never joins two bytes into one character in either
  // encoding, so the parts' forms joined are the path's own.
  if (local_ && child.local_)
    path.local_ = *local_ + "/" + *child.local_;
  else
    path.display_ = Display() + "/" + child.Display();
  path.unsafe_ = unsafe_ || child.unsafe_;
  path.lost_above_ = !local_;
  return path;
}

}  // namespace hemlo::transfer
