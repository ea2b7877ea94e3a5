#pragma once
// The agent's runtime settings: the ports and sinks that an installation or a
// test moves through the environment (a systemd unit sets them with
// Environment=). Each program reads and checks them once, with one call of
// Load first thing in main (the agent, korusers, the test programs and the
// benchmarks); every other part of the agent, and every device plug-in
// (which links this library), asks Current() for them. Nothing else reads
// the environment for them, and loading a library reads nothing.
//
//   KORAGENT_HTTPS_PORT     2381      HTTPS port of the web server
//   KORAGENT_HTTPS_ADDRESS  (all)     address the web server listens on
//   KORAGENT_SNMP_PORT      161       UDP port of the managed devices
//   KORAGENT_TRAP_LISTEN    udp:162   where traps are received (UDP only)
//   KORAGENT_TRAP_PORT      162       UDP port the agent's own traps go to
//   KORAGENT_EVENT_LOG      (none)    file that receives every event-log
//                                     entry as one JSON line
//   KORAGENT_EVENT_LOG_MAX_SIZE 16M   bound of that file and its older files
//                                     together (bytes, or with K, M or G)
//   KORAGENT_EVENT_LOG_FILES 4        how many files that is: the live one
//                                     and the older ones (2 to 20)
//   KORAGENT_TRAP_REFRESH_INTERVAL 10 seconds from the end of one status
//                                     pass that traps caused to the start of
//                                     the next (0 to 3600); also how often
//                                     one element's traps may refresh it
//   KORAGENT_PORT_ERROR_LIMITS (below) errors per hour per kind above which
//                                     a port makes its element degraded:
//                                     "crc_errors=60,link_failures=5"; the
//                                     kinds not named keep their defaults,
//                                     0 turns a kind's check off
//   KORAGENT_DRIVE_BUDGET   mounts=100000,hours=50000
//                                     a library drive past either is noted
//                                     in its element's reason (0: no check)
//   KORAGENT_NOTIFY_HOLD_POLLS 2      polls a new status must hold before it
//                                     is notified north (1 to 100; 1: at once)
//   KORAGENT_FLAP_CHANGES   5         more changes than this within
//   KORAGENT_FLAP_MINUTES   30        this many minutes make an element
//                                     flapping (1 to 1000; 1 to 1440)
//   KORAGENT_HISTORY        on        keep each element's counters in a
//                                     round-robin file (on or off)
//   KORAGENT_RRDCACHED      (none)    address of an rrdcached daemon the
//                                     history files are written through
//   KORAGENT_HISTORY_GRACE  86400     seconds a removed element's history
//                                     file is kept before it is deleted
//   KORAGENT_DISCOVERY_RATE 50        SNMP requests per second a discovery
//                                     run sends at most (1 to 10000)
//   KORAGENT_SYSTEMCTL      (none)    program used in place of systemctl by
//                                     the install and remove commands
//   KORAGENT_SYSTEMD_UNIT_DIR (none)  folder of the unit file they write
//                                     (/etc/systemd/system when empty)
//
// NOTIFY_SOCKET is systemd's own protocol, not a setting of the agent: the
// service host's stand-in reads it as libsystemd does.
//
// An unset or empty variable takes its default. A value that is set but not
// valid is an error: Load names the variable and the value, and the agent
// does not start on a guess.
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "platform/eventlog/event_log_writer.h"

namespace orla {

class AgentSettings {
 public:
  static constexpr int kDefaultHttpsPort = 2381;
  static constexpr int kDefaultSnmpPort = 161;
  static constexpr int kDefaultTrapPort = 162;
  static constexpr const char* kDefaultTrapListen = "udp:162";
  static constexpr int kDefaultTrapRefreshInterval = 10;
  static constexpr int kMaxTrapRefreshInterval = 3600;
  static constexpr int kDefaultNotifyHoldPolls = 2;
  static constexpr int kDefaultFlapChanges = 5;
  static constexpr int kDefaultFlapMinutes = 30;

  // KORAGENT_PORT_ERROR_LIMITS: errors per hour per kind, by the kinds'
  // names (DeviceCounterKind), with these defaults.
  static std::map<std::string, uint64_t> DefaultPortErrorLimits();
  static constexpr uint64_t kDefaultDriveMountBudget = 100000;
  static constexpr uint64_t kDefaultDriveHourBudget = 50000;
  static constexpr int64_t kDefaultHistoryGraceSeconds = 86400;
  static constexpr int kDefaultDiscoveryRate = 50;
  static constexpr int kMaxDiscoveryRate = 10000;

  // Looks a variable up: its value, or null when it is not set.
  using Lookup = std::function<const char*(const char* name)>;

  // Every setting at its default.
  AgentSettings() = default;

