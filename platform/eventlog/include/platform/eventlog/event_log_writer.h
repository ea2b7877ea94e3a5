#pragma once
// The application event log of this host: one entry goes to journald when its
// socket exists, otherwise to syslog(3) under the ident "KORAgent"; and, when
// a file has been named with SetFilePath (the agent passes its
// KORAGENT_EVENT_LOG setting), the entry is also appended to that file as one
// JSON object on a line.
//
// The file is bounded: its entries and the older files together hold at
// most MaxBytes, rotated as JsonLinesFile describes ("events.jsonl" becomes
// "events.jsonl.1", ...), written by several processes without mixing lines.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orla {

class EventLogWriter {
 public:
  // The JSON-lines file that receives every entry from now on; empty for
  // none (the initial state). Any thread may call it.
  static void SetFilePath(const std::string& path);
  static std::string FilePath();

  static constexpr uint64_t kDefaultMaxBytes = 16 * 1024 * 1024;
  static constexpr int kDefaultFiles = 4;
  static constexpr uint64_t kMinFileBytes = 16 * 1024;
  // The bound of the file and its older files together, and how many files
  // that is (the live one among them); at least kMinFileBytes for each.
  static void SetFileLimits(uint64_t maxBytes, int files);
  static uint64_t MaxBytes();
  // The live file and the older ones, newest first (whether they exist or
  // not): "path", "path.1", ... Empty when no file is named.
  static std::vector<std::string> FilePaths();
  // Whether entries go to journald or syslog (the initial state); a fuzz
  // target turns it off so its bad inputs stay off the host's log.
  static void SetSystemLog(bool enabled);

  // The step of writing an entry that failed: opening the log (registering
  // the event source) or writing the entry to it (reporting the event).
  enum class Step { kNone, kOpen, kWrite };

  // The element an entry is about (both empty for none): written into the
  // file line as "element" and "address" after "data", and into the
  // journal entry as ORLA_ELEMENT and ORLA_ADDRESS, each only when known.
  // `severity`, when not empty, is the severity the console shows where it
  // differs from the entry's type ("info", "warning", "critical": a
  // received trap's, as its plug-in reads it): "severity" in the file line,
  // ORLA_SEVERITY in the journal.
  struct Subject {
    std::string element;
    std::string address;
    std::string severity;
  };

  // Writes one entry. `text` is the full insertion string (already prefixed
  // with its severity). Returns 0 on success, otherwise an errno value; the
  // step that failed goes to `failed` when given.
  static int Report(const char* source, uint16_t eventType, uint16_t category, uint32_t eventId,
                    const std::string& text, const void* data, size_t dataSize, Step* failed = nullptr);
  // Report with the entry's time given (milliseconds since 1970-01-01 UTC),
  // so a caller that also keeps the entry elsewhere records the same instant
  // the file line carries.
  static int ReportAt(int64_t timeMs, const char* source, uint16_t eventType, uint16_t category,
                      uint32_t eventId, const std::string& text, const void* data, size_t dataSize,
                      Step* failed = nullptr, const Subject& subject = Subject());

  // "2026-12-07T10:00:00.123Z" for a time in milliseconds since 1970 (UTC),
  // the time-stamp text of the file lines.
  static std::string IsoTime(int64_t ms);

  // The JSON line written to the KORAGENT_EVENT_LOG file for one entry, without
  // the trailing newline. `isoTime` is the UTC time stamp text.
  static std::string JsonLine(const std::string& isoTime, const char* source, uint16_t eventType,
                              uint16_t category, uint32_t eventId, const std::string& text,
                              const void* data, size_t dataSize, const Subject& subject = Subject());

  // Escapes a text for a JSON string literal (without the quotes).
  static std::string JsonEscape(const std::string& text);
};

}  // namespace orla
