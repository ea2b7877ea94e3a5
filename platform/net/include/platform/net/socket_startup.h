#pragma once
// Socket layer start-up and clean-up. POSIX sockets need no start-up, so both
// always succeed; they keep the agent's start-up and stop steps in one place.

namespace orla {

class SocketStartup {
 public:
  // Returns 0 on success, otherwise a socket error number.
  static int Start();
  // Returns true on success.
  static bool Cleanup();
};

}  // namespace orla
