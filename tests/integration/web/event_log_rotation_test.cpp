// The event-log file's bound under load and under crashes: two writers (the
// agent's own event log code, in kor-log-writer processes, as the agent and
// the users tool both append to the file) write KOR_ROTATION_MB megabytes
// (default 200) through a small bound (4 MiB in 4 files) while they are
// killed with SIGKILL at random moments and started again. Afterwards the
// files hold at most the bound; every line parses as an entry except at most
// one line cut short per kill; each writer's entries follow each other
// without a gap, across rotations (a gap only where a kill ended a run); and
// KORAgent started on those files pages its events page back ("Older")
// across all of them to the oldest entry kept.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "agent/web/event_log_file_reader.h"
#include "platform/text/string_printf.h"
#include "tests/integration/web/agent_pages_fixture.h"
#include "tests/support/file_text.h"
#include "tests/support/text_lines.h"

namespace orla {
namespace {

using test::Contains;

constexpr int kFiles = 4;
constexpr uint64_t kBound = 4u << 20;

class EventLogRotation : public test::AgentPagesFixture {
 protected:
  struct Writer {
    test::AgentProcess process;
    int run = 0;
  };

  void StartWriter(Writer& writer, int id) {
    ASSERT_TRUE(writer.process.Start(KOR_LOG_WRITER, {std::to_string(id), std::to_string(++writer.run)}, env_));
  }
  // Kills the writer; the bytes it wrote, as it last said.
  uint64_t KillWriter(Writer& writer) {
    ::kill(writer.process.Pid(), SIGKILL);
    int code = 0;
    EXPECT_TRUE(writer.process.Wait(&code));
    const std::vector<std::string> lines = test::Lines(writer.process.Output());
    return lines.empty() ? 0 : std::strtoull(lines.back().c_str(), nullptr, 10);
  }

  std::string log_ = dir_.File("events.jsonl");
  std::vector<std::string> env_ = {"KORAGENT_EVENT_LOG=" + log_, StringPrintf("KORAGENT_EVENT_LOG_MAX_SIZE=%llu",
                                   static_cast<unsigned long long>(kBound)),
                                   StringPrintf("KORAGENT_EVENT_LOG_FILES=%d", kFiles)};
};

TEST_F(EventLogRotation, BoundedWholeAndWalkedAcrossFilesAfterKills) {
  const char* megabytes = std::getenv("KOR_ROTATION_MB");
  const uint64_t target = (megabytes != nullptr ? std::strtoull(megabytes, nullptr, 10) : 200) << 20;
  std::mt19937 random(std::random_device{}());
  Writer writers[2];
  for (int id = 0; id < 2; ++id) StartWriter(writers[id], id);
  uint64_t written = 0;
  int kills = 0;
  const auto started = std::chrono::steady_clock::now();
  while (written < target) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(20, 400)(random)));
    const int id = std::uniform_int_distribution<int>(0, 1)(random);
    written += KillWriter(writers[id]);
    ++kills;
    StartWriter(writers[id], id);
  }
  for (Writer& writer : writers) written += KillWriter(writer);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  // Within the bound, every line an entry but those cut short, no entry
  // lost between two of a run.
  uint64_t total = 0;
  int cut = 0;
  size_t entries = 0;
  std::optional<std::pair<int, long>> last[2];
  std::string oldest;
  for (int age = kFiles - 1; age >= 0; --age) {
    const std::string file = age == 0 ? log_ : StringPrintf("%s.%d", log_.c_str(), age);
    if (!std::filesystem::exists(file)) continue;
    total += std::filesystem::file_size(file);
    for (const std::string& line : test::Lines(test::ReadFile(file))) {
      RecordedEvent event;
      if (!EventLogFileReader::ParseLine(line, &event)) {
        EXPECT_EQ(line.rfind("{\"time\":\"", 0), 0u) << file << ": " << line.substr(0, 80);
        ++cut;
        continue;
      }
      int id = -1, run = 0;
      long number = 0;
      ASSERT_EQ(std::sscanf(event.text.c_str(), "INFO: w%d r%d n%ld ", &id, &run, &number), 3) << event.text;
      ASSERT_TRUE(id == 0 || id == 1);
      if (oldest.empty() && id == 0) oldest = event.text.substr(0, event.text.find(' ', 12));
      if (last[id]) {
        const auto [lastRun, lastNumber] = *last[id];
        if (run == lastRun) {
          EXPECT_EQ(number, lastNumber + 1) << "writer " << id << " run " << run << " in " << file;
        } else {
          EXPECT_GT(run, lastRun);
          EXPECT_EQ(number, 0) << "writer " << id << " run " << run << " in " << file;
        }
      }
      last[id] = {run, number};
      ++entries;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(log_ + StringPrintf(".%d", kFiles)));
  EXPECT_LE(total, kBound);
  EXPECT_LE(cut, kills);

  // The events page pages back across every file to the oldest entry kept.
  Start(env_);
  Login(dir_.File("jar"));
  const test::HttpsReply first = Page("events.json?text=w0%20r&limit=1", dir_.File("jar"));
  const size_t at = first.body.find("\"total\":");
  ASSERT_NE(at, std::string::npos) << first.body;
  const long matches = std::atol(first.body.c_str() + at + 8);
  EXPECT_TRUE(Contains(first.body, "\"complete\":true")) << first.body.substr(0, 200);
  EXPECT_GT(matches, 100);
  const test::HttpsReply older = Page(StringPrintf("events.json?text=w0%%20r&limit=1&offset=%ld", matches - 1),
                                      dir_.File("jar"));
  EXPECT_TRUE(Contains(older.body, "\"text\":\"" + oldest + " ")) << oldest << "\n" << older.body.substr(0, 300);
  std::printf("event-log rotation: %.0f MB written in %.0f s through a %llu MiB bound in %d files, %d kills, "
              "%zu entries kept in %.2f MiB, %d lines cut short, %ld entries of writer 0 paged back across them\n",
              static_cast<double>(written) / 1e6, seconds, static_cast<unsigned long long>(kBound >> 20), kFiles,
              kills, entries, static_cast<double>(total) / (1 << 20), cut, matches);
}

}  // namespace
}  // namespace orla
