// Several threads share one session (the session lock serialises open,
// request, close) while others use sessions of their own to the same device.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "agent/core/orla_exception.h"
#include "agent/snmp/snmp_session.h"
#include "tests/integration/snmp/snmpsim_device.h"
#include "tests/support/scoped_settings.h"

namespace orla {
namespace {

constexpr char kRecording[] =
    "1.3.6.1.2.1.1.1.0|4|Tape controller\n"
    "1.3.6.1.2.1.1.3.0|67|12345\n"
    "1.3.6.1.4.1.99.6.1.0|4x|0010e2a1b2c3\n";

TEST(SnmpSessionThreadedTest, SharedAndSeparateSessionsGiveCorrectAnswers) {
  test::ScopedSettings settings;
  test::SnmpsimDevice device;
  ASSERT_TRUE(device.Start(kRecording)) << device.Log();
  settings.SnmpPort(device.Port());

  SnmpSession shared("127.0.0.1", "public");
  shared.SetTimeoutSeconds(5);
  shared.Open();
  std::atomic<int> good{0};
  std::atomic<int> bad{0};
  auto work = [&](SnmpSession* session, int rounds) {
    char* text = nullptr;
    for (int i = 0; i < rounds; ++i) {
      try {
        const bool ok = session->GetInteger(".1.3.6.1.2.1.1.3.0") == 12345;
        session->GetMacAddress(".1.3.6.1.4.1.99.6.1.0", &text);
        (ok && std::string(text) == "00:10:e2:a1:b2:c3" ? good : bad)++;
        // A failing request on the shared session leaves it usable.
        session->GetInteger(".1.3.6.1.4.1.99.77.0");
        bad++;
      } catch (OrlaException* e) {
        std::unique_ptr<OrlaException> owned(e);
        if (e->Code() != 2007) bad++;
      }
    }
    std::free(text);
  };

  std::vector<std::thread> threads;
  std::vector<std::unique_ptr<SnmpSession>> own;
  for (int t = 0; t < 3; ++t) threads.emplace_back(work, &shared, 8);
  for (int t = 0; t < 2; ++t) {
    own.push_back(std::make_unique<SnmpSession>("127.0.0.1", "public"));
    threads.emplace_back(work, own.back().get(), 8);
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(good.load(), 5 * 8);
  EXPECT_EQ(bad.load(), 0);
  EXPECT_FALSE(shared.IsOpen());
}

}  // namespace
}  // namespace orla
