#include "platform/snmpmgr/snmp_mgr_v3.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <memory>
#include <map>
#include <set>
#include <utility>

#include "net_snmp.h"
#include "snmp_mgr_library.h"
#include "snmp_mgr_session.h"
#include "trap_decoder.h"
#include "usm_discovery.h"
#include "usm_keys.h"

namespace orla {

LPSNMP_MGR_SESSION SnmpMgrOpenV3(const char* agentAddress, const SnmpMgrUsm& usm, int32_t timeoutMs,
                                 int32_t retries, int port) {
  if (agentAddress == nullptr || *agentAddress == '\0' || port < 1 || port > 65535) {
    SnmpMgrSetLastError(SNMP_MGMTAPI_INVALID_SESSION);
    return nullptr;
  }
  SnmpMgrLibrary::Initialize();
  const std::string peer = SnmpMgrLibrary::PeerName(agentAddress, port);

  netsnmp_session settings;
  snmp_sess_init(&settings);
  settings.peername = const_cast<char*>(peer.c_str());
  settings.timeout = static_cast<long>(timeoutMs < 0 ? 0 : timeoutMs) * 1000L;
  settings.retries = retries < 0 ? 0 : retries;
  // The engine ID is discovered here, not by the library inside
  // snmp_sess_open (which would wait for the device under the lock).
  settings.flags |= SNMP_FLAGS_DONT_PROBE;
  std::string texts;
  std::string unusable;
  if (!UsmKeys::Fill(usm, &settings, &texts, &unusable)) {
    SnmpMgrSetLastError(SNMP_MGMTAPI_INVALID_SESSION);
    return nullptr;
  }
  std::string engineId = usm.engineId;
  if (!engineId.empty()) {
    settings.securityEngineID = reinterpret_cast<u_char*>(engineId.data());
    settings.securityEngineIDLen = engineId.size();
  }

  auto* session = new (std::nothrow) SnmpMgrSession();
  if (session == nullptr) {
    SnmpMgrSetLastError(ENOMEM);
    return nullptr;
  }
  session->v3 = true;
  {
    // snmp_sess_open copies what it keeps of `settings`; with the engine ID
    // known it also makes the user-list entry (localizing the keys).
    std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
    UsmKeys::Install(engineId, settings);
    errno = 0;
    session->handle = snmp_sess_open(&settings);
  }
  std::memset(settings.securityAuthKey, 0, sizeof(settings.securityAuthKey));
  std::memset(settings.securityPrivKey, 0, sizeof(settings.securityPrivKey));
  if (session->handle == nullptr) {
    SnmpMgrSetLastError(errno > 0 ? static_cast<uint32_t>(errno) : EHOSTUNREACH);
    delete session;
    return nullptr;
  }
  if (engineId.empty()) {
    uint32_t reason = 0;
    engineId = UsmDiscovery::EngineId(session->handle, &session->waiter, &reason);
    if (engineId.empty()) {
      SnmpMgrClose(session);
      SnmpMgrSetLastError(reason);
      return nullptr;
    }
    std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
    UsmDiscovery::Adopt(session->handle, engineId);
  }
  return session;
}

bool SnmpMgrEngineOf(LPSNMP_MGR_SESSION session, SnmpMgrEngine* engine) {
  if (session == nullptr || !session->v3 || engine == nullptr) return false;
  std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
  netsnmp_session* inside = snmp_sess_session(session->handle);
  *engine = SnmpMgrEngine();
  if (inside == nullptr || inside->securityEngineIDLen == 0) return true;
  engine->engineId.assign(reinterpret_cast<const char*>(inside->securityEngineID), inside->securityEngineIDLen);
  u_int boots = 0, time = 0;
  if (get_enginetime(inside->securityEngineID, static_cast<u_int>(inside->securityEngineIDLen), &boots, &time,
                     TRUE) == SNMPERR_SUCCESS &&
      (boots != 0 || time != 0)) {
    engine->boots = boots;
    engine->time = time;
    engine->timeKnown = true;
  }
  return true;
}

bool SnmpMgrSetLocalUsers(const std::vector<SnmpMgrUsm>& users) {
  SnmpMgrLibrary::Initialize();
  struct Filled {
    netsnmp_session settings;
    std::string texts;
  };
  std::vector<std::unique_ptr<Filled>> filled;
  std::set<std::string> names;
  // The trap receiver takes these users only, each at its lowest level.
  std::map<std::string, int> levels;
  bool ok = true;
  for (const SnmpMgrUsm& usm : users) {
    const int level = static_cast<int>(usm.level);
    const auto [at, added] = levels.emplace(usm.user, level);
    if (!added && level < at->second) at->second = level;
    if (!names.insert(usm.user).second) continue;
    auto f = std::make_unique<Filled>();
    snmp_sess_init(&f->settings);
    std::string error;
    if (!UsmKeys::Fill(usm, &f->settings, &f->texts, &error)) {
      ok = false;
      continue;
    }
    filled.push_back(std::move(f));
  }
  TrapDecoder::SetUserLevels(std::move(levels));
  std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
  // The names made before, and the engine they were made for.
  static auto* made = new std::set<std::string>();
  static auto* madeFor = new std::string();
  u_char id[MAX_ENGINEID_LENGTH];
  const size_t idLength = snmpv3_get_engineID(id, sizeof id);
  const std::string engine(reinterpret_cast<const char*>(id), idLength);
  for (const std::string& name : *made) {
    if (names.count(name) != 0 && engine == *madeFor) continue;
    UsmKeys::Forget(*madeFor, name);
  }
  made->clear();
  *madeFor = engine;
  for (auto& f : filled) {
    netsnmp_session& s = f->settings;
    s.securityEngineID = id;
    s.securityEngineIDLen = idLength;
    UsmKeys::Install(engine, s);
    usm_create_user_from_session(&s);
    std::memset(s.securityAuthKey, 0, sizeof(s.securityAuthKey));
    std::memset(s.securityPrivKey, 0, sizeof(s.securityPrivKey));
    made->insert(std::string(s.securityName, s.securityNameLen));
  }
  return ok;
}

const char* SnmpMgrUsmErrorText(uint32_t code) {
  switch (code) {
    case SNMP_MGMTAPI_USM_UNKNOWN_USER: return "Unknown user";
    case SNMP_MGMTAPI_USM_AUTH_FAILED: return "Authentication failed";
    case SNMP_MGMTAPI_USM_NOT_IN_TIME: return "Not in time window";
    case SNMP_MGMTAPI_USM_UNKNOWN_ENGINE: return "Unknown engine ID";
    case SNMP_MGMTAPI_USM_DECRYPTION: return "Decryption failed";
    case SNMP_MGMTAPI_USM_LEVEL: return "Unsupported security level";
    case SNMP_MGMTAPI_USM_UNKNOWN_CONTEXT: return "Unknown context";
    case SNMP_MGMTAPI_USM_OTHER: return "SNMPv3 security error";
    default: return nullptr;
  }
}

}  // namespace orla
