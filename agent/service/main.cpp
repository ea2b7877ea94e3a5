// KORAgent: installs itself as a systemd service ("KORAgent install"),
// removes that service ("KORAgent remove"), or runs as the service, under
// systemd or in the foreground from a console.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "agent/core/agent_settings.h"
#include "agent/core/event_log.h"
#include "agent_core.h"
#include "agent_service.h"
#include "platform/eventlog/repeated_warnings.h"
#include "platform/service/process_exit.h"
#include "platform/service/service_dispatcher.h"
#include "platform/text/string_printf.h"

int main(int argc, char** argv) {
  using namespace orla;
  // Every runtime setting is read and checked here, before anything else.
  const std::string settingsError = AgentSettings::Load();
  // Summaries of repeated warnings (RepeatedWarnings) go where every entry
  // goes, the list of recent events included.
  RepeatedWarnings::SetProcessSink([](const std::string& text) { EventLog::Write(EventLog::kWarning, text); });

  // Only the first character of the first argument counts. Install and
  // remove use none of the ports: a bad one is only pointed out (the
  // installed service would stop on it), and they still end with 0.
  if (argc > 1 && argv[1] != nullptr) {
    const char first = argv[1][0];
    if (first == 'I' || first == 'i' || first == 'R' || first == 'r') {
      if (!settingsError.empty()) std::fprintf(stderr, "%s\n", settingsError.c_str());
      if (first == 'I' || first == 'i') {
        InstallAgentService();
      } else {
        RemoveAgentService();
      }
      return 0;
    }
  }

  // The agent does not run on a guess: a bad value stops it before anything
  // starts. The event-log file, when its own setting was valid, receives the
  // entry too.
  if (!settingsError.empty()) {
    std::fprintf(stderr, "%s\n", settingsError.c_str());
    EventLog::Write(EventLog::kCritical, settingsError);
    return AgentCore::kExitConfiguration;
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
