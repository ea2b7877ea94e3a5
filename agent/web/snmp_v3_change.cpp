#include "snmp_v3_change.h"

#include "agent/core/snmp_v3_credential_store.h"

namespace orla {

SnmpV3Change::Result SnmpV3Change::Make(const Change& change) {
  Result result;
  const std::string& path = SnmpV3CredentialStore::Instance().Path();
  if (path.empty()) {
    result.outcome = Outcome::kNotOpened;
    result.error = kNotOpen;
    return result;
  }
  SnmpV3CredentialEdit edit(path);
  if (!edit.Open(&result.error)) {
    result.outcome = Outcome::kNotOpened;
    return result;
  }
  result.before = edit.Credentials();
  result.error = change(&edit);
  if (!result.error.empty()) {
    result.outcome = Outcome::kRefused;
    return result;
  }
  if (!edit.Save(&result.error)) {
    result.outcome = Outcome::kNotSaved;
    result.error = "The change was not saved: " + result.error;
    return result;
  }
  result.what = edit.What();
  result.after = edit.Credentials();
  return result;
}

}  // namespace orla
