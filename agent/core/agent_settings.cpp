#include "agent/core/agent_settings.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <algorithm>
#include <mutex>

#include "platform/text/ascii_case.h"
#include "platform/eventlog/event_log_writer.h"
#include "platform/text/port_setting.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

// Function statics: a static object may ask before main runs (and gets the
// defaults).
std::mutex& CurrentMutex() {
  static std::mutex mutex;
  return mutex;
}

AgentSettings& CurrentSettings() {
  static AgentSettings settings;
  return settings;
}

// A set variable with an empty value counts as unset, as with systemd's
// Environment=NAME=.
const char* Value(const AgentSettings::Lookup& lookup, const char* name) {
  const char* value = lookup(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

std::string RefreshIntervalError(const std::string& value) {
  return StringPrintf("KORAGENT_TRAP_REFRESH_INTERVAL=%s is not a number of seconds from 0 to %d", value.c_str(),
                      AgentSettings::kMaxTrapRefreshInterval);
}

// KORAGENT_NOTIFY_HOLD_POLLS and the flap settings: whole numbers in a range.
struct CountSetting {
  const char* name;
  int low;
  int high;
  const char* unit;
};
constexpr CountSetting kHoldPolls{"KORAGENT_NOTIFY_HOLD_POLLS", 1, 100, "polls"};
constexpr CountSetting kFlapChanges{"KORAGENT_FLAP_CHANGES", 1, 1000, "changes"};
constexpr CountSetting kFlapMinutes{"KORAGENT_FLAP_MINUTES", 1, 1440, "minutes"};

std::string CountError(const CountSetting& setting, const std::string& value) {
  return StringPrintf("%s=%s is not a number of %s from %d to %d", setting.name, value.c_str(), setting.unit,
                      setting.low, setting.high);
}

std::string SetCount(const CountSetting& setting, int value, int* out) {
  if (value < setting.low || value > setting.high) return CountError(setting, std::to_string(value));
  *out = value;
  return "";
}

std::string PortError(const char* name, const std::string& value) {
  return StringPrintf("%s=%s is not a port number from 1 to 65535", name, value.c_str());
}

std::string DiscoveryRateError(const std::string& value) {
  return StringPrintf("KORAGENT_DISCOVERY_RATE=%s is not a number of requests per second from 1 to %d", value.c_str(),
                      AgentSettings::kMaxDiscoveryRate);
}

std::string FilesError(const std::string& value) {
  return StringPrintf("KORAGENT_EVENT_LOG_FILES=%s is not a number of files from 2 to 20", value.c_str());
}

// The port after the last ':' of a transport address, 0 to 65535 (0 asks
// for any free port); -1 when there is none.
int ListenPort(const std::string& address) {
  const size_t colon = address.rfind(':');
  const std::string text = colon == std::string::npos ? address : address.substr(colon + 1);
  if (text.empty() || text.size() > 5) return -1;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
  }
  const int port = std::atoi(text.c_str());
  return port <= 65535 ? port : -1;
}

// "name=N,name=N" into `out` (names from `known` only); an error text
// naming `variable` when the list is not such.
std::string ParseCounts(const char* variable, const std::string& list, std::map<std::string, uint64_t>* out) {
  std::map<std::string, uint64_t> values = *out;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = std::min(list.find(',', start), list.size());
    const std::string item = list.substr(start, comma - start);
    const size_t equals = item.find('=');
    const std::string name = equals == std::string::npos ? item : item.substr(0, equals);
    const std::string number = equals == std::string::npos ? std::string() : item.substr(equals + 1);
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(number.c_str(), &end, 10);
    if (values.count(name) == 0 || number.empty() || !std::isdigit(static_cast<unsigned char>(number[0])) ||
        *end != '\0' || errno != 0) {
      return StringPrintf("%s=%s is not a list of NAME=NUMBER (NAME one of %s)", variable, list.c_str(),
                          [&] {
                            std::string names;
                            for (const auto& [known, unused] : *out) names += (names.empty() ? "" : ", ") + known;
                            return names;
                          }()
                              .c_str());
    }
    values[name] = value;
    start = comma + 1;
  }
  *out = std::move(values);
  return std::string();
}

}  // namespace

std::map<std::string, uint64_t> AgentSettings::DefaultPortErrorLimits() {
  return {{"crc_errors", 60},     {"link_failures", 5},           {"loss_of_sync", 10},
          {"loss_of_signal", 5},  {"invalid_tx_words", 600},      {"primitive_sequence_errors", 10},
          {"class3_discards", 100}, {"link_resets", 10}};
}

std::string AgentSettings::SetPortErrorLimits(const std::string& list) {
  return ParseCounts("KORAGENT_PORT_ERROR_LIMITS", list, &portErrorLimits_);
}

std::string AgentSettings::SetDiscoveryRate(int perSecond) {
  if (perSecond < 1 || perSecond > kMaxDiscoveryRate) return DiscoveryRateError(std::to_string(perSecond));
  discoveryRate_ = perSecond;
  return std::string();
}

