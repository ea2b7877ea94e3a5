#pragma once
// Port numbers as the runtime settings write them (KORAGENT_HTTPS_PORT,
// KORAGENT_SNMP_PORT, KORAGENT_TRAP_PORT, KORAGENT_TRAP_LISTEN). Parsing
// only: the agent's settings module (agent/core/agent_settings.h) reads the
// values.

namespace orla {

class PortSetting {
 public:
  // Reads a port from 1 to 65535 written as a plain decimal number. False for
  // anything else (null, empty, not a number, out of range).
  static bool Parse(const char* text, int* port);
  // The port of a transport address: the part after its last ':'
  // ("udp:127.0.0.1:10162"), or the whole text when it has none ("162").
  static bool ParseAddress(const char* text, int* port);
};

}  // namespace orla
