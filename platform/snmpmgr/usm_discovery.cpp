#include "usm_discovery.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/snmpmgr/snmp_api.h"
#include "platform/snmpmgr/snmp_mgr_usm.h"
#include "snmp_mgr_library.h"
#include "usm_keys.h"

namespace orla {

std::string UsmDiscovery::EngineId(void* handle, UsmExchange::Waiter* waiter, uint32_t* reason) {
  netsnmp_pdu* probe;
  {
    std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
    // The library clears SNMP_FLAGS_DONT_PROBE once a session is open, and
    // then, sending a request on a session without an engine ID, first
    // runs a probe of its own and waits for it (time-out times retries)
    // inside the send, under this lock: every trap waited as long. Set it
    // again, so that the one probe is ours, waited for outside the lock.
    netsnmp_session* inside = snmp_sess_session(handle);
    if (inside != nullptr) inside->flags |= SNMP_FLAGS_DONT_PROBE;
    probe = snmp_pdu_create(SNMP_MSG_GET);
    if (probe != nullptr) {
      probe->version = SNMP_VERSION_3;
      probe->securityName = strdup("");
      probe->securityNameLen = 0;
      probe->securityLevel = SNMP_SEC_LEVEL_NOAUTH;
      probe->securityModel = SNMP_SEC_MODEL_USM;
    }
  }
  if (probe == nullptr || probe->securityName == nullptr) {
    if (probe != nullptr) snmp_free_pdu(probe);
    *reason = ENOMEM;
    return "";
  }
  UsmExchange::Result result = UsmExchange::Run(handle, probe, waiter);
  if (result.response != nullptr) snmp_free_pdu(result.response);
  if (result.engineId.empty()) *reason = result.status == STAT_SUCCESS ? SNMP_MGMTAPI_USM_OTHER : result.Reason();
  return result.engineId;
}

void UsmDiscovery::Adopt(void* handle, const std::string& engineId) {
  netsnmp_session* inside = snmp_sess_session(handle);
  if (inside == nullptr || engineId.empty()) return;
  if (inside->securityEngineIDLen == 0) {
    inside->securityEngineID = static_cast<u_char*>(netsnmp_memdup(engineId.data(), engineId.size()));
    inside->securityEngineIDLen = inside->securityEngineID != nullptr ? engineId.size() : 0;
  }
  UsmKeys::Install(engineId, *inside);
  // The library marks its copy as having made its user at open, when no
  // engine ID was known yet and nothing was made.
  inside->flags &= ~static_cast<u_long>(SNMP_FLAGS_USER_CREATED);
  usm_create_user_from_session(inside);
}

}  // namespace orla
