#include "ftp/id_tls.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <sys/socket.h>
#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "ftp/id_exception.h"
#include "ftp/id_socket.h"

namespace hemlo::ftp {
namespace {

struct BioFree {
  void operator()(BIO* b) const { BIO_free(b); }
};

std::string BioText(BIO* bio) {
  char* data = nullptr;
  long n = BIO_get_mem_data(bio, &data);
  return n > 0 ? std::string(data, static_cast<size_t>(n)) : std::string();
}

// One line, RFC 2253 order and escaping, but ", " between parts so it
// reads well in a dialog.
std::string NameLine(const X509_NAME* name) {
  std::unique_ptr<BIO, BioFree> bio(BIO_new(BIO_s_mem()));
  if (!bio || !name) return {};
  X509_NAME_print_ex(bio.get(), name, 0,
                     (XN_FLAG_RFC2253 & ~XN_FLAG_SEP_MASK) | XN_FLAG_SEP_CPLUS_SPC);
  return BioText(bio.get());
}

std::string TimeLine(const ASN1_TIME* t) {
  struct tm tm {};
  if (!t || ASN1_TIME_to_tm(t, &tm) != 1) return {};
  char out[32];
  std::strftime(out, sizeof out, "%Y-%m-%d %H:%M:%S UTC", &tm);
  return out;
}

std::string Fingerprint(X509* cert) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (X509_digest(cert, EVP_sha256(), md, &len) != 1) return {};
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned int i = 0; i < len; ++i) {
    if (i) out += ':';
    out += kHex[md[i] >> 4];
    out += kHex[md[i] & 15];
  }
  return out;
}

}  // namespace

TIdCertificateInfo DescribeCertificate(X509* cert) {
  TIdCertificateInfo info;
  if (!cert) return info;
  info.Subject = NameLine(X509_get_subject_name(cert));
  info.Issuer = NameLine(X509_get_issuer_name(cert));
  info.NotBefore = TimeLine(X509_get0_notBefore(cert));
  info.NotAfter = TimeLine(X509_get0_notAfter(cert));
  info.Sha256 = Fingerprint(cert);
  return info;
}

namespace {

// Every queued library error, oldest first; the queue is left empty so a
// later failure does not repeat an old reason.
std::string DrainErrors() {
  std::string out;
  while (unsigned long e = ERR_get_error()) {
    char text[256];
    ERR_error_string_n(e, text, sizeof text);
    if (!out.empty()) out += "; ";
    out += text;
  }
  return out;
}

// Socket input and output for the TLS library: like its own socket layer,
// but sends never raise SIGPIPE when the server has gone.
int SocketRead(BIO* bio, char* buf, int size) {
  BIO_clear_retry_flags(bio);
  auto* state = static_cast<TIdTLSStream::BioState*>(BIO_get_data(bio));
  ssize_t n;
  do n = ::recv(state->fd, buf, static_cast<size_t>(size), 0);
  while (n < 0 && errno == EINTR);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) BIO_set_retry_read(bio);
  if (n == 0) state->eof = true;
  return static_cast<int>(n);
}

int SocketWrite(BIO* bio, const char* buf, int size) {
  BIO_clear_retry_flags(bio);
  auto* state = static_cast<TIdTLSStream::BioState*>(BIO_get_data(bio));
  ssize_t n;
  do n = ::send(state->fd, buf, static_cast<size_t>(size), MSG_NOSIGNAL);
  while (n < 0 && errno == EINTR);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) BIO_set_retry_write(bio);
  return static_cast<int>(n);
}

long SocketControl(BIO* bio, int command, long, void*) {
  switch (command) {
    case BIO_CTRL_FLUSH:
      return 1;
    case BIO_CTRL_EOF:
      return static_cast<TIdTLSStream::BioState*>(BIO_get_data(bio))->eof ? 1 : 0;
    default:
      return 0;
  }
}

// Verification runs to the end instead of stopping at the first fault, so
// the user hears every reason (self-signed and another name, say).
int KeepVerifying(int ok, X509_STORE_CTX* store) {
  if (ok) return 1;
  auto* ssl =
      static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  if (auto* problems = ssl ? static_cast<std::string*>(SSL_get_app_data(ssl)) : nullptr) {
    const std::string reason = X509_verify_cert_error_string(X509_STORE_CTX_get_error(store));
    if (problems->find(reason) == std::string::npos)
      *problems += (problems->empty() ? "" : "; ") + reason;
  }
  return 1;
}

BIO_METHOD* SocketMethod() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "hemlo socket");
    if (m) {
      BIO_meth_set_read(m, SocketRead);
      BIO_meth_set_write(m, SocketWrite);
      BIO_meth_set_ctrl(m, SocketControl);
    }
    return m;
  }();
  return method;
}

}  // namespace

void SessionFree::operator()(SSL_SESSION* s) const { SSL_SESSION_free(s); }

