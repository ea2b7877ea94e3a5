// ElementHistory through librrd: counters as the polls rate them
// (CounterRate) written to a real round-robin file and read back as the
// history endpoint reads them; the file's size fixed however long it is
// written; a rename and a removal carried to the file. Time is librrd's own
// time stamps and the manual clock: nothing waits.
#include "agent/history/element_history.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent/devices/counter_rate.h"
#include "agent/devices/plugin/device_plugin.h"
#include "agent/history/history_layout.h"
#include "platform/rrd/rrd_file.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace orla {
namespace {

const std::nullopt_t none = std::nullopt;
constexpr int64_t kStart = 1000020;  // a whole number of minutes since 1970
constexpr unsigned long kStep = 60;

// An element's polls as the registry hands them over: each poll's counters
// rated by CounterRate at its time, then given to the history.
class Polls {
 public:
  explicit Polls(ElementHistory* history, std::string name = "tc1") : history_(history), name_(std::move(name)) {}
  void At(int64_t second, int32_t part, int32_t kind, std::optional<uint64_t> value) {
    auto samples = std::make_shared<DeviceSamples>();
    samples->takenMs = second * 1000;
    DeviceSamples::Sample sample;
    sample.part = part;
    sample.index = part == plugin::kPartDevice ? 0 : 1;
    sample.kind = kind;
    sample.value = value;
    samples->samples.push_back(sample);
    rate_.Take(second * 1000, &samples->samples);
    history_->SamplesTaken(name_, samples);
  }

