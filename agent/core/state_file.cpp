#include "agent/core/state_file.h"

#include <cerrno>
#include <cstdio>

#include "agent/core/event_log.h"
#include "agent/core/tab_separated_line.h"
#include "platform/text/atomic_file.h"
#include "platform/text/regular_file.h"

namespace orla {

bool StateFile::ParseRecords(const std::string& text, const std::string& header, const std::string& what,
                             const RecordReader& record, std::string* error) {
  size_t start = 0;
  int number = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      *error = "line " + std::to_string(number + 1) + " does not end";
      return false;
    }
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (number == 1) {
      if (line != header) {
        *error = "line 1 is not \"" + header + "\"";
        return false;
      }
      continue;
    }
    if (!record(TabSeparatedLine::Fields(line))) {
      *error = "line " + std::to_string(number) + " is not " + what;
      return false;
    }
  }
  if (number == 0) {
    *error = "the file is empty";
    return false;
  }
  return true;
}

int StateFile::Read(const std::string& path, size_t maxBytes, const Parser& parse, std::string* error) {
  std::string text;
  const int rc = RegularFile::Read(path, &text, false, maxBytes);
  if (rc == ENOENT) return 0;
  if (rc != 0) {
    *error = RegularFile::Describe(path, rc);
    return rc;
  }
  return parse(text, error) ? 0 : kDamaged;
}

int StateFile::Write(const std::string& path, const std::string& text) { return AtomicFile::Write(path, text, 0600); }

void StateFile::SetAside(const std::string& path, int64_t nowMs, const std::string& what, const std::string& error,
                         const std::string& consequence, int severity) {
  const std::string aside = path + ".damaged-" + std::to_string(nowMs);
  const bool kept = std::rename(path.c_str(), aside.c_str()) == 0;
  EventLog::Write(severity, what + " in " + path + " cannot be read (" + error + "); " +
                                           (kept ? "the file was kept as " + aside : "the file could not be moved aside") +
                                           " and " + consequence + ".");
}

}  // namespace orla
