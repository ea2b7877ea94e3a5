#include "platform/snmpmgr/snmp_local_engine.h"

#include <sys/random.h>

#include <mutex>

#include "net_snmp_convert.h"
#include "snmp_mgr_library.h"

namespace orla {

namespace {
constexpr size_t kMinEngineIdLength = 5;
constexpr uint32_t kMaxBoots = 2147483647u;
}  // namespace

bool SnmpMgrSetLocalEngine(const std::vector<uint8_t>& engineId, uint32_t boots, std::string* error) {
  if (engineId.size() < kMinEngineIdLength || engineId.size() > MAX_ENGINEID_LENGTH) {
    *error = "an engine ID has 5 to 32 octets";
    return false;
  }
  if (boots < 1 || boots > kMaxBoots) {
    *error = "engine boots run from 1 to 2147483647";
    return false;
  }
  SnmpMgrLibrary::Initialize();
  std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
  if (set_exact_engineID(engineId.data(), engineId.size()) != SNMPERR_SUCCESS) {
    *error = "the SNMP library refused the engine ID";
    return false;
  }
  // The library's handler of its "engineBoots" line takes the boots of the
  // run before and counts this one.
  std::string before = std::to_string(boots - 1);
  engineBoots_conf("engineBoots", before.data());
  // The time cache answers for the local engine too: SNMPv3 traps are sent
  // with this engine's boots and time.
  set_enginetime(const_cast<u_char*>(engineId.data()), static_cast<u_int>(engineId.size()), boots,
                 static_cast<u_int>(snmpv3_local_snmpEngineTime()), TRUE);
  return true;
}

std::vector<uint8_t> SnmpMgrNewEngineId(uint32_t enterprise) {
  std::vector<uint8_t> id = {static_cast<uint8_t>(0x80 | ((enterprise >> 24) & 0x7F)),
                             static_cast<uint8_t>(enterprise >> 16), static_cast<uint8_t>(enterprise >> 8),
                             static_cast<uint8_t>(enterprise), 5};
  uint8_t random[8];
  if (getrandom(random, sizeof(random), 0) != static_cast<ssize_t>(sizeof(random))) return {};
  id.insert(id.end(), random, random + sizeof(random));
  return id;
}

std::vector<uint8_t> SnmpMgrLocalEngineId() {
  SnmpMgrLibrary::Initialize();
  std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
  std::vector<uint8_t> id(MAX_ENGINEID_LENGTH, 0);
  id.resize(snmpv3_get_engineID(id.data(), id.size()));
  return id;
}

uint32_t SnmpMgrLocalEngineBoots() {
  SnmpMgrLibrary::Initialize();
  std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
  return static_cast<uint32_t>(snmpv3_local_snmpEngineBoots());
}

uint32_t SnmpMgrLocalEngineTime() {
  SnmpMgrLibrary::Initialize();
  std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
  return static_cast<uint32_t>(snmpv3_local_snmpEngineTime());
}

}  // namespace orla
