#include "agent/snmp/snmp_v3_usm.h"

namespace orla {

// The two sets of enumerations list the same protocols in the same order.
static_assert(static_cast<int>(SnmpV3Priv::kAes256C) == static_cast<int>(SnmpMgrUsm::Priv::kAes256C));
static_assert(static_cast<int>(SnmpV3Auth::kSha512) == static_cast<int>(SnmpMgrUsm::Auth::kSha512));
static_assert(static_cast<int>(SnmpV3Level::kAuthPriv) == static_cast<int>(SnmpMgrUsm::Level::kAuthPriv));

SnmpMgrUsm SnmpV3Usm::Of(const SnmpV3Profile& profile) {
  SnmpMgrUsm usm;
  usm.user = profile.user;
  usm.level = static_cast<SnmpMgrUsm::Level>(profile.level);
  usm.auth = static_cast<SnmpMgrUsm::Auth>(profile.auth);
  usm.authPassPhrase = profile.authPassPhrase;
  usm.priv = static_cast<SnmpMgrUsm::Priv>(profile.priv);
  usm.privPassPhrase = profile.privPassPhrase;
  usm.context = profile.context;
  return usm;
}

}  // namespace orla
