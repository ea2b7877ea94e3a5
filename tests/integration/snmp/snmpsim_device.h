#pragma once
// A simulated SNMP device: snmpsimd serving one recording on 127.0.0.1 with
// the community "public" (the recording's file name).
#include <string>

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
  bool Start(const std::string& recording);
  int Port() const { return port_; }
  std::string Log() const { return process_.Output(); }

 private:
  bool TryPort(int port);

  TempDir dir_;
  AgentProcess process_;
  int port_ = 0;
};

}  // namespace orla::test
