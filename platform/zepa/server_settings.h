#pragma once
// What one server is started with: its name and data directory from the
// start-up record, the endpoint and connection limits the program chose
// (ZEPASetServerEndpoint, ZEPASetServerLimits; what it left unset keeps the
// defaults below), and the library's own limits. The library never reads the
// environment: the program hands it every setting.
#include <cstddef>
#include <string>

#include "server_table.h"
#include "users/session_table.h"
#include "platform/zepa/zepa.h"

namespace orla {

class Clock;

class ServerSettings {
 public:
  std::string name;
  std::string dataDirectory;
  std::string address = "0.0.0.0";
  int port = 2381;
  size_t maxBodyBytes = 8192;
  // The one path whose requests may carry up to largeBodyBytes; empty: none.
  std::string largeBodyPath;
  size_t largeBodyBytes = 0;
  unsigned maxConnections = 512;  // each has a thread of its own
  unsigned maxConnectionsPerAddress = 64;
  size_t maxClientWorkers = 32;
  // How long a shutdown waits for requests, and then for client requests.
  int shutdownWaitSeconds = 30;
  SessionTable::Settings sessions;
  // The time of sessions, login throttles, the shutdown deadline and the
  // connections' deadlines; the system's when null.
  Clock* clock = nullptr;

  // False with *error when the record or a setting is malformed.
  static bool From(const ServerStartupRecord* record, const ServerTable::NextStart& next, ServerSettings* out,
                   std::string* error);
  // True for a numeric IPv4 or IPv6 address ("0.0.0.0", "::1").
  static bool IsNumericAddress(const std::string& address);
};

}  // namespace orla
