#pragma once
// The USM keys of the process's v3 sessions. Deriving a key from a pass
// phrase (Ku) hashes a megabyte; it is done once per protocol and pass
// phrase and kept in memory. net-snmp keeps its users (one per engine ID
// and user name, holding the keys localized to that engine) in one
// process-wide list and never replaces a user's keys once made; Install
// puts the wanted keys in place, replacing a user whose keys differ (a
// pass phrase that was changed).

#include <map>
#include <string>

#include "net_snmp.h"

#include "platform/snmpmgr/snmp_mgr_usm.h"

namespace orla {

class UsmKeys {
 public:
  // Fills the USM fields of `settings` (user, level, protocols, Ku of both
  // pass phrases, context) from `usm`. False when the library lacks a
  // protocol or a key cannot be derived. Takes the library lock only for
  // the cache; derivation runs outside it.
  static bool Fill(const SnmpMgrUsm& usm, netsnmp_session* settings, std::string* storage);
  // With the library lock held: makes sure the user list's entry for
  // (`engineId`, `settings`' user) has `settings`' keys, removing an entry
  // made with other keys; the next snmp_sess_open (or
  // usm_create_user_from_session) then makes it afresh.
  static void Install(const std::string& engineId, const netsnmp_session& settings);

 private:
  static std::string Ku(const oid* hash, size_t hashLength, const std::string& passPhrase);
};

}  // namespace orla
