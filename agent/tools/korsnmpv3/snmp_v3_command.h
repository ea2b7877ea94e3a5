#pragma once
// The commands of korsnmpv3 on an agent directory's SNMPv3 credentials
// (SnmpV3CredentialFile):
//
//   profile add NAME --user USER --level noAuthNoPriv|authNoPriv|authPriv
//       [--auth PROTO --auth-pass-file FILE] [--priv PROTO --priv-pass-file FILE]
//       [--context NAME] [--replace]
//   profile list          profile remove NAME
//   assign NAME default|ADDRESS|ADDRESS/BITS      unassign default|ADDRESS|ADDRESS/BITS
//   v3-only on|off
//
// A pass phrase comes from the first line of its file, or from standard
// input for "-" (the authentication pass phrase's line first when both are
// "-"); never from the command line, and nothing prints one. Every change
// is an SnmpV3CredentialEdit (the same checks, file lock, atomic owner-only
// rewrite and audit text as the profiles page) and is recorded in the audit
// trail.
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace orla {

class SnmpV3Command {
 public:
  // Exit codes: 0 done, 1 refused or failed (the reason on `err`), 2 usage.
  static int Run(const std::vector<std::string>& args, const std::string& agentDirectory, std::istream& in,
                 std::ostream& out, std::ostream& err, const std::function<void(const std::string&)>& audit);
  static void Usage(std::ostream& out);
};

}  // namespace orla