std::string AgentSettings::SetDriveBudget(const std::string& list) {
  std::map<std::string, uint64_t> budget = {{"mounts", driveMountBudget_}, {"hours", driveHourBudget_}};
  const std::string error = ParseCounts("KORAGENT_DRIVE_BUDGET", list, &budget);
  if (!error.empty()) return error;
  driveMountBudget_ = budget["mounts"];
  driveHourBudget_ = budget["hours"];
  return error;
}

int AgentSettings::TrapListenPort() const {
  const int port = ListenPort(trapListen_);
  return port > 0 ? port : kDefaultTrapPort;
}

std::string AgentSettings::SetHttpsPort(int port) {
  if (port < 1 || port > 65535) return PortError("KORAGENT_HTTPS_PORT", std::to_string(port));
  httpsPort_ = port;
  return "";
}

std::string AgentSettings::SetSnmpPort(int port) {
  if (port < 1 || port > 65535) return PortError("KORAGENT_SNMP_PORT", std::to_string(port));
  snmpPort_ = port;
  return "";
}

std::string AgentSettings::SetTrapPort(int port) {
  if (port < 1 || port > 65535) return PortError("KORAGENT_TRAP_PORT", std::to_string(port));
  trapPort_ = port;
  return "";
}

std::string AgentSettings::SetEventLogMaxSize(const std::string& size) {
  errno = 0;
  char* end = nullptr;
  const unsigned long long number = std::isdigit(static_cast<unsigned char>(size[0])) != 0
                                        ? std::strtoull(size.c_str(), &end, 10)
                                        : 0;
  const std::string unit = end != nullptr ? AsciiCase::Lower(end) : "";
  const int shift = unit.empty() ? 0 : unit == "k" ? 10 : unit == "m" ? 20 : unit == "g" ? 30 : -1;
  const uint64_t bytes = shift < 0 || errno != 0 || number > (1ull << 40) ? 0 : number << shift;
  if (bytes < 64 * 1024 || bytes > (1ull << 40)) {
    return StringPrintf("KORAGENT_EVENT_LOG_MAX_SIZE=%s is not a size from 64K to 1024G (for example 16M)",
                        size.c_str());
  }
  eventLogMaxBytes_ = bytes;
  return "";
}

std::string AgentSettings::SetEventLogFiles(int files) {
  if (files < 2 || files > 20) {
    return FilesError(std::to_string(files));
  }
  eventLogFiles_ = files;
  return "";
}

std::string AgentSettings::SetHistory(const std::string& value) {
  if (value != "on" && value != "off") return StringPrintf("KORAGENT_HISTORY=%s is not on or off", value.c_str());
  historyEnabled_ = value == "on";
  return std::string();
}

std::string AgentSettings::SetHistoryGrace(const std::string& seconds) {
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(seconds.c_str(), &end, 10);
  if (!std::isdigit(static_cast<unsigned char>(seconds.c_str()[0])) || *end != '\0' || errno != 0) {
    return StringPrintf("KORAGENT_HISTORY_GRACE=%s is not a number of seconds", seconds.c_str());
  }
  historyGraceSeconds_ = value;
  return std::string();
}

std::string AgentSettings::SetTrapRefreshInterval(int seconds) {
  if (seconds < 0 || seconds > kMaxTrapRefreshInterval) return RefreshIntervalError(std::to_string(seconds));
  trapRefreshInterval_ = seconds;
  return "";
}

std::string AgentSettings::SetNotifyHoldPolls(int polls) { return SetCount(kHoldPolls, polls, &notifyHoldPolls_); }

std::string AgentSettings::SetFlapChanges(int changes) { return SetCount(kFlapChanges, changes, &flapChanges_); }

std::string AgentSettings::SetFlapMinutes(int minutes) { return SetCount(kFlapMinutes, minutes, &flapMinutes_); }

std::string AgentSettings::SetTrapListen(const std::string& address) {
  // Traps are datagrams: a stream transport would hand the receiver a
  // listening socket instead of traps. A transport written before the
  // address must be udp or udp6; without one, net-snmp takes UDP.
  const size_t colon = address.find(':');
  const std::string transport = colon == std::string::npos ? "" : AsciiCase::Lower(address.substr(0, colon));
  const bool hasTransport = colon != std::string::npos && address.find(':', colon + 1) != std::string::npos;
  const bool namedTransport = transport == "tcp" || transport == "tcp6" || transport == "unix" ||
                              transport == "tls" || transport == "tlstcp" || transport == "dtls" ||
                              transport == "dtlsudp" || transport == "ssh" || transport == "ipx" ||
                              transport == "callback" || transport == "alias" || transport == "aal5pvc";
  if ((hasTransport && transport != "udp" && transport != "udp6") || namedTransport) {
    return StringPrintf("KORAGENT_TRAP_LISTEN=%s names a transport other than UDP; traps are received over "
                        "UDP only (for example udp:162 or udp:127.0.0.1:10162)",
                        address.c_str());
  }
  if (ListenPort(address) < 0) {
    return StringPrintf("KORAGENT_TRAP_LISTEN=%s does not end in a port number (for example udp:162)",
                        address.c_str());
  }
  trapListen_ = address;
  return "";
}

