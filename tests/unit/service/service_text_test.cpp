// Texts the service host shows or writes: the console's system error text,
// the systemd unit and the status messages sent with sd_notify.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "agent/service/agent_service.h"
#include "platform/service/service_control_manager.h"
#include "platform/service/service_dispatcher.h"

namespace orla {
namespace {

TEST(SystemErrorText, TextThenNumberInHex) {
  EXPECT_EQ(SystemErrorText(2), "No such file or directory (0x2)");
  EXPECT_EQ(SystemErrorText(13), "Permission denied (0xd)");
}

TEST(ServiceUnit, NamesTheProgramAndStartsAtBoot) {
  const std::string unit = ServiceControlManager::UnitText("ORLA KOR Agent", "/opt/kor/KORAgent", {});
  EXPECT_NE(unit.find("\nDescription=ORLA KOR Agent\n"), std::string::npos);
  EXPECT_NE(unit.find("\nType=notify\n"), std::string::npos);
  EXPECT_NE(unit.find("\nExecStart=/opt/kor/KORAgent\n"), std::string::npos);
  EXPECT_NE(unit.find("\nLimitNOFILE=65536\n"), std::string::npos);
  EXPECT_NE(unit.find("\n[Install]\nWantedBy=multi-user.target\n"), std::string::npos);
}

// Every line of a confined unit, in the [Service] section, for the service
// user and for root.
TEST(ServiceUnit, ConfinesTheServiceWhoeverItRunsAs) {
  const std::vector<std::string> confinement = {
      "AmbientCapabilities=CAP_NET_BIND_SERVICE", "CapabilityBoundingSet=CAP_NET_BIND_SERVICE",
      "NoNewPrivileges=yes", "ProtectSystem=strict", "ProtectHome=yes", "PrivateTmp=yes", "PrivateDevices=yes",
      "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6", "ProtectKernelTunables=yes", "ProtectKernelModules=yes",
      "ProtectKernelLogs=yes", "ProtectControlGroups=yes", "RestrictNamespaces=yes",
      "SystemCallFilter=@system-service", "LogsDirectory=koragent",
      "ReadWritePaths=-/opt/kor/KOR -/opt/kor/KORZEPD"};
  ServiceControlManager::Confinement asUser{"koragent", {"/opt/kor/KOR", "/opt/kor/KORZEPD"}};
  ServiceControlManager::Confinement asRoot{"", asUser.writablePaths};
  for (const auto& c : {asUser, asRoot}) {
    SCOPED_TRACE(c.user.empty() ? "root" : c.user);
    const std::string unit = ServiceControlManager::UnitText("ORLA KOR Agent", "/opt/kor/KORAgent", c);
    const size_t service = unit.find("\n[Service]\n");
    const size_t install = unit.find("\n[Install]\n");
    ASSERT_LT(service, install);
    for (const std::string& line : confinement) {
      const size_t at = unit.find("\n" + line + "\n");
      EXPECT_TRUE(at > service && at < install) << line << "\n" << unit;
    }
    EXPECT_EQ(unit.find("\nUser=koragent\n") != std::string::npos, !c.user.empty()) << unit;
    EXPECT_EQ(unit.find("User=") != std::string::npos, !c.user.empty()) << unit;
  }
}

TEST(ServiceUnit, HomeFoldersAreReadOnlyOnlyForAProgramInThem) {
  const struct {
    const char* program;
    const char* agentDirectory;
    const char* protectHome;
  } cases[] = {{"/opt/kor/KORAgent", "/opt/kor/KOR", "yes"},
               {"/home/ops/kor/KORAgent", "/home/ops/kor/KOR", "read-only"},
               {"/opt/kor/KORAgent", "/root/KOR", "read-only"},
               {"/homeless/kor/KORAgent", "/homeless/kor/KOR", "yes"}};
  for (const auto& c : cases) {
    const std::string unit =
        ServiceControlManager::UnitText("ORLA KOR Agent", c.program, {"", {c.agentDirectory}});
    EXPECT_NE(unit.find(std::string("\nProtectHome=") + c.protectHome + "\n"), std::string::npos) << unit;
  }
}

TEST(ServiceUnit, PathsAreTakenLiterally) {
  EXPECT_EQ(ServiceControlManager::ExecPath("/opt/kor/KORAgent"), "/opt/kor/KORAgent");
  EXPECT_EQ(ServiceControlManager::ExecPath("/opt/my kor/KORAgent"), "\"/opt/my kor/KORAgent\"");
  EXPECT_EQ(ServiceControlManager::ExecPath("/opt/100%/$HOME/KORAgent"), "/opt/100%%/$$HOME/KORAgent");
  EXPECT_EQ(ServiceControlManager::ExecPath("/opt/a\"b/KORAgent"), "\"/opt/a\\\"b/KORAgent\"");
  // Folders: the "-" stays inside the quotes; "$" means nothing there.
  EXPECT_EQ(ServiceControlManager::WritablePath("/opt/kor/KOR"), "-/opt/kor/KOR");
  EXPECT_EQ(ServiceControlManager::WritablePath("/srv/my kor/KOR"), "\"-/srv/my kor/KOR\"");
  EXPECT_EQ(ServiceControlManager::WritablePath("/srv/100%/$x"), "-/srv/100%%/$x");
}

TEST(ServiceUnit, FindsUsersOfTheSystem) {
  EXPECT_EQ(ServiceControlManager::FindUser("root"), 0);
  EXPECT_EQ(ServiceControlManager::FindUser("no-such-user-of-kor"), ENOENT);
}

TEST(ServiceNotify, EachStateIsReported) {
  const struct {
    uint32_t state, checkPoint, waitHint, exitCode;
    const char* message;
  } cases[] = {
      {kServiceStartPending, 2, 1000, 0, "STATUS=Start pending (check point 2)\nEXTEND_TIMEOUT_USEC=1000000"},
      {kServiceRunning, 0, 0, 0, "READY=1\nSTATUS=Running"},
      {kServicePaused, 0, 0, 0, "STATUS=Paused"},
      {kServiceStopPending, 1, 5000, 0, "STOPPING=1\nSTATUS=Stop pending (check point 1)\nEXTEND_TIMEOUT_USEC=5000000"},
      {kServiceStopped, 0, 0, 0, "STATUS=Stopped"},
      {kServiceStopped, 0, 0, 12, "STATUS=Stopped (exit code 12)\nERRNO=12"},
  };
  for (const auto& c : cases) {
    ServiceStatus s;
    s.currentState = c.state;
    s.checkPoint = c.checkPoint;
    s.waitHint = c.waitHint;
    s.win32ExitCode = c.exitCode;
    EXPECT_EQ(ServiceDispatcher::NotifyMessage(s), c.message);
  }
}

}  // namespace
}  // namespace orla
