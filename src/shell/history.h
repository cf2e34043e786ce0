#pragma once
// The seven most recently opened or saved files ("Rireki.ini").
#include <array>
#include <filesystem>
#include <string>

#include "base/atomic_file.h"

namespace hemlo {

class History {
 public:
  static constexpr int kSlots = 7;

  // Slot 0 is the newest. Paths are local (UTF-8) file names; "" is an empty slot.
  const std::array<std::string, kSlots>& Slots() const { return slots_; }

  // AddHistory: a path already present keeps the order; otherwise every slot
  // moves down one and the path becomes the newest. Returns false (and records
  // nothing) for a path the Shift-JIS history file cannot hold.
  bool Add(const std::string& path);
  // A saved page: the path becomes the newest, from wherever it stood.
  bool Promote(const std::string& path);

  // Reads at most seven lines; a missing file leaves every slot empty.
  // Lines that do not decode are left empty rather than turned into wrong paths.
  void Load(const std::filesystem::path& file);
  // Seven CRLF-terminated Shift-JIS lines, written atomically.
  WriteResult Save(const std::filesystem::path& file) const;

  static bool Representable(const std::string& path);

 private:
  std::array<std::string, kSlots> slots_{};
};

}  // namespace hemlo
