// A paused service halts the agent core's start-up between its steps.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "agent/service/agent_core.h"
#include "platform/sync/pause_gate.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/wait_until.h"
#include "tests/support/temp_dir.h"
#include "tests/support/working_directory.h"

namespace orla {
namespace {

TEST(StartGate, ClosedGateHoldsStartUpUntilOpened) {
  test::EventLogCapture log;
  test::TempDir dir;
  dir.Write("KORAgent.cfg", "one\n" + dir.Path() + "\nthree\nlabel\n.1.3\n");
  dir.Write("storage.ini", "120\n");
  test::WorkingDirectory saved;  // start-up enters the program directory

  AgentCore core;
  PauseGate gate;
  gate.Close();
  std::atomic<int> result{-1};
  std::thread start([&] { result = core.StartHost(dir.Path() + "/KORAgent", &gate); });
  EXPECT_TRUE(test::WaitUntil([&] { return gate.Held() == 1; }));
  EXPECT_EQ(result.load(), -1);
  EXPECT_FALSE(dir.Exists("sysinfo.agt"));
  gate.Open();
  start.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_TRUE(dir.Exists("sysinfo.agt"));
  EXPECT_EQ(core.PollingInterval(), 120);
}

}  // namespace
}  // namespace orla
