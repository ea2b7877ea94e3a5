// kor-log-writer: writes event-log entries through the agent's own event log
// (EventLog, with the settings of its environment: KORAGENT_EVENT_LOG and its
// bound) as fast as it can, for the rotation test that kills it at random
// moments. Each entry's text is "w<WRITER> r<RUN> n<NUMBER> " and filler of
// a length from 100 to 3,000 bytes; after every entry it prints the bytes
// written so far, so the test knows how much went through the log before a
// kill. The system log is left alone.
//
//   kor-log-writer WRITER RUN
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "agent/core/agent_settings.h"
#include "agent/core/event_log.h"
#include "platform/eventlog/event_log_writer.h"

int main(int argc, char** argv) {
  using namespace orla;
  if (argc != 3) return 2;
  const std::string error = AgentSettings::Load();
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  EventLogWriter::SetSystemLog(false);
  std::mt19937 random(static_cast<unsigned>(std::atoi(argv[1]) * 7919 + std::atoi(argv[2])));
  std::uniform_int_distribution<size_t> length(100, 3000);
  unsigned long long bytes = 0;
  for (unsigned long long n = 0;; ++n) {
    const std::string text = "w" + std::string(argv[1]) + " r" + argv[2] + " n" + std::to_string(n) + " " +
                             std::string(length(random), 'a' + static_cast<char>(n % 26));
    EventLog::Write(EventLog::kInfo, text);
    bytes += text.size() + 130;  // the line around the text
    std::printf("%llu\n", bytes);
    std::fflush(stdout);
  }
}
