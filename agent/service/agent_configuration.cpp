#include "agent_configuration.h"

#include <cstdlib>
#include <new>

#include "agent/core/event_log.h"
#include "platform/text/string_printf.h"

namespace orla {

bool AgentConfiguration::ParseEnterprise(const std::string& line, std::vector<uint8_t>* bytes) {
  bytes->clear();
  size_t points = 0;
  for (char c : line) {
    if (c == '.') ++points;
  }
  // With at most 79 characters a line has at most 79 points; a longer line
  // could not be counted in byte 0.
  if (points > 255) return false;
  std::vector<uint8_t> out(points + 1, 0);
  out[0] = static_cast<uint8_t>(points);
  size_t pos = 0;
  for (size_t i = 1; i <= points; ++i) {
    // Empty fields between two points are skipped.
    while (pos < line.size() && line[pos] == '.') ++pos;
    if (pos >= line.size()) return false;  // more points than numbers
    const size_t end = line.find('.', pos);
    const std::string field = line.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? line.size() : end;
    // Decimal with atoi's reading (leading blanks, a sign, digits up to the
    // first other character); strtoll saturates instead of overflowing.
    const long long value = std::strtoll(field.c_str(), nullptr, 10);
    out[i] = static_cast<uint8_t>(static_cast<unsigned long long>(value) & 0xffu);
    if (out[i] == 0) return false;
  }
  *bytes = std::move(out);
  return true;
}

bool AgentConfiguration::Parse(std::istream& in, const std::string& fileName) {
  std::string lines[kLineCount];
  for (int i = 0; i < kLineCount; ++i) {
    if (!std::getline(in, lines[i])) {
      EventLog::Write(EventLog::kCritical,
                      StringPrintf("File %s - ", fileName.c_str()) + StringPrintf("Line %d is missing.", i + 1));
      return false;
    }
    // Only the line end goes: a file edited elsewhere may end lines in CR LF,
    // and a last line without a line end keeps all its characters.
    if (!lines[i].empty() && lines[i].back() == '\r') lines[i].pop_back();
    if (lines[i].size() > kMaxLineLength) {
      EventLog::Write(EventLog::kCritical, StringPrintf("File %s - ", fileName.c_str()) +
                                               StringPrintf("Line %d is longer than %zu characters.", i + 1,
                                                            kMaxLineLength));
      return false;
    }
  }
  std::vector<uint8_t> enterprise;
  bool valid = false;
  try {
    valid = ParseEnterprise(lines[4], &enterprise);
  } catch (const std::bad_alloc&) {
    EventLog::Write(EventLog::kCritical, "Memory allocation error.");
    return false;
  }
  if (!valid) {
    EventLog::Write(EventLog::kCritical,
                    StringPrintf("File %s - ", fileName.c_str()) + "Invalid SNMP Enterprise number format.");
    return false;
  }
  line1_ = lines[0];
  agentDirectory_ = lines[1];
  line3_ = lines[2];
  systemLabel_ = lines[3];
  enterprise_ = std::move(enterprise);
  return true;
}

}  // namespace orla
