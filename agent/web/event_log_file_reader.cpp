#include "event_log_file_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "agent/core/audit_trail.h"
#include "platform/text/regular_file.h"
#include "login_event_text.h"

namespace orla {

namespace {

bool IsStatusWord(const std::string& word) {
  return word == "OK" || word == "Degraded" || word == "Failed" || word == "Unknown" || word == "Not polled yet";
}

// The value of `"key":` in a flat JSON object line: a string (unescaped) or
// a bare number as text. False when the key is missing or its value is cut.
bool Field(const std::string& line, const char* key, std::string* value) {
  const std::string marker = std::string("\"") + key + "\":";
  const size_t at = line.find(marker);
  if (at == std::string::npos) return false;
  size_t i = at + marker.size();
  value->clear();
  if (i < line.size() && line[i] != '"') {
    while (i < line.size() && line[i] != ',' && line[i] != '}') value->push_back(line[i++]);
    return !value->empty();
  }
  for (++i; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') return true;
    if (c != '\\') {
      value->push_back(c);
      continue;
    }
    if (++i >= line.size()) return false;
    switch (line[i]) {
      case 'n': value->push_back('\n'); break;
      case 'r': value->push_back('\r'); break;
      case 't': value->push_back('\t'); break;
      case 'u': {
        if (i + 4 >= line.size()) return false;
        const long code = std::strtol(line.substr(i + 1, 4).c_str(), nullptr, 16);
        // The writer escapes control characters and stray bytes only, all below 0x100.
        value->push_back(static_cast<char>(code & 0xff));
        i += 4;
        break;
      }
      default: value->push_back(line[i]);
    }
  }
  return false;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The element name of a trap event record (its third text field, after the
// OS version and the world wide name; the texts start at byte 72), from the
// record's lower-case hex. Empty when the record is too short to hold it.
std::string RecordElementName(const std::string& hex) {
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    const int high = HexValue(hex[i]);
    const int low = HexValue(hex[i + 1]);
    if (high < 0 || low < 0) return std::string();
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  size_t at = 72;
  for (int field = 0; field < 3; ++field) {
    if (at + 4 > bytes.size()) return std::string();
    const size_t length = static_cast<unsigned char>(bytes[at + 2]) | (static_cast<unsigned char>(bytes[at + 3]) << 8);
    if (at + 4 + length > bytes.size()) return std::string();
    if (field == 2) {
      const std::string text = bytes.substr(at + 4, length);
      return text.substr(0, text.find('\0'));
    }
    at += 4 + length;
  }
  return std::string();
}

}  // namespace

bool EventLogFileReader::FieldOf(const std::string& line, const char* key, std::string* value) {
  return Field(line, key, value);
}

int64_t EventLogFileReader::ParseIsoTime(const std::string& text) {
  int year, month, day, hour, minute, second, millis;
  char zone = 0;
  if (text.size() != 24 || std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d%c", &year, &month, &day, &hour,
                                       &minute, &second, &millis, &zone) != 8 || zone != 'Z') {
    return -1;
  }
  struct tm tmv = {};
  tmv.tm_year = year - 1900;
  tmv.tm_mon = month - 1;
  tmv.tm_mday = day;
  tmv.tm_hour = hour;
  tmv.tm_min = minute;
  tmv.tm_sec = second;
  const time_t secs = timegm(&tmv);
  if (secs < 0) return -1;
  return static_cast<int64_t>(secs) * 1000 + millis;
}

bool EventLogFileReader::ParseLine(const std::string& line, RecordedEvent* event) {
  std::string time, type, text, data;
  if (!Field(line, "time", &time) || !Field(line, "event_type", &type) || !Field(line, "text", &text)) return false;
  event->timeMs = ParseIsoTime(time);
  if (event->timeMs < 0) return false;
  const int eventType = std::atoi(type.c_str());
  event->severity = eventType == 1 ? 2 : eventType == 2 ? 1 : 0;
  event->sequence = 0;
  event->text = std::move(text);
  event->origin = EventOrigin();
  // A line of the change file names its origin.
  std::string kind;
  if (Field(line, "kind", &kind) && !kind.empty()) {
    event->origin.kind = std::move(kind);
    Field(line, "element", &event->origin.element);
    Field(line, "address", &event->origin.address);
    return true;
  }
  // The text behind the severity prefix tells a status change
  // ("NAME (ADDRESS): OK → Failed", perhaps followed by ": REASON"), a
  // change an operator made and a log-in apart from the rest.
  const size_t colon = event->text.find(": ");
  const std::string body = colon == std::string::npos ? std::string() : event->text.substr(colon + 2);
  const size_t arrow = body.find(" \u2192 ");
  const size_t close = arrow == std::string::npos ? std::string::npos : body.rfind("): ", arrow);
  const size_t open = close == std::string::npos ? std::string::npos : body.rfind(" (", close);
  if (close != std::string::npos && open != std::string::npos &&
      IsStatusWord(body.substr(close + 3, arrow - close - 3))) {
    event->origin.kind = "status";
    event->origin.element = body.substr(0, open);
    event->origin.address = body.substr(open + 2, close - open - 2);
  } else if (body.compare(0, std::strlen(AuditTrail::kTextStart), AuditTrail::kTextStart) == 0) {
    event->origin.kind = "change";
  } else if (LoginEventText::Matches(body)) {
    event->origin.kind = "login";
  } else if (Field(line, "data", &data) && !data.empty() && eventType == 2) {
    // Only received traps are logged with an event record.
    event->origin.kind = "trap";
    event->origin.element = RecordElementName(data);
  }
  // Lines that name their element in fields of their own say it best.
  std::string element, address;
  if (Field(line, "element", &element) && !element.empty()) event->origin.element = std::move(element);
  if (Field(line, "address", &address) && !address.empty()) event->origin.address = std::move(address);
  // A received trap's severity as its plug-in read it, where it differs.
  std::string shown;
  if (Field(line, "severity", &shown)) {
    if (shown == "info") event->severity = 0;
    if (shown == "warning") event->severity = 1;
    if (shown == "critical") event->severity = 2;
  }
  return true;
}

namespace {

// One file read backwards: the lines before `end`, last first.
class BackwardLines {
 public:
  explicit BackwardLines(int fd) : fd_(fd) {
    struct stat st;
    offset_ = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  }

