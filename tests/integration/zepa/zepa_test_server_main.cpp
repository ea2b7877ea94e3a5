// zepa-test-server: runs the web server library with the test extension
// until SIGINT or SIGTERM, for trying it by hand and for the load benchmark.
//   zepa-test-server DATA-DIRECTORY CONTENT-DIRECTORY AGENT-DIRECTORY
// The port comes from KORAGENT_HTTPS_PORT (default 2381), the address from
// KORAGENT_HTTPS_ADDRESS; ZEPA_MAX_CONNECTIONS and ZEPA_MAX_PER_ADDRESS set
// the connection limits (the load benchmark raises them: all of wrk's
// connections come from one address).
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/zepa/zepa.h"
#include "tests/integration/zepa/test_extension.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s DATA-DIRECTORY CONTENT-DIRECTORY AGENT-DIRECTORY\n", argv[0]);
    return 1;
  }
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // the server's threads inherit the mask
  const char* portText = std::getenv("KORAGENT_HTTPS_PORT");
  const int port = portText != nullptr ? std::atoi(portText) : 2381;
  const char* total = std::getenv("ZEPA_MAX_CONNECTIONS");
  const char* perAddress = std::getenv("ZEPA_MAX_PER_ADDRESS");
  if (!ZEPASetServerLimits(total != nullptr ? std::atoi(total) : 0, perAddress != nullptr ? std::atoi(perAddress) : 0)) {
    std::fprintf(stderr, "the connection limits are out of range\n");
    return 1;
  }
  if (!orla::test::TestExtension::Start(argv[1], argv[2], argv[3], port)) {
    std::fprintf(stderr, "the server did not start; see the event log\n");
    return 2;
  }
  std::printf("serving https://localhost:%d/ (administrator password in %s/administrator-password.txt)\n", port,
              argv[1]);
  std::fflush(stdout);
  int signal = 0;
  sigwait(&signals, &signal);
  orla::test::TestExtension::Stop();
  return 0;
}
