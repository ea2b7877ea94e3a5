#pragma once
// The file that keeps the agent's SNMPv3 credentials (AgentLayout's
// SnmpV3File, "snmpv3.conf" in the agent directory, in SnmpV3Credentials'
// text form). It holds pass phrases, so
// it is written owner-only (0600, atomically: AtomicFile) and a file that
// others may read is refused rather than used.
#include <string>

#include "agent/core/snmp_v3_credentials.h"

namespace orla {

class SnmpV3CredentialFile {
 public:
  // Reads `path` into `*out`. A missing file is no credentials (true, an
  // empty value). False with *error ("<path>: line 3: ...", "<path> is
  // readable by group or others (chmod 600 it)") otherwise; `*out` is left
  // as it was then.
  static bool Load(const std::string& path, SnmpV3Credentials* out, std::string* error);
  // Replaces `path` with `credentials`, mode 0600. False with *error.
  static bool Save(const std::string& path, const SnmpV3Credentials& credentials, std::string* error);
};

}  // namespace orla
