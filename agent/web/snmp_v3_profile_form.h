#pragma once
// SnmpV3ProfileForm: what a POST to the SNMPv3 profiles page asks for, made
// as an SnmpV3CredentialEdit (so the checks and texts are korsnmpv3's). The
// button or field present decides:
//
//   save    (button "Add Profile" / "Save Profile") a profile from "name",
//           "user", "level", "auth", "auth_pass", "priv", "priv_pass",
//           "context"; "auth" and "priv" empty mean none. With "replace"
//           (an edit) the profile of that name is replaced, and an empty
//           pass phrase keeps the stored one where the new level still
//           needs it.
//   remove  the profile named by the value
//   assign  (button) "assign_profile" to "assign_target" (default,
//           ADDRESS or ADDRESS/BITS)
//   unassign the assignment whose target is the value
//   v3_only "on" or "off"
//
// Values: the fields of the profile and assignment forms as the page shows
// them again after a refused change, so nothing typed is lost. Pass phrases
// are never among them.
#include <functional>
#include <optional>
#include <string>

#include "agent/core/snmp_v3_credential_edit.h"

namespace orla {

class SnmpV3ProfileForm {
 public:
  using Field = std::function<std::optional<std::string>(const char* name)>;

  // A new profile starts at the strongest level (authPriv, SHA-256, AES);
  // a weaker one is a choice the administrator makes.
  struct Values {
    std::string name, user, level = "authPriv", auth = "SHA-256", priv = "AES", context;
    bool replace = false;  // the form edits the profile `name`
    std::string assignProfile, assignTarget;
  };

  // Makes the change the fields ask for on `edit` (opened). "" when done
  // (edit->What() says what); otherwise why not, and nothing is changed.
  static std::string Apply(const Field& field, SnmpV3CredentialEdit* edit);

  static Values FromFields(const Field& field);
  static Values FromProfile(const SnmpV3Profile& profile);
};

}  // namespace orla