  int HttpsPort() const { return httpsPort_; }
  // Empty: every interface.
  const std::string& HttpsAddress() const { return httpsAddress_; }
  int SnmpPort() const { return snmpPort_; }
  // A net-snmp transport address of the UDP transport ("udp:162",
  // "udp:127.0.0.1:10162").
  const std::string& TrapListen() const { return trapListen_; }
  // The port of TrapListen: what a device is told to send its traps to;
  // 162 when the address asks for any free port (port 0, tests).
  int TrapListenPort() const;
  int TrapPort() const { return trapPort_; }
  // Seconds.
  int TrapRefreshInterval() const { return trapRefreshInterval_; }
  // Empty: no JSON-lines file.
  const std::string& EventLogFile() const { return eventLogFile_; }
  uint64_t EventLogMaxBytes() const { return eventLogMaxBytes_; }
  int EventLogFiles() const { return eventLogFiles_; }
  // Errors per hour per port error kind; 0 or absent: no check.
  const std::map<std::string, uint64_t>& PortErrorLimits() const { return portErrorLimits_; }
  uint64_t DriveMountBudget() const { return driveMountBudget_; }
  uint64_t DriveHourBudget() const { return driveHourBudget_; }
  // Requests per second.
  int DiscoveryRate() const { return discoveryRate_; }
  // Empty: the real systemctl and unit folder.
  bool HistoryEnabled() const { return historyEnabled_; }
  // Empty: the files are written directly.
  const std::string& RrdcachedAddress() const { return rrdcached_; }
  int64_t HistoryGraceSeconds() const { return historyGraceSeconds_; }
  const std::string& SystemctlProgram() const { return systemctl_; }
  // The notification gate's damping.
  int NotifyHoldPolls() const { return notifyHoldPolls_; }
  int FlapChanges() const { return flapChanges_; }
  int FlapMinutes() const { return flapMinutes_; }
  const std::string& SystemdUnitDirectory() const { return unitDirectory_; }
  // The user id sudo names as its caller (SUDO_UID), for the audit trail;
  // empty when not set. Taken only as SudoCaller checks it, never alone.
  const std::string& SudoUid() const { return sudoUid_; }

  // Setters for start-up code and tests; each checks its value as Load does
  // and answers the same error text (empty when the value was taken).
  std::string SetHttpsPort(int port);
  void SetHttpsAddress(const std::string& address) { httpsAddress_ = address; }
  std::string SetSnmpPort(int port);
  std::string SetTrapListen(const std::string& address);
  std::string SetTrapPort(int port);
  std::string SetTrapRefreshInterval(int seconds);
  std::string SetNotifyHoldPolls(int polls);
  std::string SetFlapChanges(int changes);
  std::string SetFlapMinutes(int minutes);
  void SetEventLogFile(const std::string& path) { eventLogFile_ = path; }
  // A size such as "16M" (K, M, G: powers of 1024), 64K to 1024G.
  std::string SetEventLogMaxSize(const std::string& size);
  std::string SetEventLogFiles(int files);
  // "crc_errors=60,link_resets=0": the kinds named change, the others keep
  // their values.
  std::string SetPortErrorLimits(const std::string& list);
  // "mounts=100000,hours=50000" (either may be left out).
  std::string SetDriveBudget(const std::string& list);
  // "on" or "off".
  std::string SetHistory(const std::string& value);
  void SetRrdcachedAddress(const std::string& address) { rrdcached_ = address; }
  std::string SetHistoryGrace(const std::string& seconds);
  std::string SetDiscoveryRate(int perSecond);
  void SetSystemctlProgram(const std::string& path) { systemctl_ = path; }
  void SetSystemdUnitDirectory(const std::string& path) { unitDirectory_ = path; }
  void SetSudoUid(const std::string& uid) { sudoUid_ = uid; }

  // Reads every variable through `lookup` into `out`. Answers an empty text
  // when all are valid; otherwise the first error, such as
  // "KORAGENT_SNMP_PORT=abc is not a port number from 1 to 65535", and `out`
  // holds the valid values and the defaults of the bad ones.
  static std::string Parse(const Lookup& lookup, AgentSettings* out);

  // Parse over the process environment; on success the result becomes the
  // process's settings. On failure the valid values (the event-log file
  // among them, so the error can be logged) still become current and the
  // error text is answered: the agent does not run with a bad value.
  // Called once, at the start of main.
  static std::string Load();

  // The process's settings: those of the last Load or SetCurrent, or the
  // defaults before either. A copy, safe to keep while another thread sets.
  static AgentSettings Current();
  static void SetCurrent(const AgentSettings& settings);

 private:
  int httpsPort_ = kDefaultHttpsPort;
  std::string httpsAddress_;
  int snmpPort_ = kDefaultSnmpPort;
  std::string trapListen_ = kDefaultTrapListen;
  int trapPort_ = kDefaultTrapPort;
  int trapRefreshInterval_ = kDefaultTrapRefreshInterval;
  int notifyHoldPolls_ = kDefaultNotifyHoldPolls;
  int flapChanges_ = kDefaultFlapChanges;
  int flapMinutes_ = kDefaultFlapMinutes;
  std::string eventLogFile_;
  uint64_t eventLogMaxBytes_ = EventLogWriter::kDefaultMaxBytes;
  int eventLogFiles_ = EventLogWriter::kDefaultFiles;
  std::map<std::string, uint64_t> portErrorLimits_ = DefaultPortErrorLimits();
  uint64_t driveMountBudget_ = kDefaultDriveMountBudget;
  uint64_t driveHourBudget_ = kDefaultDriveHourBudget;
  bool historyEnabled_ = true;
  std::string rrdcached_;
  int64_t historyGraceSeconds_ = kDefaultHistoryGraceSeconds;
  int discoveryRate_ = kDefaultDiscoveryRate;
  std::string systemctl_;
  std::string unitDirectory_;
  std::string sudoUid_;
};

}  // namespace orla
