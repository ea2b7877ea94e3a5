#pragma once
// Points the event-log file at a private file for the life of the object (the
// in-process setting, and KORAGENT_EVENT_LOG for the programs a test starts)
// and reads back the entries written to it. Create it before starting
// threads.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/scoped_env.h"
#include "tests/support/scoped_settings.h"

namespace orla::test {

struct CapturedEvent {
  int eventType = 0;
  int category = 0;
  uint32_t eventId = 0;
  std::string text;
  std::string dataHex;
  std::string line;
};

class EventLogCapture {
 public:
  EventLogCapture();
  ~EventLogCapture();
  EventLogCapture(const EventLogCapture&) = delete;
  EventLogCapture& operator=(const EventLogCapture&) = delete;

  const std::string& Path() const { return path_; }
  std::vector<CapturedEvent> Events() const;
  std::vector<std::string> Texts() const;
  // Number of entries whose text contains `needle`.
  int Count(const std::string& needle) const;
  // Number of entries whose text is `text` (prefix included) and whose raw
  // data, read as text, contains `dataNeedle`.
  int CountWithData(const std::string& text, const std::string& dataNeedle) const;
  // Waits until at least `count` entries contain `needle`; false when they
  // have not come within `limit`.
  bool WaitFor(const std::string& needle, int count = 1,
               std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
  void Clear() const;

 private:
  std::string path_;
  ScopedEnv env_;
  ScopedSettings settings_;
};

}  // namespace orla::test
