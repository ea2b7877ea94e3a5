#pragma once
// StateFile: the small owner-only files of the agent directory that keep
// what people decided (alarm acknowledgements, maintenance windows) and
// what must outlive a restart (the conditions traps raised). Each
// is read whole (a missing file is an empty one), rewritten atomically with
// mode 0600, and, when it cannot be read at start, moved aside for a person
// to look at while the agent starts without it. The formats are their own
// (AlarmFile, MaintenanceFile); this is what they have in common.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "agent/core/event_log.h"

namespace orla {

class StateFile {
 public:
  // Read's answer for a text its parser refuses.
  static constexpr int kDamaged = -100;
  using Parser = std::function<bool(const std::string& text, std::string* error)>;
  // Takes one record's fields; false when they are not a record.
  using RecordReader = std::function<bool(const std::vector<std::string>& fields)>;

  // The common layout of these files: a header line, then one record a
  // line in tab-separated fields (TabSeparatedLine). True when every line
  // ends, the first is `header` and `record` takes every other; false with
  // *error naming the line ("line 3 is not a maintenance window", `what`
  // saying what a record is) or "the file is empty".
  static bool ParseRecords(const std::string& text, const std::string& header, const std::string& what,
                           const RecordReader& record, std::string* error);

  // Reads `path` (at most `maxBytes`): 0 when it is missing (`parse` not
  // called: the caller's table stays empty) or `parse` takes its text; the
  // error number with *error when it cannot be read; kDamaged with
  // `parse`'s *error when it refuses the text.
  static int Read(const std::string& path, size_t maxBytes, const Parser& parse, std::string* error);
  // Rewrites `path` with `text` (mode 0600): 0, or the error number with
  // the old file untouched.
  static int Write(const std::string& path, const std::string& text);
  // A file Read failed on: renamed "<path>.damaged-<nowMs>" (the next save
  // starts a new file) and logged at `severity` (CRITICAL unless given):
  // "<what> in <path> cannot be read (<error>); the file was kept as
  // <aside> and <consequence>."
  static void SetAside(const std::string& path, int64_t nowMs, const std::string& what, const std::string& error,
                       const std::string& consequence, int severity = EventLog::kCritical);
};

}  // namespace orla
