#include "agent/core/snmp_v3_credential_edit.h"

#include <utility>

#include "agent/core/snmp_v3_credential_file.h"
#include "platform/text/file_lock.h"

namespace orla {

SnmpV3CredentialEdit::SnmpV3CredentialEdit(std::string path) : path_(std::move(path)) {}

SnmpV3CredentialEdit::~SnmpV3CredentialEdit() = default;

bool SnmpV3CredentialEdit::Open(std::string* error) {
  if (!lock_) lock_ = std::make_unique<FileLock>(path_ + ".lock");
  if (!lock_->Held()) {
    *error = lock_->Error();
    lock_.reset();
    return false;
  }
  return SnmpV3CredentialFile::Load(path_, &credentials_, error);
}

std::string SnmpV3CredentialEdit::ParseProtocols(const std::string& level, const std::optional<std::string>& auth,
                                                 const std::optional<std::string>& priv, SnmpV3Profile* profile) {
  if (!SnmpV3Profile::ParseLevel(level, &profile->level)) return "--level is noAuthNoPriv, authNoPriv or authPriv";
  profile->auth = SnmpV3Auth::kNone;
  profile->priv = SnmpV3Priv::kNone;
  if (auth && !SnmpV3Profile::ParseAuth(*auth, &profile->auth)) {
    return "--auth is MD5, SHA, SHA-224, SHA-256, SHA-384 or SHA-512";
  }
  if (priv && !SnmpV3Profile::ParsePriv(*priv, &profile->priv)) {
    return "--priv is DES, AES, AES-192, AES-256, AES-192-C or AES-256-C";
  }
  return "";
}

std::string SnmpV3CredentialEdit::Describe(const SnmpV3Profile& p) {
  std::string text = "user " + p.user + ", " + SnmpV3Profile::LevelText(p.level);
  if (p.auth != SnmpV3Auth::kNone) text += std::string(", ") + SnmpV3Profile::AuthText(p.auth);
  if (p.priv != SnmpV3Priv::kNone) text += std::string("/") + SnmpV3Profile::PrivText(p.priv);
  if (!p.context.empty()) text += ", context " + p.context;
  return text;
}

std::string SnmpV3CredentialEdit::PutProfile(const SnmpV3Profile& profile, bool replace) {
  const bool exists = credentials_.Find(profile.name) != nullptr;
  if (exists && !replace) return "profile " + profile.name + " exists";
  const std::string error = credentials_.Put(profile);
  if (!error.empty()) return error;
  what_ = "SNMPv3 profile " + profile.name + (exists ? " replaced (" : " added (") + Describe(profile) + ")";
  return "";
}

std::string SnmpV3CredentialEdit::RemoveProfile(const std::string& name) {
  const std::string error = credentials_.Remove(name);
  if (error.empty()) what_ = "SNMPv3 profile " + name + " removed";
  return error;
}

std::string SnmpV3CredentialEdit::Assign(const std::string& profile, const std::string& target) {
  const std::string error = credentials_.Assign(profile, target);
  if (error.empty()) what_ = "SNMPv3 profile " + profile + " assigned to " + target;
  return error;
}

std::string SnmpV3CredentialEdit::Unassign(const std::string& target) {
  const std::string error = credentials_.Unassign(target);
  if (error.empty()) what_ = "SNMPv3 assignment of " + target + " removed";
  return error;
}

void SnmpV3CredentialEdit::SetV3Only(bool on) {
  credentials_.SetV3Only(on);
  what_ = std::string("SNMPv3-only polling ") + (on ? "on" : "off");
}

bool SnmpV3CredentialEdit::Save(std::string* error) { return SnmpV3CredentialFile::Save(path_, credentials_, error); }

}  // namespace orla
