#pragma once
// The one place that turns an SNMPv3 user (SnmpMgrUsm) into net-snmp's
// session settings, for the management sessions and the notifier alike:
// the security name, level, protocol identifiers and the master keys (Ku)
// made from the pass phrases; the library localizes them to the engine the
// session talks to. Deriving Ku hashes a megabyte; it is done once per
// protocol and pass phrase and kept in memory. net-snmp keeps its users
// (one per engine ID and user name, holding the keys localized to that
// engine) in one process-wide list and never replaces a user's keys once
// made; Install puts the wanted keys in place, replacing a user whose keys
// differ (a pass phrase that was changed).

#include <map>
#include <string>

#include "net_snmp.h"

#include "platform/snmpmgr/snmp_mgr_usm.h"

namespace orla {

class UsmKeys {
 public:
  // Fills the USM fields of `settings` (user, level, protocols, Ku of both
  // pass phrases, context) from `usm`; `storage` keeps the texts they point
  // to and must outlive the session's opening. False, with *error naming
  // what is wrong (never a pass phrase), when the user cannot be used: no
  // name, a protocol missing or unknown to the library, a pass phrase
  // shorter than the USM's 8 characters. Needs no library lock: the Ku
  // cache has its own, and derivation runs outside any lock.
  static bool Fill(const SnmpMgrUsm& usm, netsnmp_session* settings, std::string* storage, std::string* error);
  // With the library lock held: makes sure the user list's entry for
  // (`engineId`, `settings`' user) has `settings`' keys, removing an entry
  // made with other keys; the next snmp_sess_open (or
  // usm_create_user_from_session) then makes it afresh.
  static void Install(const std::string& engineId, const netsnmp_session& settings);
  // With the library lock held: removes the user list's entry for
  // (`engineId`, `user`), if any (a session whose pass phrases may have
  // changed is reopened).
  static void Forget(const std::string& engineId, const std::string& user);

 private:
  static std::string Ku(const oid* hash, size_t hashLength, const std::string& passPhrase);
  // Ku of `passPhrase` with `hash` into `key` (`room` octets); `what` names
  // the pass phrase in *error, never its value.
  static bool Key(const oid* hash, size_t hashLength, const std::string& passPhrase, const char* what, u_char* key,
                  size_t room, size_t* length, std::string* error);
};

}  // namespace orla
