// KORAgent: installs itself as a systemd service ("KORAgent install"),
// removes that service ("KORAgent remove"), or runs as the service, under
// systemd or in the foreground from a console.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "agent/core/agent_settings.h"
#include "agent/core/event_log.h"
#include "agent/core/service/agent_core.h"
#include "agent/core/service/agent_service.h"
#include "platform/service/process_exit.h"
#include "platform/service/service_dispatcher.h"
#include "platform/text/string_printf.h"

int main(int argc, char** argv) {
  using namespace orla;
  // Every runtime setting is read and checked here, once. A bad value stops
  // the program before it does anything on a guess; the event-log file, when
  // its own setting was valid, already receives the entry.
  if (const std::string error = AgentSettings::Load(); !error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    EventLog::Write(EventLog::kCritical, error);
    return AgentCore::kExitConfiguration;
  }

  // Only the first character of the first argument counts.
  if (argc > 1 && argv[1] != nullptr) {
    const char first = argv[1][0];
    if (first == 'I' || first == 'i') {
      InstallAgentService();
      return 0;
    }
    if (first == 'R' || first == 'r') {
      RemoveAgentService();
      return 0;
    }
  }

  try {
    SetProgramPath(argc > 0 && argv[0] != nullptr ? argv[0] : "");
  } catch (const std::bad_alloc&) {
    EventLog::Write(EventLog::kCritical, "Memory allocation failure.");
    return 1;
  }

  EventLog::Write(EventLog::kInfo,
                  StringPrintf("Startup of Tarvik Tape Controller Management Daemon, revision %s.", kAgentRevision));

  const int err = ServiceDispatcher::StartServiceCtrlDispatcher(kServiceName, AgentServiceMain);
  if (err != 0) {
    char buffer[256];
    EventLog::Write(EventLog::kCritical,
                    std::string("StartServiceCtrlDispatcher() failed; ") + strerror_r(err, buffer, sizeof buffer));
    ProcessExit::Now(err);
  }
  // The service has stopped. Its threads may still run: end the process
  // without running static destructors.
  ProcessExit::Now(0);
}
