#pragma once
// A simulated SNMP device: snmpsimd serving one recording on 127.0.0.1 with
// the community "public" (the recording's file name), which is also the
// SNMPv3 context name that selects it.
#include <string>
#include <vector>

#include "tests/support/agent_process.h"
#include "tests/support/free_port.h"
#include "tests/support/temp_dir.h"

namespace orla::test {

class SnmpsimDevice {
 public:
  SnmpsimDevice() = default;
  ~SnmpsimDevice() { process_.Stop(); }

  // Starts snmpsimd with the recording (snmprec lines "oid|tag|value") and
  // waits until it answers; false when it does not come up.
  // `arguments` go to snmpsimd as they are (SNMPv3 users: "--v3-user=...");
  // the device also answers on the same port of each of `extraHosts`.
  bool Start(const std::string& recording, const std::vector<std::string>& arguments = {},
             const std::vector<std::string>& extraHosts = {});
  int Port() const { return port_; }
  std::string Log() const { return process_.Output(); }

 private:
  bool TryPort(int port);

  std::vector<std::string> arguments_;
  std::vector<std::string> extraHosts_;
  TempDir dir_;
  AgentProcess process_;
  int port_ = 0;
};

}  // namespace orla::test
