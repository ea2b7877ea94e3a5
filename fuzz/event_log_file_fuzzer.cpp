// The event-log file (KORAGENT_EVENT_LOG): the events page reads it back
// from its end, line by line, when a visitor pages past the in-memory events.
// The file is the agent's own output, but anyone who can write to it (or a
// disk that tears a line) decides its bytes. The target reads the input as
// such a file with a small read budget as well, so the read's start falls
// inside lines too. Every entry taken must have a time and a severity the
// console can show.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "agent/web/event_log_file_reader.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const orla::fuzz::FuzzFolder& folder = orla::fuzz::FuzzFolder::Get();
  const std::string path = folder.Write("events.jsonl", data, size);
  for (const size_t budget : {size_t{4096}, orla::EventLogFileReader::kReadBudgetBytes}) {
    orla::EventLogFileReader::VisitNewestFirst({path}, -1, [](orla::RecordedEvent& event) {
      if (event.timeMs < 0 || event.severity < 0 || event.severity > 2 || event.sequence != 0) std::abort();
      return true;
    }, budget);
  }
  return 0;
}