 private:
  ElementHistory* history_;
  std::string name_;
  CounterRate rate_;
};

ElementHistory::Options OptionsIn(const test::TempDir& dir, test::ManualClock* clock, unsigned long step = kStep) {
  ElementHistory::Options options;
  options.directory = dir.File("history");
  options.step = step;
  options.graceSeconds = 3600;
  options.clock = clock;
  return options;
}

TEST(ElementHistoryTest, RatesAndGapsComeBackAsThePollsLeftThem) {
  const int32_t port = plugin::kPartPort, device = plugin::kPartDevice;
  constexpr uint64_t kTop = CounterRate::kTop;
  struct Poll {
    int64_t second;  // after kStart; a missed poll is not in the list
    std::optional<uint64_t> value;
  };
  struct Case {
    const char* name;
    int32_t part;
    int32_t kind;
    std::vector<Poll> polls;
    // The point that ends at each of these seconds, in the unit shown.
    std::map<int64_t, std::optional<double>> points;
    const char* unit;
  };
  const Case cases[] = {
      {"a steady rate, per hour", port, plugin::kPortCrcErrors, {{0, 0}, {60, 60}, {120, 120}, {180, 180}},
       {{60, 3600}, {120, 3600}, {180, 3600}}, "errors/h"},
      {"the first sample has no rate", port, plugin::kPortCrcErrors, {{0, 500}, {60, 560}}, {{0, none}, {60, 3600}},
       "errors/h"},
      {"a counter that goes down starts again: a gap, then rates", port, plugin::kPortLinkFailures,
       {{0, 0}, {60, 600}, {120, 10}, {180, 70}}, {{60, 36000}, {120, none}, {180, 3600}}, "errors/h"},
      {"a wrap past 63 bits counts both sides", port, plugin::kPortRxOctets, {{0, kTop - 30}, {60, 30}},
       {{60, 1}}, "bytes/s"},
      {"one missed poll is spread over the time it lasted", port, plugin::kPortTxFrames,
       {{0, 0}, {60, 60}, {180, 1260}}, {{60, 1}, {120, 10}, {180, 10}}, "frames/s"},
      {"a longer silence is a gap, never zero", port, plugin::kPortCrcErrors,
       {{0, 0}, {60, 60}, {300, 90}, {360, 150}}, {{60, 3600}, {120, none}, {240, none}, {300, none}, {360, 3600}},
       "errors/h"},
      {"an unsupported counter is a gap", port, plugin::kPortCrcErrors, {{0, 0}, {60, 60}, {120, none}, {180, 120}},
       {{60, 3600}, {120, none}, {180, none}}, "errors/h"},
      {"mounts per day", plugin::kPartDrive, plugin::kDriveMounts, {{0, 100}, {60, 101}, {120, 101}},
       {{60, 1440}, {120, 0}}, "mounts/day"},
      {"a gauge is kept as it stands", device, plugin::kDeviceSlotsUsed, {{0, 40}, {60, 42}, {120, 41}},
       {{60, 42}, {120, 41}}, "slots"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    test::ManualClock clock(static_cast<uint32_t>(kStart));
    ElementHistory history(OptionsIn(dir, &clock));
    Polls polls(&history);
    for (const Poll& poll : c.polls) polls.At(kStart + poll.second, c.part, c.kind, poll.value);
    history.Flush();
    clock.Advance(std::chrono::seconds(c.polls.back().second));
    const std::optional<HistoryReading> reading = history.Read("tc1", "day");
    ASSERT_TRUE(reading.has_value());
    ASSERT_EQ(reading->series.size(), 1u);
    EXPECT_EQ(reading->series[0].unit, c.unit);
    EXPECT_EQ(reading->stepMs, static_cast<int64_t>(kStep) * 1000);
    for (const auto& [second, expected] : c.points) {
      SCOPED_TRACE(second);
      std::optional<std::optional<double>> found;
      for (size_t i = 0; i < reading->timesMs.size(); ++i) {
        if (reading->timesMs[i] == (kStart + second) * 1000) found = reading->series[0].points[i];
      }
      ASSERT_TRUE(found.has_value());
      ASSERT_EQ(found->has_value(), expected.has_value());
      if (expected) {
        EXPECT_NEAR(**found, *expected, 1e-6 * std::max(1.0, *expected));
      }
    }
  }
}

// The sizes docs/operator/web-interface.md gives: a controller of 8 ports
// (96 counters) at the installed polling interval of 300 s, after a day of
// polls; one port (12 counters) polled hourly, after a day and a year. The
// file is created at its size and keeps it.
TEST(ElementHistoryTest, TheFileKeepsItsSizeAfterADayAndAYearOfUpdates) {
  struct Case {
    unsigned long polling;
    int32_t ports;
    int days;
    off_t bytes;
  };
  for (const Case& c : {Case{300, 8, 1, 1399824}, Case{3600, 1, 365, 150096}}) {
    SCOPED_TRACE(c.polling);
    test::TempDir dir;
    test::ManualClock clock(static_cast<uint32_t>(kStart));
    ElementHistory history(OptionsIn(dir, &clock, c.polling));
    const auto size = [&] {
      struct stat info {};
      EXPECT_EQ(::stat(history.FileOf("tc1").c_str(), &info), 0);
      return info.st_size;
    };
    uint64_t count = 0;
    const auto poll = [&](int64_t second) {
      auto samples = std::make_shared<DeviceSamples>();
      samples->takenMs = second * 1000;
      count += 7;
      for (int32_t port = 1; port <= c.ports; ++port) {
        for (int32_t kind = plugin::kPortCrcErrors; kind <= plugin::kPortRxOctets; ++kind) {
          DeviceSamples::Sample s;
          s.part = plugin::kPartPort;
          s.index = port;
          s.kind = kind;
          s.value = count;
          s.perSecond = 7.0 / static_cast<double>(c.polling);
          samples->samples.push_back(s);
        }
      }
      history.SamplesTaken("tc1", samples);
      history.Flush();
    };
    poll(kStart);
    EXPECT_EQ(size(), c.bytes) << "when created";
    int64_t second = kStart;
    const int64_t perDay = 86400 / static_cast<int64_t>(c.polling);
    for (int64_t i = 0; i < perDay; ++i) poll(second += c.polling);
    EXPECT_EQ(size(), c.bytes) << "after a day";
    if (c.days < 365) continue;
    for (int64_t i = perDay; i < 365 * perDay; ++i) poll(second += c.polling);
    EXPECT_EQ(size(), c.bytes) << "after a year";
    // The year is still there, in daily points.
    clock.Advance(std::chrono::seconds(second - kStart));
    const std::optional<HistoryReading> year = history.Read("tc1", "year");
    ASSERT_TRUE(year.has_value());
    EXPECT_EQ(year->stepMs, 86400 * 1000);
    ASSERT_EQ(year->series.size(), 12u);
    EXPECT_TRUE(year->series[0].points[year->series[0].points.size() / 2].has_value());
  }
}

TEST(ElementHistoryTest, ARenamedElementsFileFollowsAndARemovedOnesGoesAfterTheGracePeriod) {
  test::TempDir dir;
  test::ManualClock clock(static_cast<uint32_t>(kStart));
  ElementHistory history(OptionsIn(dir, &clock));
  // The writer thread, as in the agent: the calls only queue.
  history.Start();
  Polls tc1(&history, "tc1");
  tc1.At(kStart, plugin::kPartPort, plugin::kPortCrcErrors, 0);
  history.Flush();
  EXPECT_TRUE(RrdFile(history.FileOf("tc1")).Exists());

  history.ElementRenamed("tc1", "tc 2/x");
  Polls renamed(&history, "tc 2/x");
  renamed.At(kStart + 60, plugin::kPartPort, plugin::kPortCrcErrors, 0);
  renamed.At(kStart + 120, plugin::kPartPort, plugin::kPortCrcErrors, 60);
  history.Flush();
  EXPECT_FALSE(RrdFile(history.FileOf("tc1")).Exists());
  EXPECT_EQ(history.FileOf("tc 2/x"), dir.File("history/tc%202%2Fx.rrd"));
  clock.Advance(std::chrono::seconds(120));
  const std::optional<HistoryReading> reading = history.Read("tc 2/x", "day");
  ASSERT_TRUE(reading.has_value());
  EXPECT_EQ(reading->series[0].points.back(), 3600.0) << "the renamed file goes on";

  history.ElementRemoved("tc 2/x");
  history.Flush();
  clock.Advance(std::chrono::seconds(3599));
  history.Flush();
  EXPECT_TRUE(RrdFile(history.FileOf("tc 2/x")).Exists()) << "within the grace period";
  clock.Advance(std::chrono::seconds(1));
  history.Flush();
  EXPECT_FALSE(RrdFile(history.FileOf("tc 2/x")).Exists());
  EXPECT_TRUE(history.Read("tc 2/x", "day")->series.empty());

  // A name that polls again within the grace period keeps its file.
  Polls back(&history, "tc3");
  back.At(kStart + 4000, plugin::kPartPort, plugin::kPortCrcErrors, 0);
  history.ElementRemoved("tc3");
  history.Flush();
  back.At(kStart + 4060, plugin::kPartPort, plugin::kPortCrcErrors, 1);
  clock.Advance(std::chrono::seconds(7200));
  history.Flush();
  EXPECT_TRUE(RrdFile(history.FileOf("tc3")).Exists());
  EXPECT_EQ(history.Dropped(), 0u);
  history.Stop();
}

TEST(ElementHistoryTest, PollsWaitingInMemoryAreReadAndWrittenAtStop) {
  test::TempDir dir;
  test::ManualClock clock(static_cast<uint32_t>(kStart));
  const auto lastPoint = [&](ElementHistory& history) {
    const std::optional<HistoryReading> reading = history.Read("tc1", "day");
    return reading && !reading->series.empty() ? reading->series[0].points.back() : std::nullopt;
  };
  clock.Advance(std::chrono::seconds(120));
  {
    // The writer thread, as in the agent, with fewer polls than a batch: no
    // Flush, so they are in memory only when read.
    ElementHistory history(OptionsIn(dir, &clock));
    history.Start();
    Polls polls(&history);
    for (int64_t second : {0, 60, 120}) polls.At(kStart + second, plugin::kPartPort, plugin::kPortCrcErrors, second);
    EXPECT_EQ(lastPoint(history), 3600.0) << "a read writes the element's polls first";
    polls.At(kStart + 180, plugin::kPartPort, plugin::kPortCrcErrors, 240);
  }
  // Stopped: its last poll was written.
  clock.Advance(std::chrono::seconds(60));
  ElementHistory again(OptionsIn(dir, &clock));
  EXPECT_EQ(lastPoint(again), 7200.0);
}

// Debian's rrdcached on a socket of its own, in the foreground, for one test.
class Rrdcached {
 public:
  explicit Rrdcached(const test::TempDir& dir) : socket_(dir.File("rrdcached.sock")) {
    const std::string listen = "unix:" + socket_;
    const std::string base = dir.Path();
    const char* argv[] = {"rrdcached", "-g", "-l", listen.c_str(), "-b", base.c_str(), "-F", nullptr};
    if (::posix_spawn(&pid_, "/usr/bin/rrdcached", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
      pid_ = 0;
    }
  }
  ~Rrdcached() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  bool Ready() const {
    struct stat info {};
    return pid_ > 0 && test::WaitUntil([&] { return ::stat(socket_.c_str(), &info) == 0; });
  }
  std::string Address() const { return "unix:" + socket_; }

 private:
  std::string socket_;
  pid_t pid_ = 0;
};

TEST(ElementHistoryTest, ThroughRrdcachedTheHistoryIsWrittenReadAndRenamedAlike) {
  // The daemon takes no file that begins before 1980.
  constexpr int64_t kRecent = 1700000040;
  test::TempDir dir;
  Rrdcached daemon(dir);
  ASSERT_TRUE(daemon.Ready());
  test::ManualClock clock(static_cast<uint32_t>(kRecent));
  ElementHistory::Options options = OptionsIn(dir, &clock);
  options.daemon = daemon.Address();
  ElementHistory history(options);
  Polls polls(&history);
  for (int64_t second : {0, 60, 120}) {
    polls.At(kRecent + second, plugin::kPartPort, plugin::kPortCrcErrors, static_cast<uint64_t>(second));
  }
  history.Flush();
  clock.Advance(std::chrono::seconds(120));
  std::optional<HistoryReading> reading = history.Read("tc1", "day");
  ASSERT_TRUE(reading.has_value());
  ASSERT_EQ(reading->series.size(), 1u);
  EXPECT_EQ(reading->series[0].points.back(), 3600.0) << "what the daemon holds is read";

  history.ElementRenamed("tc1", "tc2");
  history.Flush();
  EXPECT_FALSE(RrdFile(history.FileOf("tc1")).Exists());
  reading = history.Read("tc2", "day");
  ASSERT_EQ(reading->series.size(), 1u);
  EXPECT_EQ(reading->series[0].points.back(), 3600.0);
}

}  // namespace
}  // namespace orla
