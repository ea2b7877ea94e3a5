// Trap handling with a simulated tape controller (snmpsimd serving the
// simulator's recording) bound to the Fibre Alliance MIB plug-in: the
// controller's own traps, sent by the simulator's control script, are
// described by the plug-in; its status change makes the agent send its trap
// to snmptrapd.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "agent/traps/trap_destination_list.h"
#include "agent/traps/trap_listener.h"
#include "agent/traps/trap_sender.h"
#include "tests/integration/snmp/peer_process.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/temp_dir.h"

namespace orla {
namespace {

using namespace std::chrono_literals;

const char kController[] = "127.0.3.70";

int ListenPort() {
  static const int port = test::FreeUdpPort(13600, 13699);
  return port;
}

std::string Simulator(const std::string& tool) { return std::string(KOR_SOURCE_DIR) + "/simulator/" + tool; }

class SimulatedController : public ::testing::Test {
 protected:
  void SetUp() override {
    // The program directory: devices/ holds the built plug-in, its type file
    // and the type list.
    char buffer[4096];
    ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
    previousDirectory_ = buffer;
    ASSERT_EQ(chdir(dir_.Path().c_str()), 0);
    std::filesystem::permissions(dir_.Path(), std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                                  std::filesystem::perms::group_exec |
                                                  std::filesystem::perms::others_read |
                                                  std::filesystem::perms::others_exec);
    std::filesystem::create_directory("devices");
    for (const char* file : {"famib.so", "famib.cfg", "supported.txt"}) {
      std::filesystem::create_symlink(std::string(KOR_BINARY_DIR) + "/devices/" + file,
                                      std::string("devices/") + file);
    }

    simulatorPort_ = test::FreeUdpPort(13700, 13799);
    ASSERT_NE(simulatorPort_, 0);
    ASSERT_EQ(Run(Simulator("start.sh") + " --run-dir " + RunDir() + " --port " + std::to_string(simulatorPort_) +
                  " --base " + kController + " --only tc01 >/dev/null"),
              0);
    setenv("KORAGENT_SNMP_PORT", std::to_string(simulatorPort_).c_str(), 1);
    ASSERT_NE(ListenPort(), 0);
    setenv("KORAGENT_TRAP_LISTEN", ("udp:127.0.0.1:" + std::to_string(ListenPort())).c_str(), 1);

    destinations_ = std::make_unique<TrapDestinationList>(dir_.Path());
    TrapDestinationList::SetInstance(destinations_.get());
    sender_ = std::make_unique<TrapSender>();
    TrapSender::SetInstance(sender_.get());
    registry_ = std::make_unique<ElementRegistry>(dir_.File("KORAgent.db"), 300);
    ElementRegistry::SetInstance(registry_.get());
    registry_->SetStatusChangeListener(sender_.get());
    registry_->LoadElements();
    listener_ = std::make_unique<TrapListener>();
    listener_->Start();
  }

  void TearDown() override {
    listener_.reset();
    registry_.reset();
    ElementRegistry::SetInstance(nullptr);
    TrapSender::SetInstance(nullptr);
    TrapDestinationList::SetInstance(nullptr);
    Run(Simulator("stop.sh") + " --run-dir " + RunDir() + " >/dev/null");
    ASSERT_EQ(chdir(previousDirectory_.c_str()), 0);
  }

  // The simulator may drop its privileges (started as root it runs as
  // nobody): its run directory lies in a folder anyone may enter.
  std::string RunDir() const { return dir_.Path() + "/simulator"; }
  static int Run(const std::string& command) { return std::system(("timeout 60 " + command).c_str()); }
  int Simctl(const std::string& arguments) {
    return Run(Simulator("simctl") + " --run-dir " + RunDir() + " " + arguments + " >/dev/null");
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

  bool WaitForEvents(const std::string& needle, int count) {
    for (int i = 0; i < 500; ++i) {
      if (log_.Count(needle) >= count) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  test::EventLogCapture log_;
  test::TempDir dir_;
  std::string previousDirectory_;
  int simulatorPort_ = 0;
  std::unique_ptr<TrapDestinationList> destinations_;
  std::unique_ptr<TrapSender> sender_;
  std::unique_ptr<ElementRegistry> registry_;
  std::unique_ptr<TrapListener> listener_;
};

TEST_F(SimulatedController, EnterpriseSpecificTrapIsDescribedByThePlugIn) {
  AddController();
  ASSERT_EQ(Simctl("trap tc01 event" + ToListener()), 0);
  ASSERT_TRUE(WaitForEvents("Tape drive 2 reports a cleaning request", 1)) << ::testing::PrintToString(log_.Texts());
  for (const auto& e : log_.Events()) {
    if (e.text.find("cleaning request") == std::string::npos) continue;
    EXPECT_EQ(e.text.rfind("WARNING: Event ", 0), 0u) << e.text;
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
  ASSERT_TRUE(WaitForEvents("cold start", 1));
  EXPECT_EQ(log_.Count("cold start"), 1);
}

TEST_F(SimulatedController, StatusChangeSendsTheAgentsTrapWithTheStateCode) {
  test::TempDir trapd;
  trapd.Write("snmptrapd.conf", "disableAuthorization yes\n");
  const int trapPort = test::FreeUdpPort(13800, 13899);
  ASSERT_NE(trapPort, 0);
  test::PeerProcess daemon;
  ASSERT_TRUE(daemon.Start({"snmptrapd", "-f", "-Lo", "-C", "-c", trapd.File("snmptrapd.conf"), "-On", "-m", "", "-M",
                            trapd.Path(), "-F", "TRAP|%u|%N|%w|%q|%V~%v\n", "udp:127.0.0.1:" + std::to_string(trapPort)},
                           trapd.File("out")));
  for (int i = 0; i < 100 && daemon.Output().find("NET-SNMP version") == std::string::npos; ++i) {
    std::this_thread::sleep_for(50ms);
  }
  setenv("KORAGENT_TRAP_PORT", std::to_string(trapPort).c_str(), 1);
  destinations_->Add("127.0.0.1");
  // The controller sends its traps to this agent only.
  ASSERT_EQ(Simctl("trapreg tc01 clear"), 0);
  ASSERT_EQ(Simctl("trapreg tc01 add 127.0.0.1:" + std::to_string(ListenPort())), 0);
  AddController();
  registry_->UpdateAllStatus();
  std::this_thread::sleep_for(500ms);
  const std::string before = daemon.Output();
  const size_t settled = static_cast<size_t>(std::count(before.begin(), before.end(), '\n'));

  // The controller fails and says so with its status-change trap: the agent
  // logs the trap, refreshes every status, finds the change and sends its own
  // trap with state code 4.
  ASSERT_EQ(Simctl("status tc01 failed --trap"), 0);
  ASSERT_TRUE(WaitForEvents("changed to failed", 1)) << ::testing::PrintToString(log_.Texts());
  std::string output;
  for (int i = 0; i < 200; ++i) {
    output = daemon.Output();
    if (output.find("132.2.2 = INTEGER: 4") != std::string::npos) break;
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_NE(output.find("TRAP|sorrel|.1.3.6.1.4.1.4413.132.2|6|.2|"), std::string::npos) << output;
  EXPECT_NE(output.find(".1.3.6.1.4.1.4413.132.2.1 = STRING: \"tc01\"~.1.3.6.1.4.1.4413.132.2.2 = INTEGER: 4~"),
            std::string::npos)
      << output;
  EXPECT_GT(static_cast<size_t>(std::count(output.begin(), output.end(), '\n')), settled);
}

}  // namespace
}  // namespace orla