std::string AgentSettings::Parse(const Lookup& lookup, AgentSettings* out) {
  AgentSettings settings;
  std::string first;
  auto note = [&first](const std::string& error) {
    if (first.empty()) first = error;
  };
  auto port = [&](const char* name, std::string (AgentSettings::*set)(int)) {
    const char* value = Value(lookup, name);
    if (value == nullptr) return;
    int number = 0;
    if (!PortSetting::Parse(value, &number)) {
      note(PortError(name, value));
      return;
    }
    note((settings.*set)(number));
  };
  port("KORAGENT_HTTPS_PORT", &AgentSettings::SetHttpsPort);
  port("KORAGENT_SNMP_PORT", &AgentSettings::SetSnmpPort);
  port("KORAGENT_TRAP_PORT", &AgentSettings::SetTrapPort);
  if (const char* value = Value(lookup, "KORAGENT_HTTPS_ADDRESS")) settings.SetHttpsAddress(value);
  if (const char* value = Value(lookup, "KORAGENT_TRAP_LISTEN")) note(settings.SetTrapListen(value));
  if (const char* value = Value(lookup, "KORAGENT_TRAP_REFRESH_INTERVAL")) {
    char* end = nullptr;
    errno = 0;
    const long seconds = std::strtol(value, &end, 10);
    if (!std::isdigit(static_cast<unsigned char>(*value)) || *end != '\0' || errno != 0 ||
        seconds > kMaxTrapRefreshInterval) {
      note(RefreshIntervalError(value));
    } else {
      note(settings.SetTrapRefreshInterval(static_cast<int>(seconds)));
    }
  }
  auto count = [&](const CountSetting& setting, std::string (AgentSettings::*set)(int)) {
    const char* value = Value(lookup, setting.name);
    if (value == nullptr) return;
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(value, &end, 10);
    if (!std::isdigit(static_cast<unsigned char>(*value)) || *end != '\0' || errno != 0 || number > setting.high) {
      note(CountError(setting, value));
    } else {
      note((settings.*set)(static_cast<int>(number)));
    }
  };
  count(kHoldPolls, &AgentSettings::SetNotifyHoldPolls);
  count(kFlapChanges, &AgentSettings::SetFlapChanges);
  count(kFlapMinutes, &AgentSettings::SetFlapMinutes);
  if (const char* value = Value(lookup, "KORAGENT_EVENT_LOG")) settings.SetEventLogFile(value);
  if (const char* value = Value(lookup, "KORAGENT_EVENT_LOG_MAX_SIZE")) note(settings.SetEventLogMaxSize(value));
  if (const char* value = Value(lookup, "KORAGENT_EVENT_LOG_FILES")) {
    int files = 0;
    note(PortSetting::Parse(value, &files) ? settings.SetEventLogFiles(files) : FilesError(value));
  }
  if (const char* value = Value(lookup, "KORAGENT_PORT_ERROR_LIMITS")) note(settings.SetPortErrorLimits(value));
  if (const char* value = Value(lookup, "KORAGENT_DRIVE_BUDGET")) note(settings.SetDriveBudget(value));
  if (const char* value = Value(lookup, "KORAGENT_HISTORY")) note(settings.SetHistory(value));
  if (const char* value = Value(lookup, "KORAGENT_RRDCACHED")) settings.SetRrdcachedAddress(value);
  if (const char* value = Value(lookup, "KORAGENT_HISTORY_GRACE")) note(settings.SetHistoryGrace(value));
  if (const char* value = Value(lookup, "KORAGENT_DISCOVERY_RATE")) {
    int rate = 0;
    note(PortSetting::Parse(value, &rate) ? settings.SetDiscoveryRate(rate) : DiscoveryRateError(value));
  }
  if (const char* value = Value(lookup, "KORAGENT_SYSTEMCTL")) settings.SetSystemctlProgram(value);
  if (const char* value = Value(lookup, "KORAGENT_SYSTEMD_UNIT_DIR")) settings.SetSystemdUnitDirectory(value);
  if (const char* value = Value(lookup, "SUDO_UID")) settings.SetSudoUid(value);
  *out = settings;
  return first;
}

std::string AgentSettings::Load() {
  AgentSettings settings;
  // The one place that reads these variables.
  const std::string error = Parse([](const char* name) -> const char* { return std::getenv(name); }, &settings);
  SetCurrent(settings);
  return error;
}

AgentSettings AgentSettings::Current() {
  std::lock_guard<std::mutex> hold(CurrentMutex());
  return CurrentSettings();
}

void AgentSettings::SetCurrent(const AgentSettings& settings) {
  std::lock_guard<std::mutex> hold(CurrentMutex());
  CurrentSettings() = settings;
  // The platform's event-log writer serves the web server library too: it
  // is handed the file rather than asking for it.
  EventLogWriter::SetFilePath(settings.EventLogFile());
  EventLogWriter::SetFileLimits(settings.EventLogMaxBytes(), settings.EventLogFiles());
}

}  // namespace orla
