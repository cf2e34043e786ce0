#pragma once
// The client side of TLS over a socket the caller already connected: a
// thin layer over OpenSSL that never waits by itself. Each call does what
// the socket allows at once and says what it is waiting for, so the
// connection's sliced waits (and their cancel) stay in charge.
#include <cstddef>
#include <memory>
#include <string>

using X509 = struct x509_st;
using SSL = struct ssl_st;
using SSL_CTX = struct ssl_ctx_st;
using SSL_SESSION = struct ssl_session_st;

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

// Settings shared by a client's connections: TLS 1.2 or later, the
// system's trusted certificates, sessions kept for data connections.
class TIdTLSContext {
 public:
  TIdTLSContext();
  ~TIdTLSContext();
  TIdTLSContext(const TIdTLSContext&) = delete;
  TIdTLSContext& operator=(const TIdTLSContext&) = delete;
  SSL_CTX* get() const { return ctx_; }

 private:
  SSL_CTX* ctx_ = nullptr;
};

enum class TIdTLSResult {
  kDone,       // the step finished (bytes moved, handshake complete)
  kWantRead,   // wait until the socket is readable, then call again
  kWantWrite,  // wait until the socket is writable, then call again
  kClosed,     // the peer ended the TLS stream
  kFailed,     // broken; Error() says why
};

struct SessionFree {
  void operator()(SSL_SESSION* s) const;
};
using TIdTLSSession = std::unique_ptr<SSL_SESSION, SessionFree>;

class TIdTLSStream {
 public:
  // `host` is sent as the server name (unless it is an address) and checked
  // against the certificate. `resume` offers an earlier session (data
  // connections reuse the control connection's).
  TIdTLSStream(const TIdTLSContext& context, int fd, const std::string& host,
               SSL_SESSION* resume = nullptr);
  ~TIdTLSStream();
  TIdTLSStream(const TIdTLSStream&) = delete;
  TIdTLSStream& operator=(const TIdTLSStream&) = delete;

  TIdTLSResult Handshake();
  // `moved` is set only with kDone.
  TIdTLSResult Read(char* buf, size_t size, size_t& moved);
  // A write that was told to wait must be repeated with the same bytes.
  TIdTLSResult Write(const char* buf, size_t size, size_t& moved);
  // Sends close_notify when the socket takes it at once; never waits for
  // the peer's.
  void Shutdown();
  // Decrypted or undecrypted bytes held inside, which poll cannot see.
  bool Pending() const;
  // The reason of the last kFailed, in the TLS library's words.
  const std::string& Error() const { return error_; }
  // The session to offer to the next connection (the newest ticket).
  TIdTLSSession Session() const;
  bool Resumed() const;
  // The peer's certificate with Problem filled from the verification of
  // the trust chain and the host name (every fault found, "; " between).
  TIdCertificateInfo Certificate() const;

  // What the socket layer under the TLS library keeps.
  struct BioState {
    int fd = -1;
    bool eof = false;
  };

 private:
  TIdTLSResult Outcome(int rc, const char* step);

  BioState bio_state_;
  std::string problems_;  // every verification fault, "; " between them
  SSL* ssl_ = nullptr;
  std::string host_;
  std::string error_;
};

}  // namespace hemlo::ftp
