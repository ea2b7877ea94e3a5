// kor-log-writer WRITER RUN: writes entries "w<WRITER> r<RUN> n<NUMBER> "
// plus 100 to 3,000 bytes of filler through the agent's event log (the
// settings of its environment, the system log left alone) as fast as it can,
// printing the bytes written so far after each, until it is killed.
#include <cstdio>
#include <random>
#include <string>

#include "agent/core/agent_settings.h"
#include "agent/core/event_log.h"
#include "platform/eventlog/event_log_writer.h"

int main(int argc, char** argv) {
  using namespace orla;
  if (argc != 3 || !AgentSettings::Load().empty()) return 2;
  EventLogWriter::SetSystemLog(false);
  std::mt19937 random(static_cast<unsigned>(std::stoi(argv[1]) * 7919 + std::stoi(argv[2])));
  unsigned long long bytes = 0;
  for (unsigned long long n = 0;; ++n) {
    const std::string text = std::string("w") + argv[1] + " r" + argv[2] + " n" + std::to_string(n) + " " +
                             std::string(std::uniform_int_distribution<size_t>(100, 3000)(random), static_cast<char>('a' + n % 26));
    EventLog::Write(EventLog::kInfo, text);
    std::printf("%llu\n", bytes += text.size() + 130);  // 130: the line around the text
    std::fflush(stdout);
  }
}
