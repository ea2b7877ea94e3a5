#include <gtest/gtest.h>

#include <map>
#include <string>

#include "agent/core/agent_settings.h"
#include "platform/eventlog/event_log_writer.h"
#include "tests/support/scoped_settings.h"

using namespace orla;

namespace {

// Parses a made-up environment.
std::string ParseOf(const std::map<std::string, std::string>& environment, AgentSettings* out) {
  return AgentSettings::Parse(
      [&environment](const char* name) -> const char* {
        auto it = environment.find(name);
        return it == environment.end() ? nullptr : it->second.c_str();
      },
      out);
}

TEST(AgentSettings, UnsetOrEmptyVariablesTakeTheirDefaults) {
  for (const auto& environment : {std::map<std::string, std::string>{},
                                  std::map<std::string, std::string>{{"KORAGENT_HTTPS_PORT", ""},
                                                                     {"KORAGENT_TRAP_LISTEN", ""},
                                                                     {"KORAGENT_EVENT_LOG", ""}}}) {
    AgentSettings settings;
    EXPECT_EQ(ParseOf(environment, &settings), "");
    EXPECT_EQ(settings.HttpsPort(), 2381);
    EXPECT_EQ(settings.HttpsAddress(), "");
    EXPECT_EQ(settings.SnmpPort(), 161);
    EXPECT_EQ(settings.TrapListen(), "udp:162");
    EXPECT_EQ(settings.TrapListenPort(), 162);
    EXPECT_EQ(settings.TrapPort(), 162);
    EXPECT_EQ(settings.EventLogFile(), "");
    EXPECT_EQ(settings.NotifyHoldPolls(), 2);
    EXPECT_EQ(settings.FlapChanges(), 5);
    EXPECT_EQ(settings.FlapMinutes(), 30);
  }
}

TEST(AgentSettings, EveryVariableIsTaken) {
  AgentSettings settings;
  EXPECT_EQ(ParseOf({{"KORAGENT_HTTPS_PORT", "12381"},
                     {"KORAGENT_HTTPS_ADDRESS", "127.0.0.1"},
                     {"KORAGENT_SNMP_PORT", "12161"},
                     {"KORAGENT_TRAP_LISTEN", "udp:127.0.0.1:10162"},
                     {"KORAGENT_TRAP_PORT", "11162"},
                     {"KORAGENT_EVENT_LOG", "/tmp/events.jsonl"},
                     {"KORAGENT_EVENT_LOG_MAX_SIZE", "2m"},
                     {"KORAGENT_EVENT_LOG_FILES", "3"},
                     {"KORAGENT_SYSTEMCTL", "/bin/true"},
                     {"KORAGENT_PORT_ERROR_LIMITS", "crc_errors=20,link_resets=0"},
                     {"KORAGENT_DRIVE_BUDGET", "hours=30000"},
                     {"KORAGENT_SYSTEMD_UNIT_DIR", "/tmp/units"},
                     {"KORAGENT_NOTIFY_HOLD_POLLS", "1"},
                     {"KORAGENT_FLAP_CHANGES", "8"},
                     {"KORAGENT_FLAP_MINUTES", "60"},
                     {"KORAGENT_HISTORY", "off"},
                     {"KORAGENT_RRDCACHED", "unix:/run/rrdcached.sock"},
                     {"KORAGENT_HISTORY_GRACE", "600"},
                     {"KORAGENT_DISCOVERY_RATE", "120"}},
                    &settings),
            "");
  EXPECT_EQ(settings.HttpsPort(), 12381);
  EXPECT_EQ(settings.HttpsAddress(), "127.0.0.1");
  EXPECT_EQ(settings.SnmpPort(), 12161);
  EXPECT_EQ(settings.DiscoveryRate(), 120);
  EXPECT_EQ(settings.TrapListen(), "udp:127.0.0.1:10162");
  EXPECT_EQ(settings.TrapListenPort(), 10162);
  EXPECT_EQ(settings.TrapPort(), 11162);
  EXPECT_EQ(settings.EventLogFile(), "/tmp/events.jsonl");
  EXPECT_EQ(settings.EventLogMaxBytes(), 2u << 20);
  EXPECT_EQ(settings.EventLogFiles(), 3);
  EXPECT_EQ(settings.SystemctlProgram(), "/bin/true");
  EXPECT_EQ(settings.SystemdUnitDirectory(), "/tmp/units");
  // The kinds named change, the others keep their defaults.
  std::map<std::string, uint64_t> limits = AgentSettings::DefaultPortErrorLimits();
  limits["crc_errors"] = 20;
  limits["link_resets"] = 0;
  EXPECT_EQ(settings.PortErrorLimits(), limits);
  EXPECT_EQ(settings.DriveMountBudget(), AgentSettings::kDefaultDriveMountBudget);
  EXPECT_EQ(settings.DriveHourBudget(), 30000u);
  EXPECT_EQ(settings.NotifyHoldPolls(), 1);
  EXPECT_EQ(settings.FlapChanges(), 8);
  EXPECT_EQ(settings.FlapMinutes(), 60);
  EXPECT_FALSE(settings.HistoryEnabled());
  EXPECT_EQ(settings.RrdcachedAddress(), "unix:/run/rrdcached.sock");
  EXPECT_EQ(settings.HistoryGraceSeconds(), 600);
}

TEST(AgentSettings, ABadValueIsNamedAndKeepsTheDefault) {
  const struct {
    const char* name;
    const char* value;
    const char* error;
  } cases[] = {
      {"KORAGENT_HTTPS_PORT", "abc", "KORAGENT_HTTPS_PORT=abc is not a port number from 1 to 65535"},
      {"KORAGENT_HTTPS_PORT", "0", "KORAGENT_HTTPS_PORT=0 is not a port number from 1 to 65535"},
      {"KORAGENT_SNMP_PORT", "65536", "KORAGENT_SNMP_PORT=65536 is not a port number from 1 to 65535"},
      {"KORAGENT_TRAP_PORT", "162x", "KORAGENT_TRAP_PORT=162x is not a port number from 1 to 65535"},
      {"KORAGENT_TRAP_PORT", " 162", "KORAGENT_TRAP_PORT= 162 is not a port number from 1 to 65535"},
      {"KORAGENT_TRAP_LISTEN", "tcp:10162", "KORAGENT_TRAP_LISTEN=tcp:10162 names a transport other than UDP"},
      {"KORAGENT_TRAP_LISTEN", "TCP:127.0.0.1:10162", "names a transport other than UDP"},
      {"KORAGENT_TRAP_LISTEN", "unix:/tmp/traps", "names a transport other than UDP"},
      {"KORAGENT_TRAP_LISTEN", "udp:127.0.0.1", "KORAGENT_TRAP_LISTEN=udp:127.0.0.1 does not end in a port number"},
      {"KORAGENT_TRAP_LISTEN", "udp:99999", "does not end in a port number"},
      {"KORAGENT_EVENT_LOG_MAX_SIZE", "1K", "KORAGENT_EVENT_LOG_MAX_SIZE=1K is not a size from 64K to 1024G"},
      {"KORAGENT_EVENT_LOG_MAX_SIZE", "16Mb", "is not a size"},
      {"KORAGENT_EVENT_LOG_MAX_SIZE", "-5", "is not a size"},
      {"KORAGENT_EVENT_LOG_FILES", "1", "KORAGENT_EVENT_LOG_FILES=1 is not a number of files from 2 to 20"},
      {"KORAGENT_EVENT_LOG_FILES", "x", "KORAGENT_EVENT_LOG_FILES=x is not"},
      {"KORAGENT_PORT_ERROR_LIMITS", "crc=5", "KORAGENT_PORT_ERROR_LIMITS=crc=5 is not a list of NAME=NUMBER"},
      {"KORAGENT_PORT_ERROR_LIMITS", "crc_errors=5,", "is not a list of NAME=NUMBER"},
      {"KORAGENT_PORT_ERROR_LIMITS", "crc_errors=-5", "is not a list of NAME=NUMBER"},
      {"KORAGENT_NOTIFY_HOLD_POLLS", "0", "KORAGENT_NOTIFY_HOLD_POLLS=0 is not a number of polls from 1 to 100"},
      {"KORAGENT_NOTIFY_HOLD_POLLS", "2x", "KORAGENT_NOTIFY_HOLD_POLLS=2x is not a number of polls"},
      {"KORAGENT_FLAP_CHANGES", "1001", "KORAGENT_FLAP_CHANGES=1001 is not a number of changes from 1 to 1000"},
      {"KORAGENT_FLAP_MINUTES", "-1", "KORAGENT_FLAP_MINUTES=-1 is not a number of minutes from 1 to 1440"},
      {"KORAGENT_DRIVE_BUDGET", "mounts", "KORAGENT_DRIVE_BUDGET=mounts is not a list of NAME=NUMBER (NAME one of hours, mounts)"},
      {"KORAGENT_HISTORY", "yes", "KORAGENT_HISTORY=yes is not on or off"},
      {"KORAGENT_HISTORY_GRACE", "1d", "KORAGENT_HISTORY_GRACE=1d is not a number of seconds"},
      {"KORAGENT_DISCOVERY_RATE", "0", "KORAGENT_DISCOVERY_RATE=0 is not a number of requests per second from 1 to 10000"},
      {"KORAGENT_DISCOVERY_RATE", "10001", "KORAGENT_DISCOVERY_RATE=10001 is not a number of requests per second"},
      {"KORAGENT_DISCOVERY_RATE", "fast", "KORAGENT_DISCOVERY_RATE=fast is not a number of requests per second"},
  };
  for (const auto& c : cases) {
    AgentSettings settings;
    const std::string error = ParseOf({{c.name, c.value}, {"KORAGENT_EVENT_LOG", "/tmp/x"}}, &settings);
    EXPECT_NE(error.find(c.error), std::string::npos) << c.name << "=" << c.value << ": " << error;
    EXPECT_EQ(settings.HttpsPort(), 2381);
    EXPECT_EQ(settings.SnmpPort(), 161);
    EXPECT_EQ(settings.TrapPort(), 162);
    EXPECT_EQ(settings.TrapListen(), "udp:162");
    EXPECT_EQ(settings.EventLogMaxBytes(), 16u << 20);
    EXPECT_EQ(settings.EventLogFiles(), 4);
    EXPECT_EQ(settings.PortErrorLimits(), AgentSettings::DefaultPortErrorLimits());
    EXPECT_EQ(settings.DriveMountBudget(), AgentSettings::kDefaultDriveMountBudget);
    EXPECT_EQ(settings.NotifyHoldPolls(), 2);
    EXPECT_EQ(settings.FlapChanges(), 5);
    EXPECT_EQ(settings.FlapMinutes(), 30);
    // The valid ones are still taken, so the error can reach the log file.
    EXPECT_EQ(settings.EventLogFile(), "/tmp/x");
  }
}

TEST(AgentSettings, UdpTransportsAndBareAddressesAreAccepted) {
  for (const char* address : {"162", "udp:162", "UDP:162", "udp:127.0.0.1:0", "127.0.0.1:10162", "udp6:[::1]:10162"}) {
    AgentSettings settings;
    EXPECT_EQ(settings.SetTrapListen(address), "") << address;
    EXPECT_EQ(settings.TrapListen(), address);
  }
}

TEST(AgentSettings, CurrentIsWhatWasSetAndTheEventLogWriterFollows) {
  {
    test::ScopedSettings scoped;
    scoped.SnmpPort(12161).EventLogFile("/tmp/agent-settings-test.jsonl");
    EXPECT_EQ(AgentSettings::Current().SnmpPort(), 12161);
    EXPECT_EQ(EventLogWriter::FilePath(), "/tmp/agent-settings-test.jsonl");
  }
  EXPECT_EQ(AgentSettings::Current().SnmpPort(), 161);
  EXPECT_EQ(EventLogWriter::FilePath(), "");
}

}  // namespace
