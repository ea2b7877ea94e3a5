#pragma once
// The SNMPv3 user (SnmpMgrUsm) and remote engine (SnmpMgrEngine) of the
// management API's SNMPv3 calls (snmp_mgr_v3.h), and the failure codes of
// a v3 request. Data only: the parts of platform/snmpmgr that turn a user
// into the library's settings include this, and the calls include them.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/snmpmgr/snmp_api.h"

namespace orla {

// The failures of a v3 request (SnmpMgrGetLastError after a false
// SnmpMgrRequest or a null SnmpMgrOpenV3), beside SNMP_MGMTAPI_TIMEOUT and
// the system error numbers.
inline constexpr uint32_t SNMP_MGMTAPI_USM_UNKNOWN_USER = 0x10001;    // usmStatsUnknownUserNames
inline constexpr uint32_t SNMP_MGMTAPI_USM_AUTH_FAILED = 0x10002;     // usmStatsWrongDigests
inline constexpr uint32_t SNMP_MGMTAPI_USM_NOT_IN_TIME = 0x10003;     // usmStatsNotInTimeWindows
inline constexpr uint32_t SNMP_MGMTAPI_USM_UNKNOWN_ENGINE = 0x10004;  // usmStatsUnknownEngineIDs
inline constexpr uint32_t SNMP_MGMTAPI_USM_DECRYPTION = 0x10005;      // usmStatsDecryptionErrors
inline constexpr uint32_t SNMP_MGMTAPI_USM_LEVEL = 0x10006;           // usmStatsUnsupportedSecLevels
inline constexpr uint32_t SNMP_MGMTAPI_USM_UNKNOWN_CONTEXT = 0x10007; // snmpUnknownContexts
inline constexpr uint32_t SNMP_MGMTAPI_USM_OTHER = 0x10008;           // another USM failure

// The USM parameters of a session (a management session here, a
// notification target in snmp_notifier.h). The pass phrases are secrets:
// nothing in platform/snmpmgr writes them anywhere, and the keys made from
// them live only inside the library. For AES-192 and AES-256 the plain
// variants extend the key as the Blumenthal draft does, the "C" ones as
// the Reeder draft does.
struct SnmpMgrUsm {
  enum class Level { kNoAuthNoPriv, kAuthNoPriv, kAuthPriv };
  enum class Auth { kNone, kMd5, kSha1, kSha224, kSha256, kSha384, kSha512 };
  enum class Priv { kNone, kDes, kAes128, kAes192, kAes256, kAes192C, kAes256C };

  std::string user;
  Level level = Level::kNoAuthNoPriv;
  Auth auth = Auth::kNone;
  std::string authPassPhrase;
  Priv priv = Priv::kNone;
  std::string privPassPhrase;
  std::string context;
  // The device's engine ID (raw octets) when known; empty: discover it.
  std::string engineId;

  bool operator==(const SnmpMgrUsm&) const = default;
};

// The remote engine of a v3 session, as far as learned.
struct SnmpMgrEngine {
  std::string engineId;  // raw octets; empty when not discovered
  uint32_t boots = 0;
  uint32_t time = 0;     // seconds, as of the latest authenticated message
  bool timeKnown = false;
};

}  // namespace orla
