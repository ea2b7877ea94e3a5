#pragma once
// The server's certificate and private key (PEM files in the data
// directory). When either is missing, a self-signed pair is made: an ECDSA
// P-256 key and a certificate for the host name, its fully qualified name,
// "localhost", 127.0.0.1 and ::1, valid for 825 days. A self-signed
// certificate that has expired or expires within 30 days is replaced the same
// way; a certificate issued by someone else is kept (only a warning is
// logged).
#include <string>
#include <vector>

namespace orla {

class SelfSignedCertificate {
 public:
  enum class Outcome { kKept, kCreated, kRenewed, kFailed };

  static Outcome Ensure(const std::string& certificateFile, const std::string& keyFile, std::string* message);

  static constexpr long kValidDays = 825;

  // Writes a new pair for `dnsNames` (the first also names the subject) and
  // the loopback addresses, valid from an hour ago for `validDays`. The key
  // file is owner-only (0600).
  static bool Make(const std::string& certificateFile, const std::string& keyFile,
                   const std::vector<std::string>& dnsNames, std::string* error, long validDays = kValidDays);

  // The names the certificate carries: the host name, its fully qualified
  // name when it differs, and "localhost".
  static std::vector<std::string> HostNames();
};

}  // namespace orla
