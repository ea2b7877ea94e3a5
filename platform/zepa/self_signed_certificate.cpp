#include "self_signed_certificate.h"

#include <arpa/inet.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <chrono>
#include <ctime>
#include <algorithm>

#include "platform/sync/clock.h"
#include "platform/text/atomic_file.h"
#include "platform/text/string_printf.h"
#include "whole_file.h"

// The only translation unit that makes keys and certificates; it uses
// GnuTLS, the TLS library the server and the client requests run on.
namespace orla {

namespace {
constexpr long kRenewDays = 30;

// Owners of the GnuTLS objects, freed however a function ends.
struct Key {
  gnutls_x509_privkey_t key = nullptr;
  ~Key() {
    if (key != nullptr) gnutls_x509_privkey_deinit(key);
  }
};
struct Cert {
  gnutls_x509_crt_t crt = nullptr;
  ~Cert() {
    if (crt != nullptr) gnutls_x509_crt_deinit(crt);
  }
};
struct Datum {
  gnutls_datum_t d{nullptr, 0};
  ~Datum() {
    if (d.data != nullptr) gnutls_free(d.data);
  }
  std::string Text() const { return std::string(reinterpret_cast<const char*>(d.data), d.size); }
};

std::string TlsError(int rc) { return gnutls_strerror(rc); }

// The mark of a pair this server made: the certificate's organisational
// unit. Only such a pair is ever replaced.
constexpr const char* kOwnMark = "KORAgent self-signed";

bool HasOwnMark(gnutls_x509_crt_t crt) {
  char unit[64] = {0};
  size_t size = sizeof(unit) - 1;
  return gnutls_x509_crt_get_dn_by_oid(crt, GNUTLS_OID_X520_ORGANIZATIONAL_UNIT_NAME, 0, 0, unit, &size) >= 0 &&
         std::string(unit, size) == kOwnMark;
}

// Whether the key file holds the key of `crt`.
bool KeyMatches(gnutls_x509_crt_t crt, const std::string& keyFile) {
  std::string pem;
  Key key;
  if (!WholeFile::Read(keyFile, &pem) || gnutls_x509_privkey_init(&key.key) < 0) return false;
  const gnutls_datum_t datum{reinterpret_cast<unsigned char*>(pem.data()), static_cast<unsigned>(pem.size())};
  if (gnutls_x509_privkey_import(key.key, &datum, GNUTLS_X509_FMT_PEM) < 0) return false;
  unsigned char a[64], b[64];
  size_t aSize = sizeof(a), bSize = sizeof(b);
  return gnutls_x509_privkey_get_key_id(key.key, 0, a, &aSize) >= 0 && gnutls_x509_crt_get_key_id(crt, 0, b, &bSize) >= 0 &&
         aSize == bSize && std::memcmp(a, b, aSize) == 0;
}

bool ValidDnsName(const std::string& name) {
  if (name.empty() || name.size() > 253) return false;
  for (unsigned char c : name) {
    if (!(std::isalnum(c) || c == '-' || c == '.')) return false;
  }
  return true;
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

std::vector<std::string> SelfSignedCertificate::HostAddresses() {
  std::vector<std::string> addresses{"127.0.0.1"};
  struct ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return addresses;
  for (const struct ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
    if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
    const auto* in = reinterpret_cast<const struct sockaddr_in*>(it->ifa_addr);
    // 127.0.0.0/8 is loopback; 127.0.0.1 is already first.
    if ((ntohl(in->sin_addr.s_addr) >> 24) == 127) continue;
    char text[INET_ADDRSTRLEN] = {0};
    if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text)) == nullptr) continue;
    if (std::find(addresses.begin(), addresses.end(), text) == addresses.end()) addresses.push_back(text);
  }
  ::freeifaddrs(list);
  return addresses;
}

