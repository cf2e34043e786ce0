#pragma once
// Server certificates the user chose to trust although the system's store or
// the host-name check refused them, kept in "FerroxCerts.ini" beside
// Ferrox.ini. One line per server:
//
//   host:port FINGERPRINT
//
// host as written in the profile (compared without regard to ASCII case),
// the port in decimal, one blank, and the SHA-256 fingerprint of the DER
// certificate as 32 upper-case hex pairs joined by ":". Lines that do not
// read that way (comments starting with "#", damaged lines) are kept as they
// are when the file is written again. The file is replaced atomically and
// readable by its owner only; one that exists but cannot be read is never
// overwritten.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "transfer/ferrox_files.h"

namespace hemlo::transfer {

inline constexpr const char* kCertificateFileName = "FerroxCerts.ini";

// "AB:CD:..." in upper case when `text` is a SHA-256 fingerprint (hex pairs,
// ":" between them optional, any case); nullopt otherwise.
std::optional<std::string> NormalFingerprint(const std::string& text);

class TrustedCertificates {
 public:
  // Reads the folder's file; an absent file gives an empty store. A file
  // that cannot be read gives an empty store that refuses to save.
  static TrustedCertificates Load(const std::filesystem::path& folder,
                                  FileOutcome* outcome = nullptr);

  // The fingerprint trusted for host:port, if any.
  std::optional<std::string> Fingerprint(const std::string& host, int port) const;
  // Trusts `fingerprint` for host:port, replacing what was trusted before.
  void Trust(const std::string& host, int port, const std::string& fingerprint);
  // Writes the store back to the folder it was loaded from.
  FileOutcome Save() const;

  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::filesystem::path path_;
  std::vector<std::string> lines_;  // every line of the file, in order
  std::string unreadable_;          // why the file could not be read
};

}  // namespace hemlo::transfer
