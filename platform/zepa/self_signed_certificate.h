#pragma once
// The server's certificate and private key (PEM files in the data
// directory). When both are missing, a self-signed pair is made: an ECDSA
// P-256 key and a certificate for the host name, its fully qualified name,
// "localhost", the host's IPv4 addresses (127.0.0.1 and every non-loopback
// one, so that pages linking to the agent by address are trusted too) and
// ::1, valid for 825 days. An existing certificate is never widened: a new
// address is added by deleting both files and starting again. The pairs
// this server makes carry a mark (the organisational unit "KORAgent
// self-signed"); only such a certificate, with its own key beside it, is
// ever written again: when it has expired or expires within 30 days it is
// replaced, and when its key was lost it is made again. Every other
// certificate and key is an operator's and is never written: one that
// expires is only warned about (self-signed or not), and a certificate
// without its key, or a key without its certificate, is an error.
#include <string>
#include <vector>

namespace orla {

class SelfSignedCertificate {
 public:
  enum class Outcome { kKept, kCreated, kRenewed, kFailed };

  static Outcome Ensure(const std::string& certificateFile, const std::string& keyFile, std::string* message);

  static constexpr long kValidDays = 825;

  // Writes a new pair for `dnsNames` (the first also names the subject),
  // the loopback addresses and `ipAddresses` (numeric IPv4 or IPv6 text;
  // anything else is skipped), valid from an hour ago for `validDays`. The
  // key file is owner-only (0600).
  static bool Make(const std::string& certificateFile, const std::string& keyFile,
                   const std::vector<std::string>& dnsNames, const std::vector<std::string>& ipAddresses,
                   std::string* error, long validDays = kValidDays);

  // The names the certificate carries: the host name, its fully qualified
  // name when it differs, and "localhost".
  static std::vector<std::string> HostNames();
  // The addresses it carries besides ::1: 127.0.0.1 and the host's other
  // IPv4 addresses (interfaces that are up or down alike, each once).
  static std::vector<std::string> HostAddresses();
};

}  // namespace orla
