#include "agent/core/state_file.h"

#include <cerrno>
#include <cstdio>

#include "agent/core/event_log.h"
#include "platform/text/atomic_file.h"
#include "platform/text/regular_file.h"

namespace orla {

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
                         const std::string& consequence) {
  const std::string aside = path + ".damaged-" + std::to_string(nowMs);
  const bool kept = std::rename(path.c_str(), aside.c_str()) == 0;
  EventLog::Write(EventLog::kCritical, what + " in " + path + " cannot be read (" + error + "); " +
                                           (kept ? "the file was kept as " + aside : "the file could not be moved aside") +
                                           " and " + consequence + ".");
}

}  // namespace orla
