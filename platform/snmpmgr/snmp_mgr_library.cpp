#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "snmp_mgr_library.h"

#include <cstring>

namespace orla {

void SnmpMgrLibrary::Initialize() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::lock_guard<std::mutex> hold(Mutex());
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 0);
    // An empty module list: the library loads no MIB files, so it neither
    // searches the disk nor prints "Cannot find module" for each of them.
    // The library keeps its own copy of the line.
    static char mibsLine[] = "mibs :";
    netsnmp_config_remember(mibsLine);
    // The agent reports its own failures; the library's messages would only
    // reach a console nobody reads.
    netsnmp_register_loghandler(NETSNMP_LOGHANDLER_NONE, LOG_EMERG);
    init_snmp("korsnmp");
  });
}

std::mutex& SnmpMgrLibrary::Mutex() {
  // Never destroyed: sessions may be closed by threads still running at exit.
  static std::mutex* mutex = new std::mutex();
  return *mutex;
}

std::string SnmpMgrLibrary::PeerName(const std::string& agent, int port) {
  const std::string devicePort = std::to_string(port);
  return agent.find(':') != std::string::npos ? "udp6:[" + agent + "]:" + devicePort
                                              : "udp:" + agent + ":" + devicePort;
}

}  // namespace orla
