#include "zepa_log.h"

#include <atomic>
#include <cstdio>

#include "platform/eventlog/event_log_writer.h"

namespace orla {

namespace {
std::atomic<PFN_ZEPA_LOG> g_callback{nullptr};

// The agent's own event identifiers and types for plain entries.
constexpr uint32_t kEventIdPlain = 0x80000005u;
}  // namespace

void ZepaLog::SetCallback(PFN_ZEPA_LOG callback) { g_callback.store(callback); }

void ZepaLog::Write(int severity, const std::string& text) {
  if (PFN_ZEPA_LOG callback = g_callback.load()) {
    callback(severity, text.c_str());
    return;
  }
  static const char* const kPrefix[] = {"INFO: ", "WARNING: ", "CRITICAL: "};
  static const uint16_t kType[] = {4, 2, 1};
  if (severity < 0 || severity > 2) severity = kWarning;
  const int rc = EventLogWriter::Report("KORAgent", kType[severity], 0, kEventIdPlain,
                                        std::string(kPrefix[severity]) + text, nullptr, 0);
  if (rc != 0) std::fprintf(stderr, "%s%s\n", kPrefix[severity], text.c_str());
}

}  // namespace orla
