// Elements whose device cannot be bound at the load: kept unbound in memory
// and in the element file, listed as unknown, retried by their own thread
// (on a clock the test advances) and bound once the device answers.
// Run under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "tests/support/snapshot_reads.h"
#include "tests/support/code_of.h"
#include "tests/support/wait_until.h"
#include "tests/unit/devices/devices_fixture.h"

namespace orla::test {
namespace {

constexpr int32_t kInterval = 300;

class UnboundElementTest : public DevicesFixture {
 protected:
  // A registry on KORAgent.db running its threads on clock_, loaded.
  std::unique_ptr<ElementRegistry> Start() {
    auto registry = std::make_unique<ElementRegistry>(dir_.File("KORAgent.db"), kInterval);
    registry->SetStatusChangeListener(&listener_);
    registry->SetClock(&clock_);
    registry->LoadElements();
    return registry;
  }
  // Waits until the list string holds `record` (status, name, address, model).
  static bool Lists(ElementRegistry& registry, const std::string& record) {
    return WaitUntil([&] { return registry.ListElements(false).find(record) != std::string::npos; });
  }
};

// A silent device and one that no type claims: each survives restarts and
// rewrites of the file, is listed as unknown with a model text that says
// why, and is bound and polled within one interval of answering.
TEST_F(UnboundElementTest, AnUnboundElementIsKeptListedAndBoundOnceItsDeviceAnswers) {
  const struct {
    const char* what;
    int32_t recognize;
    const char* model;
    const char* logged;
  } cases[] = {
      {"silent", 2006, "Not responding", "No response from target at specified address."},
      {"unclaimed", -1, "Not recognised", "The specified device is unsupported."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    dir_.Write("KORAgent.db", "tc01|10.9.0.1\ntc02|10.9.0.2\ntc03|10.9.0.3\n");
    SetDevice("10.9.0.1", [&](FakeDevice& d) { d.recognize = c.recognize; });
    for (int restart = 0; restart < 2; ++restart) {
      auto registry = Start();
      EXPECT_EQ(registry->ElementCount(), 3);
      EXPECT_EQ(registry->ListElements(false).find(std::string("-1|tc01|10.9.0.1|") + c.model + "|"), 0u);
      EXPECT_EQ(registry->OverallStatus(), '1');  // counted as unknown
      EXPECT_EQ(MajorClassAt(*registry, "10.9.0.1"), -1);
      // A rewrite of the file (rename of another element) keeps its line.
      registry->RenameElement(restart == 0 ? "tc03" : "tc09", restart == 0 ? "tc09" : "tc03");
      EXPECT_EQ(dir_.Read("KORAgent.db").rfind("tc01|10.9.0.1\n", 0), 0u);
    }
    EXPECT_EQ(log_.Count(std::string("WARNING: Element tc01 (10.9.0.1): ") + c.logged), 2) << c.what;
    EXPECT_EQ(log_.Count(c.logged), 2) << "only the entries that name the element";

    auto registry = Start();
    SetDevice("10.9.0.1", [](FakeDevice& d) { d.recognize = 1; });
    ASSERT_TRUE(clock_.WaitForWaiters(3));  // two polling threads and the retrying one
    clock_.Advance(std::chrono::seconds(kInterval));
    EXPECT_TRUE(Lists(*registry, "0|tc01|10.9.0.1|Fake tape controller|http://10.9.0.1/"));
    EXPECT_EQ(registry->OverallStatus(), '0');
    EXPECT_EQ(MajorClassAt(*registry, "10.9.0.1"), 0x77);
    EXPECT_EQ(log_.Count("INFO: Element tc01 (10.9.0.1): the device answers and is recognised as type fake"), 1);
    registry.reset();
    EXPECT_EQ(dir_.Read("KORAgent.db"), "tc01|10.9.0.1\ntc02|10.9.0.2\ntc03|10.9.0.3\n");
    Control().Reset();
    log_.Clear();
  }
}

// Remove and rename work on an unbound element; a trap from its address is
// logged with the agent's own text and prompts a retry at once.
TEST_F(UnboundElementTest, RenameRemoveAndTrapsOfAnUnboundElement) {
  dir_.Write("KORAgent.db", "tc01|10.9.0.1\ntc02|10.9.0.2\n");
  SetDevice("10.9.0.1", [](FakeDevice& d) { d.recognize = 2006; });
  SetDevice("10.9.0.2", [](FakeDevice& d) { d.recognize = -1; });
  auto registry = Start();
  EXPECT_EQ(CodeOf([&] { registry->ConfigureTrapReceiver("tc01"); }), 2011);
  EXPECT_EQ(CodeOf([&] { registry->ConfigureTrapReceiver("tc02"); }), 8);

  registry->RenameElement("tc01", "lib1");
  uint8_t data[600] = {};
  char message[1000] = {};
  EXPECT_EQ(DeliverTrap(*registry, EnterpriseTrap(1, 7).get(), data, message), 2);
  EXPECT_STREQ(message, "lib1 (10.9.0.1): Enterprise-specific trap 7, from a device whose type is not known yet.");

  // The device is back: a trap from it binds the element without waiting
  // out the interval (the clock does not move), under its new name.
  SetDevice("10.9.0.1", [](FakeDevice& d) { d.recognize = 1; });
  registry->TrapArrivedFrom("10.9.0.1");
  EXPECT_TRUE(Lists(*registry, "0|lib1|10.9.0.1|Fake tape controller|"));

  registry->RemoveElement("tc02");
  EXPECT_EQ(dir_.Read("KORAgent.db"), "lib1|10.9.0.1\n");
  EXPECT_FALSE(registry->IsManaged("10.9.0.2"));
  // Its retry thread is gone with it: an answering device binds nothing.
  SetDevice("10.9.0.2", [](FakeDevice& d) { d.recognize = 1; });
  clock_.Advance(std::chrono::seconds(kInterval));
  registry.reset();
  EXPECT_EQ(dir_.Read("KORAgent.db"), "lib1|10.9.0.1\n");
}

}  // namespace
}  // namespace orla::test
