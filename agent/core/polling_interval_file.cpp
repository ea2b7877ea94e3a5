#include "agent/core/polling_interval_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "agent/core/error_codes.h"
#include "agent/core/event_log.h"
#include "agent/core/orla_exception.h"
#include "platform/text/atomic_file.h"
#include "platform/text/regular_file.h"
#include "platform/text/string_printf.h"

namespace orla {

int PollingIntervalFile::Parse(const std::string& line) {
  // strtol saturates instead of overflowing.
  const long value = std::strtol(line.c_str(), nullptr, 10);
  if (value < kMin || value > kMax) return 0;
  return static_cast<int>(value);
}

bool PollingIntervalFile::Read(const std::string& path, int* seconds) {
  *seconds = kDefault;
  std::string content;
  if (const int err = RegularFile::Read(path, &content); err != 0) {
    EventLog::Write(EventLog::kWarning,
                    StringPrintf("Unable to open file %s - %s.", path.c_str(), RegularFile::ErrorText(err).c_str()));
    return false;
  }
  std::istringstream in(content);
  std::string line;
  if (!std::getline(in, line)) {
    EventLog::Write(EventLog::kWarning, StringPrintf("File %s is empty.  Defaults assumed.", path.c_str()));
    return false;
  }
  const int interval = Parse(line);
  if (interval == 0) {
    EventLog::Write(EventLog::kWarning,
                    StringPrintf("Invalid file format or number out of range in %s.  Defaults assumed.",
                                 path.c_str()));
    return false;
  }
  *seconds = interval;
  return true;
}

void PollingIntervalFile::Write(const std::string& path, int32_t seconds) {
  if (const int error = AtomicFile::WritePrivate(path, StringPrintf("%d\n", seconds)); error != 0) {
    throw new OrlaException(kErrFileSystem, static_cast<uint32_t>(error), kMsgFileSystem);
  }
}

}  // namespace orla
