#include "platform/eventlog/event_log_writer.h"

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#define SD_JOURNAL_SUPPRESS_LOCATION
#include <systemd/sd-journal.h>

#include "platform/eventlog/json_lines_file.h"
#include "platform/sync/clock.h"
#include "platform/text/string_printf.h"
#include "platform/text/utf8.h"

namespace orla {

namespace {

std::mutex& FileMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& FileName() {
  static std::string name;
  return name;
}

std::atomic<bool>& SystemLogEnabled() {
  static std::atomic<bool> enabled{true};
  return enabled;
}

const char* const kJournalSocket = "/run/systemd/journal/socket";

std::string HexBytes(const void* data, size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  if (data == nullptr) return out;
  const auto* bytes = static_cast<const unsigned char*>(data);
  out.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    out.push_back(digits[bytes[i] >> 4]);
    out.push_back(digits[bytes[i] & 0x0f]);
  }
  return out;
}

}  // namespace

std::string EventLogWriter::IsoTime(int64_t ms) {
  if (ms < 0) ms = 0;
  const time_t secs = static_cast<time_t>(ms / 1000);
  struct tm tmv;
  gmtime_r(&secs, &tmv);
  return StringPrintf("%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday,
                      tmv.tm_hour, tmv.tm_min, tmv.tm_sec, static_cast<int>(ms % 1000));
}

namespace {

int SyslogPriority(uint16_t eventType) {
  switch (eventType) {
    case 1: return LOG_ERR;
    case 2: return LOG_WARNING;
    default: return LOG_INFO;
  }
}

int ToJournal(const char* source, uint16_t eventType, uint16_t category, uint32_t eventId,
              const std::string& text, const void* data, size_t dataSize, const EventLogWriter::Subject& subject) {
  std::vector<std::string> fields;
  fields.push_back("MESSAGE=" + text);
  fields.push_back(StringPrintf("PRIORITY=%d", SyslogPriority(eventType)));
  fields.push_back(std::string("SYSLOG_IDENTIFIER=") + source);
  fields.push_back(StringPrintf("ORLA_EVENT_TYPE=%u", eventType));
  fields.push_back(StringPrintf("ORLA_CATEGORY=%u", category));
  fields.push_back(StringPrintf("ORLA_EVENT_ID=%u", eventId));
  if (data != nullptr && dataSize > 0) fields.push_back("ORLA_DATA=" + HexBytes(data, dataSize));
  if (!subject.element.empty()) fields.push_back("ORLA_ELEMENT=" + subject.element);
  if (!subject.address.empty()) fields.push_back("ORLA_ADDRESS=" + subject.address);
  if (!subject.severity.empty()) fields.push_back("ORLA_SEVERITY=" + subject.severity);
  std::vector<struct iovec> iov(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    iov[i].iov_base = fields[i].data();
    iov[i].iov_len = fields[i].size();
  }
  const int rc = sd_journal_sendv(iov.data(), static_cast<int>(iov.size()));
  return rc < 0 ? -rc : 0;
}

void ToSyslog(const char* source, uint16_t eventType, const std::string& text) {
  // openlog keeps the ident pointer; the source names we use are literals.
  static std::mutex guard;
  std::lock_guard<std::mutex> lock(guard);
  openlog(source, LOG_PID | LOG_NDELAY, LOG_DAEMON);
  syslog(SyslogPriority(eventType), "%s", text.c_str());
}

struct FileLimits {
  uint64_t maxBytes = EventLogWriter::kDefaultMaxBytes;
  int files = EventLogWriter::kDefaultFiles;
};

FileLimits& Limits() {
  static FileLimits limits;
  return limits;
}

int ToFile(const std::string& path, const std::string& line, const FileLimits& limits, EventLogWriter::Step* failed) {
  JsonLinesFile::Options options;
  options.maxBytes = limits.maxBytes;
  options.files = limits.files;
  JsonLinesFile::Step step = JsonLinesFile::Step::kNone;
  const int err = JsonLinesFile::Append(path, line, options, &step);
  if (err != 0) *failed = step == JsonLinesFile::Step::kOpen ? EventLogWriter::Step::kOpen : EventLogWriter::Step::kWrite;
  return err;
}

}  // namespace

