#include "platform/net/socket_startup.h"

#include <csignal>

namespace orla {

int SocketStartup::Start() {
  // A peer that closes a connection must not kill the process with SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  return 0;
}

bool SocketStartup::Cleanup() { return true; }

}  // namespace orla
