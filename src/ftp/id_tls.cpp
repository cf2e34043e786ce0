#include "ftp/id_tls.h"

#include <ctime>
#include <memory>
#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

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

}  // namespace hemlo::ftp
