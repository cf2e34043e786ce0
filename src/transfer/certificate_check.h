#pragma once
// What the transfer tool does with a server certificate the system's trust
// store or the host-name check refused: a certificate the user trusted
// before for this host:port passes silently; any other is put to the user
// with its details, and trusted from then on when the answer is はい.
// Also the Japanese texts for the client's failures.
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/prompts.h"
#include "ftp/id_tls.h"
#include "remote/login_texts.h"
#include "text/remote_names.h"

namespace hemlo::transfer {

// Texts (UTF-8).
inline constexpr const char* kCertificateCaption = "証明書の確認";

// Each fault the verifier found ("; " between them) in plain Japanese
// words, once each (unknown reasons keep the verifier's own text).
std::vector<std::string> ProblemInWords(const std::string& problem);

// The question put to the user; `changed` starts it with the warning that the
// certificate differs from the one trusted before.
std::string CertificateQuestion(const ftp::TIdCertificateInfo& info, const std::string& host,
                                int port, bool changed);

struct CertificateVerdict {
  bool accept = false;
  bool asked = false;         // the user was asked
  std::string storage_error;  // はい, but the choice could not be kept (UTF-8)
};

// Decides on a refused certificate of host:port, with the trusted store in
// `folder`. Asks through `prompts` unless the store already trusts exactly
// this certificate; はい stores it (replacing an older one).
CertificateVerdict CheckCertificate(const ftp::TIdCertificateInfo& info, const std::string& host,
                                    int port, const std::filesystem::path& folder,
                                    Prompts& prompts);

// A clear message for the client's TLS failures; nullopt for any other error.
std::optional<std::string> TlsFailureText(const std::exception& e);

// The message (UTF-8) for any failure of the client: TLS failures as above,
// a server's refusal in the connection's name encoding, the client's own
// texts and local paths as they are.
std::string ClientErrorText(const std::exception& e, const text::RemoteNames& names);

}  // namespace hemlo::transfer
