// Trap handling with a simulated tape controller (snmpsimd serving the
// simulator's recording) bound to the Fibre Alliance MIB plug-in: the
// controller's own traps, sent by the simulator's control script, are
// described by the plug-in; its status change makes the agent send its trap
// to snmptrapd.
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "agent/core/orla_exception.h"
#include "tests/support/agent_process.h"
#include "tests/support/free_port.h"
#include "tests/integration/snmp/trap_daemon.h"
#include "tests/integration/traps/trap_stack.h"
#include "tests/support/build_tree.h"
#include "tests/support/scoped_settings.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/simulated_devices.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/support/working_directory.h"

namespace orla {
namespace {

using namespace std::chrono_literals;

const char kController[] = "127.0.3.70";

// snmptrapd's line for a trap: TRAP|community|enterprise|generic|specific|bindings
constexpr char kTrapFormat[] = "TRAP|%u|%N|%w|%q|%V~%v\n";

int ListenPort() {
  static const int port = test::FreeLoopbackPort(SOCK_DGRAM);
  return port;
}


class SimulatedController : public ::testing::Test {
 protected:
  void SetUp() override {
    // The program directory: devices/ holds the built plug-in, its type file
    // and the type list.
    ASSERT_TRUE(test::WorkingDirectory::Enter(dir_.Path()));
    std::filesystem::permissions(dir_.Path(), std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                                  std::filesystem::perms::group_exec |
                                                  std::filesystem::perms::others_read |
                                                  std::filesystem::perms::others_exec);
    test::InstallDevicesFolder(dir_.Path());

    simulatorPort_ = test::FreeLoopbackPort(SOCK_DGRAM);
    ASSERT_NE(simulatorPort_, 0);
    simulator_ = std::make_unique<test::SimulatedDevices>(RunDir());
    const std::string output = simulator_->Start(simulatorPort_, kController, "tc01");
    ASSERT_EQ(output.find("exit status"), std::string::npos) << output;
    settings_.SnmpPort(simulatorPort_);
    ASSERT_NE(ListenPort(), 0);
    settings_.TrapListen("udp:127.0.0.1:" + std::to_string(ListenPort()));

    stack_ = std::make_unique<test::TrapStack>(dir_.Path(), 300);
    destinations_ = stack_->Destinations();
    registry_ = stack_->Registry();
    stack_->LoadAndListen();
  }

  void TearDown() override {
    stack_.reset();
    simulator_.reset();
  }

  // The simulator may drop its privileges (started as root it runs as
  // nobody): its run directory lies in a folder anyone may enter.
  std::string RunDir() const { return dir_.Path() + "/simulator"; }
  static int Run(const std::string& command) { return test::RunCommand("timeout 60 " + command); }
  // 0 when simctl succeeded.
  int Simctl(const std::string& arguments) {
    return simulator_->Simctl(arguments).find("(exit status") == std::string::npos ? 0 : 1;
  }
  std::string ToListener() const { return " --to 127.0.0.1:" + std::to_string(ListenPort()); }

  void AddController() {
    try {
      registry_->AddElement("tc01", kController, 300);
    } catch (OrlaException* e) {
      std::unique_ptr<OrlaException> owned(e);
      // The simulated controller sends its traps elsewhere: the element is
      // kept all the same.
      ASSERT_EQ(e->Code(), 6) << e->Message();
    }
    ASSERT_TRUE(registry_->IsManaged(kController));
  }

  test::EventLogCapture log_;
  test::ScopedSettings settings_;
  test::TempDir dir_;
  test::WorkingDirectory workingDirectory_;  // left before dir_ is removed
  int simulatorPort_ = 0;
  std::unique_ptr<test::SimulatedDevices> simulator_;
  std::unique_ptr<test::TrapStack> stack_;
  TrapDestinationList* destinations_ = nullptr;
  ElementRegistry* registry_ = nullptr;
};

TEST_F(SimulatedController, EnterpriseSpecificTrapIsDescribedByThePlugIn) {
  AddController();
  ASSERT_EQ(Simctl("trap tc01 event" + ToListener()), 0);
  ASSERT_TRUE(log_.WaitFor("Tape drive 2 reports a cleaning request")) << ::testing::PrintToString(log_.Texts());
  for (const auto& e : log_.Events()) {
    if (e.text.find("cleaning request") == std::string::npos) continue;
    // Named by its element first.
    EXPECT_EQ(e.text.rfind("WARNING: tc01 (127.0.3.70): Event ", 0), 0u) << e.text;
    EXPECT_EQ(e.eventId, 0x40000004u);
    // The plug-in's event data starts with the specific trap number (4).
    const size_t dataOffset = std::stoul(e.dataHex.substr(8, 2), nullptr, 16) |
                              (std::stoul(e.dataHex.substr(10, 2), nullptr, 16) << 8);
    EXPECT_EQ(e.dataHex.substr(dataOffset * 2, 4), "0400");
  }
  // A cold start of an address the registry does not manage: nothing.
  ASSERT_EQ(Run("snmptrap -v 1 -c public 127.0.0.1:" + std::to_string(ListenPort()) +
                " .1.3.6.1.3.94 127.0.3.71 0 0 ''"),
            0);
  ASSERT_EQ(Simctl("trap tc01 coldstart" + ToListener()), 0);
  ASSERT_TRUE(log_.WaitFor("cold start"));
  EXPECT_EQ(log_.Count("cold start"), 1);
}

TEST_F(SimulatedController, StatusChangeSendsTheAgentsTrapWithTheStateCode) {
  test::TrapDaemon daemon(kTrapFormat);
  ASSERT_TRUE(daemon.Start()) << daemon.Output();
  settings_.TrapPort(daemon.Port());
  destinations_->Add("127.0.0.1");
  // The controller sends its traps to this agent only.
  ASSERT_EQ(Simctl("trapreg tc01 clear"), 0);
  ASSERT_EQ(Simctl("trapreg tc01 add 127.0.0.1:" + std::to_string(ListenPort())), 0);
  AddController();
  registry_->UpdateAllStatus();
  const size_t settled = stack_->SettledTraps(daemon);

  // The controller fails and says so with its status-change trap: the agent
  // logs the trap, refreshes every status, finds the change and sends its own
  // trap with state code 4.
  ASSERT_EQ(Simctl("status tc01 failed --trap"), 0);
  ASSERT_TRUE(log_.WaitFor("changed to failed")) << ::testing::PrintToString(log_.Texts());
  // A later pass finds the failure again: held for two polls, it is
  // notified (KORAGENT_NOTIFY_HOLD_POLLS, 2 by default). A pass asked for
  // while the trap's refresh still runs only waits for that refresh, so
  // passes are asked for until the trap is seen.
  std::string trap;
  const auto stateCodeSent = [&] {
    registry_->UpdateAllStatus();
    const std::vector<std::string> traps = daemon.Traps();
    for (size_t i = settled; i < traps.size(); ++i) {
      if (traps[i].find("132.2.2 = INTEGER: 4") != std::string::npos) {
        trap = traps[i];
        return true;
      }
    }
    return false;
  };
  ASSERT_TRUE(test::WaitUntil(stateCodeSent, 10s, 50ms)) << daemon.Output();
  EXPECT_NE(trap.find("TRAP|sorrel|.1.3.6.1.4.1.4413.132.2|6|.2|"), std::string::npos) << trap;
  EXPECT_NE(trap.find(".1.3.6.1.4.1.4413.132.2.1 = STRING: \"tc01\"~.1.3.6.1.4.1.4413.132.2.2 = INTEGER: 4~"),
            std::string::npos)
      << trap;
}

}  // namespace
}  // namespace orla
