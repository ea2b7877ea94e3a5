#pragma once
// The agent core: brings the agent's working parts into being, in a fixed
// order, on the agent start thread.
//   1  enter the program directory
//   2  read KORAgent.cfg                  (failure: exit code 2)
//   3  read storage.ini (polling interval; 300 when absent or invalid)
//   4  write sysinfo.agt                  (failure: exit code 3)
//   5  start the socket layer             (failure: exit code 4)
//   6  create the trap destination list (reads client.ini)
//   7  create the trap sender
//   8  build the registry file path       (no memory: exit code 6)
//   9  create the element registry and load KORAgent.db
//  10  create the received-trap log, create and start the trap listener
// A pause gate is passed before every step, so a paused service halts its
// start-up there until it continues.
#include <string>

#include "agent/core/agent_layout.h"
#include "agent/core/polling_interval_file.h"
#include "agent/core/root_object.h"
#include "agent_configuration.h"

namespace orla {

class AlarmChangeRelay;
class NotificationGate;
class PauseGate;
class ReceivedTrapLog;
class TrapListener;

class AgentCore : public RootObject {
 public:

  // Process exit codes of a failed start-up.
  static constexpr int kExitConfiguration = 2;
  static constexpr int kExitSystemInformation = 3;
  static constexpr int kExitSockets = 4;
  static constexpr int kExitRegistryPath = 6;

  // The one agent core of the process.
  static AgentCore* Instance();

  AgentCore() = default;
  // Releases nothing: the subsystems live until the process ends.
  ~AgentCore() override = default;
  AgentCore(const AgentCore&) = delete;
  AgentCore& operator=(const AgentCore&) = delete;

  // Runs every start-up step on the calling thread. A failure of steps 1 to
  // 5 or 8 ends the process with its exit code; an OrlaException of steps 6
  // to 10 (already logged) propagates to the caller.
  void Start(const std::string& programPath, PauseGate* gate);

  // Steps 1 to 5. Returns 0, or the exit code the process must end with.
  int StartHost(const std::string& programPath, PauseGate* gate);

  // Deletes the subsystems in the reverse order of their creation (trap
  // listener, received-trap log, element registry, trap sender, trap
  // destination list) and
  // cleans up the socket layer; true when that clean-up succeeds.
  bool Stop();

  // Step 1: makes the folder part of `programPath` (up to its last "/") the
  // current directory. A path without "/", or whose only "/" is the first
  // character, leaves the current directory unchanged; so does a failing
  // chdir.
  void EnterProgramDirectory(const std::string& programPath);
  // Step 2: reads the configuration file, by default "KORAgent.cfg" in the
  // current directory, and from its line 2 the agent's layout.
  bool ReadConfiguration(const std::string& fileName = AgentLayout::kConfigurationFileName);
  // Step 3: reads the polling interval from storage.ini in the agent
  // directory. On any problem the interval is 300 and a WARNING is logged.
  bool ReadPollingInterval();
  // Step 4: writes sysinfo.agt (twelve lines) into the agent directory.
  bool WriteSystemInformation();
  // Step 5: starts the socket layer.
  bool StartSockets();
  // The twelve lines of sysinfo.agt for this host.
  static std::string SystemInformationText(const std::string& label);

  // What the subsystems are given.
  const std::string& ProgramDirectory() const { return programDirectory_; }
  // Where the agent's folders and files are (from step 2 on).
  const AgentLayout& Layout() const { return layout_; }
  const std::string& AgentDirectory() const { return layout_.AgentDirectory(); }
  int PollingInterval() const { return pollingInterval_; }
  const std::string& RegistryFilePath() const { return registryFilePath_; }
  const AgentConfiguration& Configuration() const { return configuration_; }

 private:
  // After step 2: deletes the temporary files that a kill in the middle of a
  // rewrite left beside the agent's files (nothing rewrites them yet).
  void RemoveRewriteLeftovers() const;
  // Steps 6 to 10: each creates one subsystem, stores it where the others
  // reach it and hands it the values it needs from above.
  void StartSubsystems(PauseGate* gate);
  void CreateTrapDestinationList();
  void CreateTrapSender();
  bool PrepareRegistryFilePath();
  void CreateElementRegistry();
  void StartTrapListener();

  AgentConfiguration configuration_;
  AgentLayout layout_;
  std::string programDirectory_;
  std::string registryFilePath_;
  int pollingInterval_ = PollingIntervalFile::kDefault;
  ReceivedTrapLog* receivedTrapLog_ = nullptr;
  TrapListener* trapListener_ = nullptr;
  // Between the registry and the trap sender (maintenance windows).
  NotificationGate* gate_ = nullptr;
  // Between the registry and the gate: pokes the alert pusher on a change.
  AlarmChangeRelay* relay_ = nullptr;
};

}  // namespace orla
