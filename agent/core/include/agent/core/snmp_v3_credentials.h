#pragma once
// The agent's SNMPv3 credentials: the named profiles, which profile a
// device's address uses, and the v3-only switch. A value; the file that
// keeps it is SnmpV3CredentialFile, the copy the running agent reads is
// SnmpV3CredentialStore.
//
// Assignments: the default (every address no other assignment covers), a
// single address (one element) or an address range ADDRESS/BITS. The most
// specific assignment that covers an address wins: the longest prefix, a
// single address being /32, the default /0 beneath them all.
//
// The text form, one record a line, fields "key=value" separated by single
// spaces, values percent-encoded ("%20" for a space; every byte outside
// '!'..'~' and '%' itself), '#' lines and empty lines ignored:
//
//   profile name=lab user=kor level=authPriv auth=SHA-256 auth-pass=... priv=AES priv-pass=... context=tape1
//   assign profile=lab target=default
//   assign profile=lab target=10.1.0.0/16
//   v3-only on
//
// Parse errors name the line and the field, never a value, so a bad file
// leaks no pass phrase into a log.
#include <cstdint>
#include <string>
#include <vector>

#include "agent/core/snmp_v3_profile.h"

namespace orla {

class SnmpV3Credentials {
 public:
  struct Assignment {
    std::string profile;
    bool isDefault = false;
    uint32_t address = 0;  // host byte order, the range's first address
    int bits = 32;         // prefix length; 0 with isDefault

    // "default", "10.1.2.3" or "10.1.0.0/16".
    std::string TargetText() const;
    bool operator==(const Assignment&) const = default;
  };

  SnmpV3Credentials() = default;

  // Reads the text form into `out`. Empty answer on success; otherwise
  // "line N: ..." and `out` is left as it was.
  static std::string Parse(const std::string& text, SnmpV3Credentials* out);
  // The text form; Parse(Serialise()) gives back an equal value.
  std::string Serialise() const;

  const std::vector<SnmpV3Profile>& Profiles() const { return profiles_; }
  const std::vector<Assignment>& Assignments() const { return assignments_; }
  bool V3Only() const { return v3Only_; }
  void SetV3Only(bool on) { v3Only_ = on; }

  // The profile named `name`, or null.
  const SnmpV3Profile* Find(const std::string& name) const;
  // Adds `profile`, or replaces the one of the same name (an edit).
  // Empty answer when done; otherwise why not (profile.Check()).
  std::string Put(const SnmpV3Profile& profile);
  // Removes the profile `name`; refused while an assignment names it.
  std::string Remove(const std::string& name);

  // Parses "default", "ADDRESS" or "ADDRESS/BITS" (a range whose address
  // has host bits set is refused, so "10.1.2.3/16" is not taken for
  // 10.1.0.0/16 by accident). Empty answer when it is one.
  static std::string ParseTarget(const std::string& text, Assignment* target);
  // Assigns `profile` to `target` (replacing what that target had).
  std::string Assign(const std::string& profile, const std::string& target);
  // Removes the assignment of `target`; an error when there is none.
  std::string Unassign(const std::string& target);

  // The profile for a device at `address` (dotted IPv4 text), or null when
  // no assignment covers it (the device is polled with its community) or
  // the text is not an IPv4 address.
  const SnmpV3Profile* ProfileFor(const std::string& address) const;
  const SnmpV3Profile* ProfileFor(uint32_t address) const;

  bool operator==(const SnmpV3Credentials&) const = default;

 private:
  std::vector<SnmpV3Profile> profiles_;
  std::vector<Assignment> assignments_;
  bool v3Only_ = false;
};

}  // namespace orla