std::string EventLogWriter::JsonEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  const size_t size = text.size();
  for (size_t i = 0; i < size;) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      // Well-formed UTF-8 passes unchanged; any other byte is written as the
      // character of the same number, so the line stays valid JSON.
      const size_t length = Utf8::SequenceLength(text, i);
      if (length > 0) {
        out.append(text, i, length);
        i += length;
      } else {
        out += StringPrintf("\\u%04x", c);
        ++i;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += StringPrintf("\\u%04x", c);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
    ++i;
  }
  return out;
}

std::string EventLogWriter::JsonLine(const std::string& isoTime, const char* source, uint16_t eventType,
                                     uint16_t category, uint32_t eventId, const std::string& text,
                                     const void* data, size_t dataSize, const Subject& subject) {
  std::string line =
      StringPrintf("{\"time\":\"%s\",\"source\":\"%s\",\"event_type\":%u,\"category\":%u,\"event_id\":%u,"
                   "\"text\":\"%s\",\"data\":\"%s\"",
                   isoTime.c_str(), JsonEscape(source).c_str(), eventType, category, eventId,
                   JsonEscape(text).c_str(), HexBytes(data, dataSize).c_str());
  if (!subject.element.empty()) line += ",\"element\":\"" + JsonEscape(subject.element) + "\"";
  if (!subject.address.empty()) line += ",\"address\":\"" + JsonEscape(subject.address) + "\"";
  if (!subject.severity.empty()) line += ",\"severity\":\"" + JsonEscape(subject.severity) + "\"";
  return line + "}";
}

void EventLogWriter::SetFileLimits(uint64_t maxBytes, int files) {
  std::lock_guard<std::mutex> hold(FileMutex());
  Limits().files = std::max(files, 1);
  Limits().maxBytes = std::max<uint64_t>(maxBytes, kMinFileBytes * static_cast<uint64_t>(Limits().files));
}

std::vector<std::string> EventLogWriter::FilePaths() {
  std::lock_guard<std::mutex> hold(FileMutex());
  std::vector<std::string> paths;
  if (FileName().empty()) return paths;
  return JsonLinesFile::Paths(FileName(), Limits().files);
}

uint64_t EventLogWriter::MaxBytes() {
  std::lock_guard<std::mutex> hold(FileMutex());
  return Limits().maxBytes;
}

void EventLogWriter::SetFilePath(const std::string& path) {
  std::lock_guard<std::mutex> hold(FileMutex());
  FileName() = path;
}

void EventLogWriter::SetSystemLog(bool enabled) { SystemLogEnabled().store(enabled); }

std::string EventLogWriter::FilePath() {
  std::lock_guard<std::mutex> hold(FileMutex());
  return FileName();
}

int EventLogWriter::Report(const char* source, uint16_t eventType, uint16_t category, uint32_t eventId,
                           const std::string& text, const void* data, size_t dataSize, Step* failed) {
  return ReportAt(Clock::System()->WallMilliseconds(), source, eventType, category, eventId, text, data, dataSize, failed);
}

int EventLogWriter::ReportAt(int64_t timeMs, const char* source, uint16_t eventType, uint16_t category,
                             uint32_t eventId, const std::string& text, const void* data, size_t dataSize,
                             Step* failed, const Subject& subject) {
  Step step = Step::kNone;
  if (failed == nullptr) failed = &step;
  *failed = Step::kNone;
  int result = 0;
  struct stat st;
  if (!SystemLogEnabled().load()) {
    // Kept off the host's log (fuzzing feeds millions of bad inputs).
  } else if (::stat(kJournalSocket, &st) == 0 && S_ISSOCK(st.st_mode)) {
    result = ToJournal(source, eventType, category, eventId, text, data, dataSize, subject);
    if (result != 0) ToSyslog(source, eventType, text);
    result = 0;
  } else {
    ToSyslog(source, eventType, text);
  }
  std::string path;
  FileLimits limits;
  {
    std::lock_guard<std::mutex> hold(FileMutex());
    path = FileName();
    limits = Limits();
  }
  if (!path.empty()) {
    const int err =
        ToFile(path, JsonLine(IsoTime(timeMs), source, eventType, category, eventId, text, data, dataSize, subject),
               limits, failed);
    if (err != 0) result = err;
  }
  return result;
}

}  // namespace orla
