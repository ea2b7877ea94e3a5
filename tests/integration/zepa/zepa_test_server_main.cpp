// zepa-test-server: runs the web server library with the test extension
// until SIGINT or SIGTERM, for trying it by hand and for the load benchmark.
//   zepa-test-server [OPTION...] DATA-DIRECTORY CONTENT-DIRECTORY AGENT-DIRECTORY
// Options (the library reads no environment; everything comes from here):
//   --port PORT             the port (default 2381)
//   --address ADDRESS       the numeric address (default every IPv4 interface)
//   --max-connections N     connections open at once (default the library's)
//   --max-per-address N     connections from one address (the load benchmark
//                           raises both: all of wrk's come from one address)
//   --event-log FILE        also append the server's event-log entries to FILE
#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/eventlog/event_log_writer.h"
#include "platform/text/port_setting.h"
#include "platform/zepa/zepa.h"
#include "tests/integration/zepa/test_extension.h"

namespace {

struct Options {
  int port = 2381;
  std::string address;
  uint32_t maxConnections = 0;
  uint32_t maxPerAddress = 0;
  std::string eventLog;
  std::vector<std::string> directories;
};

bool Count(const char* text, uint32_t* out) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (text[0] < '0' || text[0] > '9' || *end != '\0' || value > 100000) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}

// False with a message on stderr for an unknown option or a bad value.
bool Parse(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0) {
      options->directories.push_back(arg);
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "%s needs a value\n", arg.c_str());
      return false;
    }
    const char* value = argv[++i];
    bool ok = true;
    if (arg == "--port") {
      ok = orla::PortSetting::Parse(value, &options->port);
    } else if (arg == "--address") {
      options->address = value;
    } else if (arg == "--max-connections") {
      ok = Count(value, &options->maxConnections);
    } else if (arg == "--max-per-address") {
      ok = Count(value, &options->maxPerAddress);
    } else if (arg == "--event-log") {
      options->eventLog = value;
    } else {
      std::fprintf(stderr, "unknown option %s\n", arg.c_str());
      return false;
    }
    if (!ok) {
      std::fprintf(stderr, "%s %s is out of range\n", arg.c_str(), value);
      return false;
    }
  }
  return options->directories.size() == 3;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: %s [--port PORT] [--address ADDRESS] [--max-connections N] [--max-per-address N] "
                 "[--event-log FILE] DATA-DIRECTORY CONTENT-DIRECTORY AGENT-DIRECTORY\n",
                 argv[0]);
    return 1;
  }
  if (!options.eventLog.empty()) orla::EventLogWriter::SetFilePath(options.eventLog);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // the server's threads inherit the mask
  if (!ZEPASetServerLimits(options.maxConnections, options.maxPerAddress)) {
    std::fprintf(stderr, "the connection limits are out of range\n");
    return 1;
  }
  const std::vector<std::string>& dirs = options.directories;
  if (!orla::test::TestExtension::Start(dirs[0], dirs[1], dirs[2], options.address, options.port)) {
    std::fprintf(stderr, "the server did not start; see the event log\n");
    return 2;
  }
  std::printf("serving https://localhost:%d/ (administrator password in %s/administrator-password.txt)\n",
              options.port, dirs[0].c_str());
  std::fflush(stdout);
  int signal = 0;
  sigwait(&signals, &signal);
  orla::test::TestExtension::Stop();
  return 0;
}
