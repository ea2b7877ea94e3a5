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
#include "agent/core/snmp_v3_credential_store.h"
#include "agent/snmp/snmp_session.h"
#include "tests/integration/snmp/snmpsim_device.h"
#include "tests/support/scoped_settings.h"
#include "tests/support/snmpsim_v3_users.h"

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

// 64 elements' sessions, each on its own thread and address, over SNMPv3
// at once, the three users taking turns: the engine is discovered, keys
// made and users created concurrently, then many rounds of requests.
TEST(SnmpSessionThreadedTest, SixtyFourDevicesPolledOverSnmpV3AtOnceGiveCorrectAnswers) {
  constexpr int kDevices = 64;
  constexpr int kRounds = 25;
  test::ScopedSettings settings;
  std::vector<std::string> hosts;
  SnmpV3Credentials credentials;
  for (int i = 0; i < kDevices; ++i) {
    hosts.push_back("127.0.4." + std::to_string(i + 1));
    SnmpV3Profile profile = test::ProfileOf(test::kSnmpsimV3Users[i % 3]);
    profile.name += "-" + std::to_string(i);
    credentials = test::CredentialsWith(profile, hosts.back(), credentials);
  }
  test::SnmpsimDevice device;
  ASSERT_TRUE(device.Start(kRecording, test::SnmpsimV3Arguments(), hosts)) << device.Log();
  settings.SnmpPort(device.Port());
  SnmpV3CredentialStore::Instance().Set(credentials);

  std::atomic<int> good{0};
  std::atomic<int> bad{0};
  std::vector<std::thread> threads;
  for (const std::string& host : hosts) {
    threads.emplace_back([&, host] {
      SnmpSession session(host.c_str(), "unused");
      char* text = nullptr;
      for (int round = 0; round < kRounds; ++round) {
        std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
          const bool ok = session.GetInteger(".1.3.6.1.2.1.1.3.0") == 12345;
          session.GetMacAddress(".1.3.6.1.4.1.99.6.1.0", &text);
          (ok && std::string(text) == "00:10:e2:a1:b2:c3" ? good : bad)++;
        });
        if (failed != nullptr) bad++;
      }
      std::free(text);
    });
  }
  for (std::thread& thread : threads) thread.join();
  SnmpV3CredentialStore::Instance().Set(SnmpV3Credentials());
  EXPECT_EQ(good.load(), kDevices * kRounds);
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
}  // namespace orla
