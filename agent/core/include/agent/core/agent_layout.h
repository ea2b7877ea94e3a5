#pragma once
// The agent's folders and files on disk, named in one place. Line 2 of
// KORAgent.cfg, in the program directory, names the agent directory; a
// relative line 2 is taken relative to the program directory, by the agent
// and by korusers alike. Beside the agent directory, with its path followed
// by a suffix, live the web content served under /KOR/ ("ZEPA") and the web
// server's data: certificate, key, users ("ZEPD"). Inside it the agent's own
// files (KORAgent.db, storage.ini, sysinfo.agt, client.ini, snmpv3.conf).
//
// The agent parses KORAgent.cfg whole (every line checked, with its event
// texts) and makes its layout from the line 2 it read; the install command
// and korusers read just line 2 here (Read). The path is used as the line
// gives it, trailing "/" included, so "/opt/kor/KOR/" keeps its data in
// "/opt/kor/KOR/ZEPD" as it always has.
#include <string>

namespace orla {

class AgentLayout {
 public:
  static constexpr char kConfigurationFileName[] = "KORAgent.cfg";
  // The agent directory a program directory is installed with (<prefix>/KOR).
  static constexpr char kInstalledAgentDirectory[] = "KOR";
  // The agent's own files in the agent directory.
  static constexpr char kElementFileName[] = "KORAgent.db";
  static constexpr char kPollingIntervalFileName[] = "storage.ini";
  static constexpr char kSystemInformationFileName[] = "sysinfo.agt";
  static constexpr char kTrapDestinationFileName[] = "client.ini";
  // The agent's SNMP engine ID and boots, and its SNMPv2c/SNMPv3
  // notification targets.
  static constexpr char kEngineFileName[] = "snmpengine.ini";
  static constexpr char kHistoryDirectoryName[] = "history";
  static constexpr char kNotificationTargetFileName[] = "targets.ini";
  static constexpr char kSnmpV3FileName[] = "snmpv3.conf";
  // Every change made through the pages and the tools (AuditTrail).
  static constexpr char kChangeFileName[] = "changes.jsonl";
  static constexpr char kAlarmFileName[] = "alarms.ack";
  // The Alertmanagers the alarms are pushed to (AlertingConfig).
  static constexpr char kAlertingFileName[] = "alerting.conf";
  static constexpr char kMaintenanceFileName[] = "maintenance";
  // The conditions received traps raised (TapeAlert flags), kept across
  // restarts by the element registry.
  static constexpr char kTrapConditionFileName[] = "alarms.traps";
  // `name` in the agent directory `agentDirectory`.
  static std::string FileIn(const std::string& agentDirectory, const char* name) {
    return agentDirectory + "/" + name;
  }

  AgentLayout() = default;
  // `agentDirectoryLine` as line 2 gives it (without its line end). An
  // empty line stays empty; a relative one is joined to `programDirectory`
  // when that is known (not empty).
  AgentLayout(const std::string& programDirectory, const std::string& agentDirectoryLine);

  // Reads line 2 of KORAgent.cfg in `programDirectory` (one trailing CR of
  // a CR LF file goes, as the agent reads it). False, with *error naming
  // the file, when the file or its line 2 cannot be read or the line is
  // empty; *layout is left as it was then.
  static bool Read(const std::string& programDirectory, AgentLayout* layout, std::string* error);
  // The folder of the running program (/proc/self/exe), where a tool
  // installed beside KORAgent finds KORAgent.cfg; "." when unknown.
  static std::string RunningProgramDirectory();

  const std::string& ProgramDirectory() const { return programDirectory_; }
  const std::string& AgentDirectory() const { return agentDirectory_; }
  // Served under /KOR/.
  std::string WebContentDirectory() const { return agentDirectory_ + "ZEPA"; }
  // The web server's data directory.
  std::string WebDataDirectory() const { return agentDirectory_ + "ZEPD"; }
  // The managed elements.
  std::string ElementFile() const { return File(kElementFileName); }
  // The polling interval.
  std::string PollingIntervalFile() const { return File(kPollingIntervalFileName); }
  // What the agent writes about its host at start-up.
  std::string SystemInformationFile() const { return File(kSystemInformationFileName); }
  // The hosts that receive the agent's own traps.
  std::string TrapDestinationFile() const { return File(kTrapDestinationFileName); }
  std::string EngineFile() const { return File(kEngineFileName); }
  std::string NotificationTargetFile() const { return File(kNotificationTargetFileName); }
  // The SNMPv3 profiles, their assignments and the v3-only switch
  // (owner-only: SnmpV3CredentialFile).
  std::string SnmpV3File() const { return File(kSnmpV3FileName); }
  // The audit trail's change file (owner-only, bounded on its own).
  std::string ChangeFile() const { return File(kChangeFileName); }
  // The alarms' acknowledgements (owner-only: AlarmFile).
  std::string AlarmFile() const { return File(kAlarmFileName); }
  std::string AlertingFile() const { return File(kAlertingFileName); }
  // The maintenance windows (owner-only: MaintenanceFile).
  std::string MaintenanceFile() const { return File(kMaintenanceFileName); }
  std::string TrapConditionFile() const { return File(kTrapConditionFileName); }
  // The elements' history files, one per element (ElementHistory).
  std::string HistoryDirectory() const { return File(kHistoryDirectoryName); }

 private:
  std::string File(const char* name) const { return FileIn(agentDirectory_, name); }

  std::string programDirectory_;
  std::string agentDirectory_;
};

}  // namespace orla