TIdTLSContext::TIdTLSContext() {
  ctx_ = SSL_CTX_new(TLS_client_method());
  if (!ctx_) throw EIdTLSHandshakeFailed("TLS を準備できませんでした：" + DrainErrors());
  SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
  SSL_CTX_set_default_verify_paths(ctx_);
  // The verdict is taken after the handshake, so the user can be asked.
  SSL_CTX_set_verify(ctx_, SSL_VERIFY_NONE, KeepVerifying);
  SSL_CTX_set_mode(ctx_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER |
                             SSL_MODE_AUTO_RETRY);
  // Many FTP servers close data connections without close_notify; the end
  // reply on the control connection says whether the data was complete.
  SSL_CTX_set_options(ctx_, SSL_OP_IGNORE_UNEXPECTED_EOF);
  SSL_CTX_set_session_cache_mode(ctx_, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
  // Fewer, larger socket reads while data flows.
  SSL_CTX_set_read_ahead(ctx_, 1);
  SSL_CTX_set_default_read_buffer_len(ctx_, 64 * 1024);
}

TIdTLSContext::~TIdTLSContext() { SSL_CTX_free(ctx_); }

TIdTLSStream::TIdTLSStream(const TIdTLSContext& context, int fd, const std::string& host,
                           SSL_SESSION* resume)
    : host_(host) {
  ERR_clear_error();
  bio_state_.fd = fd;
  ssl_ = SSL_new(context.get());
  BIO* bio = SocketMethod() ? BIO_new(SocketMethod()) : nullptr;
  if (!ssl_ || !bio) {
    const std::string why = DrainErrors();
    BIO_free(bio);
    SSL_free(ssl_);
    ssl_ = nullptr;
    throw EIdTLSHandshakeFailed("TLS を準備できませんでした：" + why);
  }
  BIO_set_data(bio, &bio_state_);
  BIO_set_init(bio, 1);
  SSL_set_bio(ssl_, bio, bio);
  SSL_set_app_data(ssl_, &problems_);
  if (IsDottedIPv4(host)) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.c_str());
  } else if (!host.empty()) {
    SSL_set_tlsext_host_name(ssl_, host.c_str());
    SSL_set1_host(ssl_, host.c_str());
  }
  if (resume) SSL_set_session(ssl_, resume);
  SSL_set_connect_state(ssl_);
}

TIdTLSStream::~TIdTLSStream() { SSL_free(ssl_); }

TIdTLSResult TIdTLSStream::Outcome(int rc, const char* step) {
  const int err = SSL_get_error(ssl_, rc);
  switch (err) {
    case SSL_ERROR_WANT_READ:
      return TIdTLSResult::kWantRead;
    case SSL_ERROR_WANT_WRITE:
      return TIdTLSResult::kWantWrite;
    case SSL_ERROR_ZERO_RETURN:
      return TIdTLSResult::kClosed;
    case SSL_ERROR_SYSCALL: {
      const int saved = errno;
      error_ = DrainErrors();
      if (error_.empty())
        error_ = saved != 0 ? std::string(step) + "に失敗しました：" + std::strerror(saved)
                            : std::string(step) + "の途中でサーバが接続を閉じました";
      return TIdTLSResult::kFailed;
    }
    default: {
      const unsigned long first = ERR_peek_error();
      error_ = DrainErrors();
      // What a server that answers in clear text produces: say so plainly.
      if (ERR_GET_LIB(first) == ERR_LIB_SSL && ERR_GET_REASON(first) == SSL_R_WRONG_VERSION_NUMBER)
        error_ = "TLS で応答するはずのサーバが平文で応答しました";
      if (error_.empty()) error_ = std::string(step) + "に失敗しました";
      return TIdTLSResult::kFailed;
    }
  }
}

TIdTLSResult TIdTLSStream::Handshake() {
  ERR_clear_error();
  errno = 0;
  const int rc = SSL_do_handshake(ssl_);
  return rc == 1 ? TIdTLSResult::kDone : Outcome(rc, "TLS のハンドシェイク");
}

TIdTLSResult TIdTLSStream::Read(char* buf, size_t size, size_t& moved) {
  ERR_clear_error();
  errno = 0;
  if (SSL_read_ex(ssl_, buf, size, &moved) != 1) return Outcome(0, "TLS の受信");
  // One call hands over one record (16 KiB at most): take in the records
  // already here too, so the caller moves fewer, larger pieces.
  size_t more = 0;
  while (moved < size && SSL_has_pending(ssl_) == 1 &&
         SSL_read_ex(ssl_, buf + moved, size - moved, &more) == 1)
    moved += more;
  ERR_clear_error();
  return TIdTLSResult::kDone;
}

TIdTLSResult TIdTLSStream::Write(const char* buf, size_t size, size_t& moved) {
  ERR_clear_error();
  errno = 0;
  if (SSL_write_ex(ssl_, buf, size, &moved) == 1) return TIdTLSResult::kDone;
  return Outcome(0, "TLS の送信");
}

void TIdTLSStream::Shutdown() {
  ERR_clear_error();
  SSL_shutdown(ssl_);
  ERR_clear_error();
}

bool TIdTLSStream::Pending() const { return SSL_has_pending(ssl_) == 1; }

TIdTLSSession TIdTLSStream::Session() const { return TIdTLSSession(SSL_get1_session(ssl_)); }

bool TIdTLSStream::Resumed() const { return SSL_session_reused(ssl_) == 1; }

TIdCertificateInfo TIdTLSStream::Certificate() const {
  X509* cert = SSL_get1_peer_certificate(ssl_);
  TIdCertificateInfo info = DescribeCertificate(cert);
  info.Host = host_;
  if (!cert) {
    info.Problem = "The server sent no certificate.";
  } else {
    info.Problem = problems_;
    const long result = SSL_get_verify_result(ssl_);
    if (info.Problem.empty() && result != X509_V_OK)
      info.Problem = X509_verify_cert_error_string(result);
    X509_free(cert);
  }
  return info;
}

}  // namespace hemlo::ftp
