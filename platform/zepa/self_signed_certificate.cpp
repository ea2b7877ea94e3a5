#include "platform/zepa/self_signed_certificate.h"

#include <netdb.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <ctime>
#include <memory>

#include "platform/text/atomic_file.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {
constexpr long kRenewDays = 30;

struct Deleter {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(X509* p) const { X509_free(p); }
  void operator()(BIO* p) const { BIO_free(p); }
  void operator()(BIGNUM* p) const { BN_free(p); }
  void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, Deleter>;

std::string OpenSslError() {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return "unknown OpenSSL error";
  char buf[256];
  ERR_error_string_n(code, buf, sizeof(buf));
  return buf;
}

bool ValidDnsName(const std::string& name) {
  if (name.empty() || name.size() > 253) return false;
  for (unsigned char c : name) {
    if (!(std::isalnum(c) || c == '-' || c == '.')) return false;
  }
  return true;
}

bool AddExtension(X509* cert, X509V3_CTX* ctx, int nid, const std::string& value) {
  Owned<X509_EXTENSION> ext(X509V3_EXT_conf_nid(nullptr, ctx, nid, value.c_str()));
  return ext && X509_add_ext(cert, ext.get(), -1) == 1;
}

std::string BioText(BIO* bio) {
  char* data = nullptr;
  const long n = BIO_get_mem_data(bio, &data);
  return n > 0 ? std::string(data, static_cast<size_t>(n)) : std::string();
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}
}  // namespace

std::vector<std::string> SelfSignedCertificate::HostNames() {
  std::vector<std::string> names;
  char host[256] = {0};
  if (gethostname(host, sizeof(host) - 1) == 0 && ValidDnsName(host)) {
    names.push_back(host);
    struct addrinfo hints;
    std::memset(&hints, 0, sizeof(hints));
    hints.ai_flags = AI_CANONNAME;
    hints.ai_family = AF_UNSPEC;
    struct addrinfo* result = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &result) == 0 && result != nullptr) {
      if (result->ai_canonname != nullptr && ValidDnsName(result->ai_canonname) &&
          std::strcmp(result->ai_canonname, host) != 0 && std::strcmp(result->ai_canonname, "localhost") != 0) {
        names.push_back(result->ai_canonname);
      }
      freeaddrinfo(result);
    }
  }
  if (names.empty() || names[0] != "localhost") names.push_back("localhost");
  return names;
}

bool SelfSignedCertificate::Make(const std::string& certificateFile, const std::string& keyFile,
                                 const std::vector<std::string>& dnsNames, std::string* error, long validDays) {
  ERR_clear_error();
  Owned<EVP_PKEY> key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
  Owned<X509> cert(X509_new());
  if (!key || !cert) {
    *error = "cannot make a key: " + OpenSslError();
    return false;
  }
  unsigned char serialBytes[16];
  if (RAND_bytes(serialBytes, sizeof(serialBytes)) != 1) {
    *error = "no random bytes: " + OpenSslError();
    return false;
  }
  serialBytes[0] &= 0x7f;  // a positive serial number
  serialBytes[0] |= 0x01;
  Owned<BIGNUM> serial(BN_bin2bn(serialBytes, sizeof(serialBytes), nullptr));
  std::string subject = "localhost";
  std::string altNames;
  for (const std::string& name : dnsNames) {
    if (!ValidDnsName(name)) continue;
    if (altNames.empty()) subject = name;
    altNames += (altNames.empty() ? "DNS:" : ",DNS:") + name;
  }
  altNames += altNames.empty() ? "IP:127.0.0.1,IP:::1" : ",IP:127.0.0.1,IP:::1";

  X509_NAME* name = X509_get_subject_name(cert.get());
  bool ok = serial && X509_set_version(cert.get(), 2) == 1 &&
            BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert.get())) != nullptr &&
            X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) != nullptr &&
            X509_gmtime_adj(X509_getm_notAfter(cert.get()), validDays * 24 * 3600) != nullptr &&
            X509_set_pubkey(cert.get(), key.get()) == 1 &&
            X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                       reinterpret_cast<const unsigned char*>(subject.c_str()), -1, -1, 0) == 1 &&
            X509_set_issuer_name(cert.get(), name) == 1;
  if (ok) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert.get(), cert.get(), nullptr, nullptr, 0);
    ok = AddExtension(cert.get(), &ctx, NID_basic_constraints, "critical,CA:FALSE") &&
         AddExtension(cert.get(), &ctx, NID_key_usage, "critical,digitalSignature") &&
         AddExtension(cert.get(), &ctx, NID_ext_key_usage, "serverAuth") &&
         AddExtension(cert.get(), &ctx, NID_subject_alt_name, altNames) &&
         AddExtension(cert.get(), &ctx, NID_subject_key_identifier, "hash") &&
         AddExtension(cert.get(), &ctx, NID_authority_key_identifier, "keyid:always");
  }
  ok = ok && X509_sign(cert.get(), key.get(), EVP_sha256()) > 0;
  if (!ok) {
    *error = "cannot make the certificate: " + OpenSslError();
    return false;
  }
  Owned<BIO> keyBio(BIO_new(BIO_s_mem()));
  Owned<BIO> certBio(BIO_new(BIO_s_mem()));
  if (!keyBio || !certBio ||
      PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
      PEM_write_bio_X509(certBio.get(), cert.get()) != 1) {
    *error = "cannot encode the certificate: " + OpenSslError();
    return false;
  }
  int rc = AtomicFile::Write(keyFile, BioText(keyBio.get()), 0600);
  if (rc != 0) {
    *error = StringPrintf("cannot write %s: %s", keyFile.c_str(), std::strerror(rc));
    return false;
  }
  rc = AtomicFile::Write(certificateFile, BioText(certBio.get()), 0644);
  if (rc != 0) {
    *error = StringPrintf("cannot write %s: %s", certificateFile.c_str(), std::strerror(rc));
    return false;
  }
  return true;
}

SelfSignedCertificate::Outcome SelfSignedCertificate::Ensure(const std::string& certificateFile,
                                                             const std::string& keyFile, std::string* message) {
  if (!FileExists(certificateFile) || !FileExists(keyFile)) {
    if (!Make(certificateFile, keyFile, HostNames(), message)) return Outcome::kFailed;
    *message = StringPrintf("The web server made a self-signed certificate %s with its key %s.",
                            certificateFile.c_str(), keyFile.c_str());
    return Outcome::kCreated;
  }
  Owned<BIO> bio(BIO_new_file(certificateFile.c_str(), "r"));
  Owned<X509> cert(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
  if (!cert) {
    *message = StringPrintf("The web server cannot read its certificate %s: %s", certificateFile.c_str(),
                            OpenSslError().c_str());
    return Outcome::kFailed;
  }
  time_t limit = time(nullptr) + kRenewDays * 24 * 3600;
  const bool expiring = X509_cmp_time(X509_get0_notAfter(cert.get()), &limit) < 0;
  if (!expiring) return Outcome::kKept;
  const bool selfSigned = X509_NAME_cmp(X509_get_subject_name(cert.get()), X509_get_issuer_name(cert.get())) == 0;
  if (!selfSigned) {
    *message = StringPrintf("The web server certificate %s expires within %ld days; replace it.",
                            certificateFile.c_str(), kRenewDays);
    return Outcome::kKept;
  }
  if (!Make(certificateFile, keyFile, HostNames(), message)) return Outcome::kFailed;
  *message = StringPrintf("The web server replaced its expiring self-signed certificate %s.",
                          certificateFile.c_str());
  return Outcome::kRenewed;
}

}  // namespace orla
