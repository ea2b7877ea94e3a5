// The event-log file's bound under load and crashes: two kor-log-writer
// processes (the agent's event log code; the agent and the users tool share
// the file) write KOR_ROTATION_MB megabytes (default 200) through a 4 MiB
// bound in 4 files and are killed with SIGKILL at random moments. Then the
// files hold at most the bound, every line parses (at most one cut short a
// kill), each writer's entries run on without a gap across rotations, and
// KORAgent pages back ("Older") across all files to the oldest entry.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <thread>

#include "agent/web/event_log_file_reader.h"
#include "platform/text/string_printf.h"
#include "tests/integration/web/agent_pages_fixture.h"
#include "tests/support/file_text.h"
#include "tests/support/text_lines.h"

namespace orla {
namespace {

using test::Contains;

class EventLogRotation : public test::AgentPagesFixture {};

TEST_F(EventLogRotation, BoundedWholeAndWalkedAcrossFilesAfterKills) {
  const std::string log = dir_.File("events.jsonl");
  const std::vector<std::string> env = {"KORAGENT_EVENT_LOG=" + log, "KORAGENT_EVENT_LOG_MAX_SIZE=4M",
                                        "KORAGENT_EVENT_LOG_FILES=4"};
  const char* mb = std::getenv("KOR_ROTATION_MB");
  const uint64_t target = (mb != nullptr ? std::strtoull(mb, nullptr, 10) : 200) << 20;
  std::mt19937 random(std::random_device{}());
  test::AgentProcess writers[2];
  int runs[2] = {0, 0}, kills = 0;
  uint64_t written = 0;
  auto start = [&](int id) {
    ASSERT_TRUE(writers[id].Start(KOR_LOG_WRITER, {std::to_string(id), std::to_string(++runs[id])}, env));
  };
  auto kill = [&](int id) {  // adds what the writer said it wrote
    ::kill(writers[id].Pid(), SIGKILL);
    int code = 0;
    EXPECT_TRUE(writers[id].Wait(&code));
    const std::vector<std::string> said = test::Lines(writers[id].Output());
    written += said.empty() ? 0 : std::strtoull(said.back().c_str(), nullptr, 10);
  };
  start(0), start(1);
  for (; written < target; ++kills) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(20, 400)(random)));
    const int id = std::uniform_int_distribution<int>(0, 1)(random);
    kill(id), start(id);
  }
  kill(0), kill(1);

  uint64_t total = 0;
  int cut = 0;
  std::optional<std::pair<int, long>> last[2];
  std::string oldest;
  for (const char* age : {".3", ".2", ".1", ""}) {
    if (!std::filesystem::exists(log + age)) continue;
    total += std::filesystem::file_size(log + age);
    for (const std::string& line : test::Lines(test::ReadFile(log + age))) {
      RecordedEvent e;
      int id = -1, run = 0;
      long n = 0;
      if (!EventLogFileReader::ParseLine(line, &e)) {
        ++cut;
        continue;
      }
      ASSERT_EQ(std::sscanf(e.text.c_str(), "INFO: w%d r%d n%ld ", &id, &run, &n), 3) << e.text;
      if (oldest.empty() && id == 0) oldest = e.text.substr(0, e.text.find(' ', 12));
      // Within a run the next number; a new run (after a kill) from 0.
      if (last[id]) {
        EXPECT_EQ(n, run == last[id]->first ? last[id]->second + 1 : 0) << id << " " << run << age;
      }
      last[id] = {run, n};
    }
  }
  EXPECT_FALSE(std::filesystem::exists(log + ".4"));
  EXPECT_LE(total, 4u << 20);
  EXPECT_LE(cut, kills);

  Start(env);
  Login(dir_.File("jar"));
  const std::string first = Page("events.json?text=w0%20r&limit=1", dir_.File("jar")).body;
  const long matches = std::atol(first.c_str() + first.find("\"total\":") + 8);
  EXPECT_TRUE(Contains(first, "\"complete\":true")) << first.substr(0, 200);
  const std::string older = Page(StringPrintf("events.json?text=w0%%20r&limit=1&offset=%ld", matches - 1),
                                 dir_.File("jar")).body;
  EXPECT_TRUE(Contains(older, "\"text\":\"" + oldest + " ")) << oldest << "\n" << older.substr(0, 300);
  std::printf("event-log rotation: %.0f MB written, %d kills, %.2f MiB kept, %d lines cut short, %ld entries of "
              "writer 0 paged back\n", static_cast<double>(written) / 1e6, kills,
              static_cast<double>(total) / (1 << 20), cut, matches);
}

}  // namespace
}  // namespace orla
