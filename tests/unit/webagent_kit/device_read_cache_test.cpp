// The device web agent's shared readings: one read for viewers who ask at
// once, kept for its lifetime, dropped by a change, never kept across one.
#include "plugins/webagent_kit/device_read_cache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/manual_clock.h"

namespace orla {
namespace {

// A module's reading and kinds of page, as far as the cache cares.
enum class Kind { kUnits, kPorts, kEvents };
struct Reading {
  int errorCode = 0;
  std::string errorMessage;
};
using Cache = DeviceReadCache<Reading, Kind>;

class DeviceReadCacheTest : public ::testing::Test {
 protected:
  // A reading that tells which read made it. Each says the device did not
  // answer (a time-out): such readings are kept like any other.
  Reading Next() {
    Reading reading;
    reading.errorCode = 40;
    reading.errorMessage = std::to_string(++reads_);
    return reading;
  }
  std::string Get(const std::string& machine, const std::string& community = "public", Kind kind = Kind::kUnits) {
    return cache_.Get(machine, community, kind, [this] { return Next(); })->errorMessage;
  }

  test::ManualClock clock_;
  std::atomic<int> reads_{0};
  Cache cache_{std::chrono::milliseconds(3000), &clock_};
};

TEST_F(DeviceReadCacheTest, AReadingIsKeptForItsLifetimePerDeviceCommunityAndKind) {
  EXPECT_EQ(Get("10.1.2.3"), "1");
  clock_.Advance(std::chrono::milliseconds(2999));
  EXPECT_EQ(Get("10.1.2.3"), "1");
  // Another community, kind or device is another reading.
  EXPECT_EQ(Get("10.1.2.3", "private"), "2");
  EXPECT_EQ(Get("10.1.2.3", "public", Kind::kEvents), "3");
  EXPECT_EQ(Get("10.1.2.30"), "4");
  clock_.Advance(std::chrono::milliseconds(1));
  EXPECT_EQ(Get("10.1.2.3"), "5");
  // A change drops every reading of its device, and only those.
  cache_.Drop("10.1.2.3");
  EXPECT_EQ(Get("10.1.2.3", "public", Kind::kEvents), "6");
  EXPECT_EQ(Get("10.1.2.30"), "4");
  EXPECT_EQ(cache_.ReadsStarted(), 6u);
}

TEST_F(DeviceReadCacheTest, ViewersWhoAskDuringAReadShareIt) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> asked{0};
  const Cache::Reader slow = [&] {
    released.wait();
    return Next();
  };
  std::vector<std::future<std::string>> viewers;
  for (int i = 0; i < 16; ++i) {
    viewers.push_back(std::async(std::launch::async, [&] {
      ++asked;
      return cache_.Get("10.1.2.3", "public", Kind::kPorts, slow)->errorMessage;
    }));
  }
  while (asked.load() < 16) std::this_thread::yield();
  release.set_value();
  for (auto& viewer : viewers) EXPECT_EQ(viewer.get(), "1");
  EXPECT_EQ(reads_.load(), 1);
}

TEST_F(DeviceReadCacheTest, AReadUnderWayWhenTheDeviceChangesAnswersItsViewersButIsNotKept) {
  std::promise<void> started;
  std::promise<void> release;
  std::future<std::string> viewer = std::async(std::launch::async, [&] {
    return cache_.Get("10.1.2.3", "public", Kind::kUnits, [&] {
      started.set_value();
      release.get_future().wait();
      return Next();
    })->errorMessage;
  });
  started.get_future().wait();
  cache_.Drop("10.1.2.3");
  release.set_value();
  EXPECT_EQ(viewer.get(), "1");
  EXPECT_EQ(Get("10.1.2.3"), "2");
}

TEST_F(DeviceReadCacheTest, AFailedReadIsNotKept) {
  EXPECT_THROW(cache_.Get("10.1.2.3", "public", Kind::kUnits, []() -> Reading { throw std::runtime_error("x"); }),
               std::runtime_error);
  EXPECT_EQ(Get("10.1.2.3"), "1");
}

}  // namespace
}  // namespace orla
