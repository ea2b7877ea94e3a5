#pragma once
// SnmpV3CredentialEdit: one change of the SNMPv3 credentials file, made the
// same way by korsnmpv3 and by the profiles page. Open takes the file's
// exclusive lock ("<file>.lock", held until the edit is destroyed) and reads
// the file (SnmpV3CredentialFile); the changes are checked by
// SnmpV3Credentials and SnmpV3Profile, each answering "" or why not; Save
// rewrites the file (owner-only, atomically) and What() is the audit text of
// the change ("SNMPv3 profile lab added (user kor, authPriv, SHA-256/AES)").
// A refused change leaves the file as it was. No text here holds a pass
// phrase.
#include <memory>
#include <optional>
#include <string>

#include "agent/core/snmp_v3_credentials.h"

namespace orla {

class FileLock;

class SnmpV3CredentialEdit {
 public:
  explicit SnmpV3CredentialEdit(std::string path);
  ~SnmpV3CredentialEdit();
  SnmpV3CredentialEdit(const SnmpV3CredentialEdit&) = delete;
  SnmpV3CredentialEdit& operator=(const SnmpV3CredentialEdit&) = delete;

  // Locks and reads the file; false with *error ("cannot lock ...", the
  // file's read error).
  bool Open(std::string* error);
  const SnmpV3Credentials& Credentials() const { return credentials_; }

  // The protocol texts of a profile into `*profile`: `level` must be one,
  // `auth` and `priv` may be absent (none). "" or the texts korsnmpv3 gives
  // ("--auth is MD5, SHA, SHA-224, SHA-256, SHA-384 or SHA-512").
  static std::string ParseProtocols(const std::string& level, const std::optional<std::string>& auth,
                                    const std::optional<std::string>& priv, SnmpV3Profile* profile);
  // What a profile is, without its pass phrases: "user kor, authPriv,
  // SHA-256/AES, context tc01".
  static std::string Describe(const SnmpV3Profile& profile);

  // Adds `profile`; one of that name is replaced only with `replace`
  // (otherwise "profile NAME exists").
  std::string PutProfile(const SnmpV3Profile& profile, bool replace);
  std::string RemoveProfile(const std::string& name);
  std::string Assign(const std::string& profile, const std::string& target);
  std::string Unassign(const std::string& target);
  void SetV3Only(bool on);

  // Writes the changed credentials; false with *error.
  bool Save(std::string* error);
  // The audit text of the latest change.
  const std::string& What() const { return what_; }

 private:
  std::string path_;
  std::unique_ptr<FileLock> lock_;
  SnmpV3Credentials credentials_;
  std::string what_;
};

}  // namespace orla
