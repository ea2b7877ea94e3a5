#pragma once
// The service host of KORAgent: the console install and remove commands, the
// service entry routine, the control handler and the status reports, and the
// thread that starts the agent core.
//
// Service states: start pending (check points 1, 2, 3) -> running ->
// (pause pending -> paused -> continue pending -> running)* -> stop pending
// -> stopped.
#include <cstdint>
#include <string>

#include "agent/core/agent_revision.h"

namespace orla {

// Fixed names of the service.
inline constexpr const char kServiceName[] = "KORAgent";
inline constexpr const char kServiceDisplayName[] = "ORLA KOR Agent";

// Writes and enables the systemd unit of the running program; prints what
// happened on standard output.
void InstallAgentService();
// Stops (waiting while it stops), disables and deletes the unit; prints what
// happened on standard output.
void RemoveAgentService();

// The service entry routine run by the dispatcher on its own thread: reports
// start pending, creates the stop event, starts AgentStartThread, reports
// running, waits for the stop event and reports stopped.
void AgentServiceMain(int argc, char** argv);
// Stop, pause and continue controls; everything else is ignored.
void AgentControlHandler(uint32_t control);
// Sends one status report. On failure it signals the service to stop and
// returns false (errno holds the reason).
bool SetAgentStatus(uint32_t state, uint32_t win32ExitCode, uint32_t checkPoint, uint32_t waitHint);
// Clears the started flag and signals the stop event.
void SignalServiceStop();
// Starts the agent core, then the web interface, then ends.
void AgentStartThread();
// Starts the web server and registers the agent's pages. A server that
// cannot start is logged as CRITICAL and the agent runs on without pages.
void StartWebInterface();
// Starts the thread that pushes the alarms to the Alertmanagers of
// alerting.conf (AlertPusher) and installs it as the maintenance code's
// MaintenanceSilences.
void StartAlerting();

// "%s (0x%x)": the system's text for `error` and the number in lower-case
// hexadecimal, e.g. "No such file or directory (0x2)".
std::string SystemErrorText(int error);

// The program path (the first command-line word), kept for the agent core.
void SetProgramPath(const std::string& path);
const std::string& ProgramPath();

}  // namespace orla
