// Adding an element while memory runs out: every allocation of the add is
// made to fail in turn. Whatever fails, the add answers with an
// OrlaException (3001 for memory), never a bare std::bad_alloc, and leaves
// the registry as it was: no element half in it, none leaked with its
// polling thread (LeakSanitizer checks the latter at exit).
#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string>

#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "tests/support/allocation_failure.h"
#include "tests/unit/devices/devices_fixture.h"

namespace orla::test {
namespace {

class ElementAllocationTest : public DevicesFixture {};

TEST_F(ElementAllocationTest, EveryFailedAllocationOfAnAddIsAnOrlaExceptionAndLeavesNothing) {
  auto registry = std::make_unique<ElementRegistry>(dir_.File("KORAgent.db"), 3600);
  registry->SetStatusChangeListener(&listener_);
  registry->LoadElements();
  registry->AddElement("tc01", "10.9.0.1", 3600);

  int failures = 0;
  for (int n = 1; n < 20000; ++n) {
    std::string escaped;
    int code = 0;
    FailNthAllocation(n);
    try {
      registry->AddElement("tc02", "10.9.0.2", 3600);
    } catch (OrlaException* e) {
      std::unique_ptr<OrlaException> owned(e);
      code = e->Code();
    } catch (const std::bad_alloc&) {
      escaped = "std::bad_alloc";
    }
    const bool failed = AllocationFailed();
    EXPECT_EQ(escaped, "") << "allocation " << n;
    if (!failed) {
      EXPECT_EQ(code, 0) << "allocation " << n;
      break;
    }
    ++failures;
    if (code != 0) {
      EXPECT_EQ(code, 3001) << "allocation " << n;
    }
    // In or out as a whole: a failure after the element joined the list
    // (saving the file) leaves it in, as a failed save does.
    const bool in = registry->IsManaged("10.9.0.2");
    EXPECT_EQ(registry->ElementCount(), in ? 2 : 1) << "allocation " << n;
    if (in) registry->RemoveElement("tc02");
  }
  EXPECT_GT(failures, 10);
  EXPECT_EQ(registry->ElementCount(), 2);
  EXPECT_EQ(dir_.Read("KORAgent.db"), "tc01|10.9.0.1\ntc02|10.9.0.2\n");
}

}  // namespace
}  // namespace orla::test