  // The next line back; false at the file's start or when the budget is spent.
  bool Next(std::string* line, size_t* budget) {
    for (;;) {
      const size_t newline = pending_.rfind('\n');
      if (newline != std::string::npos) {
        line->assign(pending_, newline + 1, std::string::npos);
        pending_.resize(newline);
        return true;
      }
      if (offset_ == 0) {
        // The file's first line, or nothing more.
        if (pending_.empty()) return false;
        line->swap(pending_);
        pending_.clear();
        return true;
      }
      if (*budget == 0) return false;
      const size_t block = static_cast<size_t>(std::min<uint64_t>({offset_, EventLogFileReader::kBlockBytes, *budget}));
      std::string data(block, '\0');
      const ssize_t n = ::pread(fd_, data.data(), block, static_cast<off_t>(offset_ - block));
      if (n != static_cast<ssize_t>(block)) return false;
      offset_ -= block;
      *budget -= block;
      // A line longer than any of ours is dropped, keeping what is read small.
      if (pending_.size() > EventLogFileReader::kMaxLineBytes) pending_.clear();
      pending_.insert(0, data);
    }
  }

  bool AtStart() const { return offset_ == 0 && pending_.empty(); }

 private:
  int fd_;
  uint64_t offset_ = 0;
  std::string pending_;  // read, not yet handed out: the start of the last line not handed out
};

}  // namespace

bool EventLogFileReader::VisitNewestFirst(const std::vector<std::string>& paths, int64_t beforeMs,
                                          const std::function<bool(RecordedEvent& event)>& visit,
                                          size_t budgetBytes) {
  // Every file is opened before any is read: a rotation during the walk
  // renames the files, but the open ones stay what they were, and a file
  // met twice under two names is read once.
  std::vector<int> files;
  std::vector<std::pair<dev_t, ino_t>> seen;
  for (const std::string& path : paths) {
    // The event-log file may be a link an administrator made; a FIFO in
    // any file's place is not waited on.
    int fd = -1;
    if (RegularFile::Open(path, O_RDONLY, 0, &fd, /*followLink=*/true) != 0) continue;
    struct stat st;
    if (::fstat(fd, &st) != 0 ||
        std::find(seen.begin(), seen.end(), std::make_pair(st.st_dev, st.st_ino)) != seen.end()) {
      ::close(fd);
      continue;
    }
    seen.emplace_back(st.st_dev, st.st_ino);
    files.push_back(fd);
  }
  bool whole = true;
  size_t budget = budgetBytes;
  std::string line;
  for (const int fd : files) {
    if (!whole) break;
    BackwardLines lines(fd);
    while (lines.Next(&line, &budget)) {
      RecordedEvent event;
      if (!ParseLine(line, &event)) continue;
      if (beforeMs >= 0 && event.timeMs >= beforeMs) continue;
      if (!visit(event)) {
        whole = false;
        break;
      }
    }
    if (!lines.AtStart()) whole = false;
  }
  for (const int fd : files) ::close(fd);
  return whole;
}

}  // namespace orla
