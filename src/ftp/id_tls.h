#pragma once

#include <string>

using X509 = struct x509_st;

namespace hemlo::ftp {

// What the client learned about the server's certificate during the TLS
// handshake of the control connection.
struct TIdCertificateInfo {
  std::string Subject;  // one line, e.g. "CN=localhost, O=Test" (RFC 2253 style)
  std::string Issuer;
  std::string NotBefore;  // "YYYY-MM-DD HH:MM:SS UTC"
  std::string NotAfter;
  std::string Sha256;   // fingerprint of the DER certificate, "AB:CD:..." upper-case, 32 pairs
  std::string Host;     // the host name that was checked
  std::string Problem;  // empty when the system trust store and the host name accept it;
                        // else a short English reason
};

// Subject, issuer, validity and SHA-256 fingerprint of `cert`; Host and
// Problem are left for the caller.
TIdCertificateInfo DescribeCertificate(X509* cert);

}  // namespace hemlo::ftp
