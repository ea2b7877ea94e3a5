#pragma once
// Port numbers taken from the runtime settings (KORAGENT_HTTPS_PORT,
// KORAGENT_SNMP_PORT, KORAGENT_TRAP_PORT, KORAGENT_TRAP_LISTEN).

namespace orla {

class PortSetting {
 public:
  // Reads a port from 1 to 65535 written as a plain decimal number. False for
  // anything else (null, empty, not a number, out of range).
  static bool Parse(const char* text, int* port);
  // The port of a transport address: the part after its last ':'
  // ("udp:127.0.0.1:10162"), or the whole text when it has none ("162").
  static bool ParseAddress(const char* text, int* port);
  // The port held by environment variable `variable`, or `fallback` when it
  // is unset or holds no port number.
  static int FromEnvironment(const char* variable, int fallback);
};

}  // namespace orla
