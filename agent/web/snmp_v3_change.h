#pragma once
// SnmpV3Change: one change of the running agent's SNMPv3 credentials file
// (snmpv3.conf), as the profiles page, the v3-only switch and the API's
// SNMPv3 resources make it: the file's lock is taken and the file read
// (SnmpV3CredentialEdit), the change made with korsnmpv3's checks and
// texts, and the file rewritten (owner-only, atomically). A refused change
// writes nothing. The audit text (`what`) holds no pass phrase.
#include <functional>
#include <string>

#include "agent/core/snmp_v3_credential_edit.h"
#include "agent/core/snmp_v3_credentials.h"

namespace orla {

class SnmpV3Change {
 public:
  // Makes the change on the opened edit: "" when done, otherwise why not.
  using Change = std::function<std::string(SnmpV3CredentialEdit* edit)>;

  enum class Outcome {
    kDone,
    kNotOpened,  // no file, or it could not be locked or read
    kRefused,    // the change answered why not
    kNotSaved,   // the file could not be rewritten
  };
  struct Result {
    Outcome outcome = Outcome::kDone;
    std::string error;
    std::string what;  // the audit text when done
    SnmpV3Credentials before, after;
  };

  static Result Make(const Change& change);

  static constexpr const char* kNotOpen = "The SNMPv3 credentials file is not open.";
};

}  // namespace orla