bool SelfSignedCertificate::Make(const std::string& certificateFile, const std::string& keyFile,
                                 const std::vector<std::string>& dnsNames,
                                 const std::vector<std::string>& ipAddresses, std::string* error, long validDays) {
  Key key;
  Cert cert;
  int rc = gnutls_x509_privkey_init(&key.key);
  if (rc >= 0) {
    rc = gnutls_x509_privkey_generate(key.key, GNUTLS_PK_ECDSA, GNUTLS_CURVE_TO_BITS(GNUTLS_ECC_CURVE_SECP256R1), 0);
  }
  if (rc < 0) {
    *error = "cannot make a key: " + TlsError(rc);
    return false;
  }
  unsigned char serial[16];
  if (::getrandom(serial, sizeof(serial), 0) != static_cast<ssize_t>(sizeof(serial))) {
    *error = "no random bytes for the serial number";
    return false;
  }
  serial[0] &= 0x7f;  // a positive serial number
  serial[0] |= 0x01;
  std::string subject = "localhost";
  std::vector<std::string> names;
  for (const std::string& name : dnsNames) {
    if (!ValidDnsName(name)) continue;
    if (names.empty()) subject = name;
    names.push_back(name);
  }
  // The loopback addresses always, then the given ones, each once; text
  // that is no numeric address is skipped.
  std::vector<std::string> ips;
  std::vector<std::string> wanted{"127.0.0.1", "::1"};
  wanted.insert(wanted.end(), ipAddresses.begin(), ipAddresses.end());
  for (const std::string& address : wanted) {
    unsigned char bytes[16];
    size_t size = 0;
    if (inet_pton(AF_INET, address.c_str(), bytes) == 1) {
      size = 4;
    } else if (inet_pton(AF_INET6, address.c_str(), bytes) == 1) {
      size = 16;
    } else {
      continue;
    }
    std::string raw(reinterpret_cast<const char*>(bytes), size);
    if (std::find(ips.begin(), ips.end(), raw) == ips.end()) ips.push_back(raw);
  }
  const time_t now = std::chrono::system_clock::to_time_t(Clock::System()->WallNow());
  rc = gnutls_x509_crt_init(&cert.crt);
  auto step = [&rc](int result) {
    if (rc >= 0) rc = result;
  };
  step(gnutls_x509_crt_set_version(cert.crt, 3));
  step(gnutls_x509_crt_set_serial(cert.crt, serial, sizeof(serial)));
  step(gnutls_x509_crt_set_activation_time(cert.crt, now - 3600));
  step(gnutls_x509_crt_set_expiration_time(cert.crt, now + validDays * 24 * 3600));
  step(gnutls_x509_crt_set_dn_by_oid(cert.crt, GNUTLS_OID_X520_COMMON_NAME, 0, subject.data(),
                                     static_cast<unsigned>(subject.size())));
  step(gnutls_x509_crt_set_dn_by_oid(cert.crt, GNUTLS_OID_X520_ORGANIZATIONAL_UNIT_NAME, 0, kOwnMark,
                                     static_cast<unsigned>(std::strlen(kOwnMark))));
  step(gnutls_x509_crt_set_key(cert.crt, key.key));
  step(gnutls_x509_crt_set_basic_constraints(cert.crt, 0, -1));
  step(gnutls_x509_crt_set_key_usage(cert.crt, GNUTLS_KEY_DIGITAL_SIGNATURE));
  step(gnutls_x509_crt_set_key_purpose_oid(cert.crt, GNUTLS_KP_TLS_WWW_SERVER, 0));
  for (const std::string& name : names) {
    step(gnutls_x509_crt_set_subject_alt_name(cert.crt, GNUTLS_SAN_DNSNAME, name.data(),
                                              static_cast<unsigned>(name.size()), GNUTLS_FSAN_APPEND));
  }
  for (const std::string& ip : ips) {
    step(gnutls_x509_crt_set_subject_alt_name(cert.crt, GNUTLS_SAN_IPADDRESS, ip.data(),
                                              static_cast<unsigned>(ip.size()), GNUTLS_FSAN_APPEND));
  }
  unsigned char keyId[64];
  size_t keyIdSize = sizeof(keyId);
  step(gnutls_x509_crt_get_key_id(cert.crt, GNUTLS_KEYID_USE_SHA1, keyId, &keyIdSize));
  step(gnutls_x509_crt_set_subject_key_id(cert.crt, keyId, keyIdSize));
  step(gnutls_x509_crt_set_authority_key_id(cert.crt, keyId, keyIdSize));
  step(gnutls_x509_crt_sign2(cert.crt, cert.crt, key.key, GNUTLS_DIG_SHA256, 0));
  if (rc < 0) {
    *error = "cannot make the certificate: " + TlsError(rc);
    return false;
  }
  Datum keyPem, certPem;
  rc = gnutls_x509_privkey_export2_pkcs8(key.key, GNUTLS_X509_FMT_PEM, nullptr, GNUTLS_PKCS_PLAIN, &keyPem.d);
  if (rc >= 0) rc = gnutls_x509_crt_export2(cert.crt, GNUTLS_X509_FMT_PEM, &certPem.d);
  if (rc < 0) {
    *error = "cannot encode the certificate: " + TlsError(rc);
    return false;
  }
  // The certificate first: a crash between the two leaves a marked
  // certificate without its key, which the next start makes again, and
  // never a lone key that might be an operator's.
  int wrc = AtomicFile::Write(certificateFile, certPem.Text(), 0644);
  if (wrc != 0) {
    *error = StringPrintf("cannot write %s: %s", certificateFile.c_str(), std::strerror(wrc));
    return false;
  }
  wrc = AtomicFile::Write(keyFile, keyPem.Text(), 0600);
  if (wrc != 0) {
    *error = StringPrintf("cannot write %s: %s", keyFile.c_str(), std::strerror(wrc));
    return false;
  }
  return true;
}

