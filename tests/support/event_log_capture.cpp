#include "tests/support/event_log_capture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

#include "tests/support/bytes.h"
#include "tests/support/wait_until.h"

namespace orla::test {

namespace {

// Reads the JSON string value that starts right after `key` ("text":") and
// undoes the escapes the writer produces.
std::string StringField(const std::string& line, const std::string& key) {
  const std::string marker = "\"" + key + "\":\"";
  size_t pos = line.find(marker);
  if (pos == std::string::npos) return {};
  pos += marker.size();
  std::string out;
  while (pos < line.size() && line[pos] != '"') {
    char c = line[pos++];
    if (c == '\\' && pos < line.size()) {
      char e = line[pos++];
      switch (e) {
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u':
          out.push_back(static_cast<char>(std::strtol(line.substr(pos, 4).c_str(), nullptr, 16)));
          pos += 4;
          break;
        default: out.push_back(e);
      }
    } else {
      out.push_back(c);
    }
  }
  return out;
}

long long NumberField(const std::string& line, const std::string& key) {
  const std::string marker = "\"" + key + "\":";
  size_t pos = line.find(marker);
  if (pos == std::string::npos) return -1;
  return std::strtoll(line.c_str() + pos + marker.size(), nullptr, 10);
}

// A new empty file for the entries.
std::string NewLogFile() {
  char templ[] = "/tmp/koreventlog.XXXXXX";
  const int fd = mkstemp(templ);
  if (fd >= 0) close(fd);
  return templ;
}

}  // namespace

EventLogCapture::EventLogCapture() : path_(NewLogFile()), env_("KORAGENT_EVENT_LOG", path_) {
  settings_.EventLogFile(path_);
}

EventLogCapture::~EventLogCapture() { std::remove(path_.c_str()); }

std::vector<CapturedEvent> EventLogCapture::Events() const {
  std::vector<CapturedEvent> events;
  std::ifstream in(path_);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    CapturedEvent e;
    e.line = line;
    e.eventType = static_cast<int>(NumberField(line, "event_type"));
    e.category = static_cast<int>(NumberField(line, "category"));
    e.eventId = static_cast<uint32_t>(NumberField(line, "event_id"));
    e.text = StringField(line, "text");
    e.dataHex = StringField(line, "data");
    events.push_back(e);
  }
  return events;
}

std::vector<std::string> EventLogCapture::Texts() const {
  std::vector<std::string> texts;
  for (const auto& e : Events()) texts.push_back(e.text);
  return texts;
}

int EventLogCapture::Count(const std::string& needle) const {
  int n = 0;
  for (const auto& e : Events()) {
    if (e.text.find(needle) != std::string::npos) ++n;
  }
  return n;
}

int EventLogCapture::CountWithData(const std::string& text, const std::string& dataNeedle) const {
  int n = 0;
  for (const auto& e : Events()) {
    const std::vector<uint8_t> data = FromHex(e.dataHex);
    if (e.text == text && std::string(data.begin(), data.end()).find(dataNeedle) != std::string::npos) ++n;
  }
  return n;
}

bool EventLogCapture::WaitFor(const std::string& needle, int count, std::chrono::milliseconds limit) const {
  return WaitUntil([&] { return Count(needle) >= count; }, limit);
}

void EventLogCapture::Clear() const { std::ofstream(path_, std::ios::trunc); }

}  // namespace orla::test
