#include "agent/core/file_limit_report.h"

#include <atomic>

#include "agent/core/event_log.h"
#include "platform/sysinfo/open_file_limit.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

std::atomic<bool> reported{false};

}  // namespace

bool FileLimitReport::IsLimitError(uint32_t osError) { return OpenFileLimit::IsReached(osError); }

void FileLimitReport::Reached(const std::string& element) {
  if (reported.exchange(true)) return;
  EventLog::Write(EventLog::kCritical,
                  StringPrintf("The limit of %llu open files has been reached at %s. Elements that need a file or "
                               "a socket now fail until files are closed again. Raise LimitNOFILE in the service "
                               "unit and restart the agent.",
                               static_cast<unsigned long long>(OpenFileLimit::Current()), element.c_str()));
}

void FileLimitReport::Reset() { reported.store(false); }

}  // namespace orla