SelfSignedCertificate::Outcome SelfSignedCertificate::Ensure(const std::string& certificateFile,
                                                             const std::string& keyFile, std::string* message) {
  const bool haveCertificate = FileExists(certificateFile);
  if (!haveCertificate && !FileExists(keyFile)) {
    if (!Make(certificateFile, keyFile, HostNames(), HostAddresses(), message)) return Outcome::kFailed;
    *message = StringPrintf("The web server made a self-signed certificate %s with its key %s.",
                            certificateFile.c_str(), keyFile.c_str());
    return Outcome::kCreated;
  }
  if (!haveCertificate) {
    *message = StringPrintf("The web server has a key %s but no certificate %s; it does not replace a key it did "
                            "not make: add the certificate, or remove the key to have a self-signed pair made.",
                            keyFile.c_str(), certificateFile.c_str());
    return Outcome::kFailed;
  }
  std::string pem;
  Cert cert;
  int rc = GNUTLS_E_FILE_ERROR;
  if (WholeFile::Read(certificateFile, &pem) && gnutls_x509_crt_init(&cert.crt) >= 0) {
    // The first certificate of the file: the server's own (a chain may
    // follow it).
    const gnutls_datum_t datum{reinterpret_cast<unsigned char*>(pem.data()), static_cast<unsigned>(pem.size())};
    rc = gnutls_x509_crt_import(cert.crt, &datum, GNUTLS_X509_FMT_PEM);
  }
  if (rc < 0) {
    *message = StringPrintf("The web server cannot read its certificate %s: %s", certificateFile.c_str(),
                            TlsError(rc).c_str());
    return Outcome::kFailed;
  }
  // Ours: the mark this server puts on what it makes, with its key beside
  // it (or the key lost to a crash while the pair was written). Anything
  // else is an operator's, whose files are never written.
  const bool haveKey = FileExists(keyFile);
  const bool own = HasOwnMark(cert.crt) && (!haveKey || KeyMatches(cert.crt, keyFile));
  if (!haveKey) {
    if (!own) {
      *message = StringPrintf("The web server has a certificate %s but no key %s; it does not replace a certificate "
                              "it did not make: add the key, or remove the certificate to have a self-signed pair "
                              "made.",
                              certificateFile.c_str(), keyFile.c_str());
      return Outcome::kFailed;
    }
    if (!Make(certificateFile, keyFile, HostNames(), HostAddresses(), message)) return Outcome::kFailed;
    *message = StringPrintf("The web server made a self-signed certificate %s with its key %s.",
                            certificateFile.c_str(), keyFile.c_str());
    return Outcome::kCreated;
  }
  const time_t limit = std::chrono::system_clock::to_time_t(Clock::System()->WallNow()) + kRenewDays * 24 * 3600;
  const time_t ends = gnutls_x509_crt_get_expiration_time(cert.crt);
  const bool expiring = ends != static_cast<time_t>(-1) && ends < limit;
  if (!expiring) return Outcome::kKept;
  if (!own) {
    *message = StringPrintf("The web server certificate %s expires within %ld days; replace it (the server renews "
                            "only the self-signed certificates it made itself).",
                            certificateFile.c_str(), kRenewDays);
    return Outcome::kKept;
  }
  if (!Make(certificateFile, keyFile, HostNames(), HostAddresses(), message)) return Outcome::kFailed;
  *message = StringPrintf("The web server replaced its expiring self-signed certificate %s.",
                          certificateFile.c_str());
  return Outcome::kRenewed;
}

}  // namespace orla
