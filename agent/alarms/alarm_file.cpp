#include "agent/alarms/alarm_file.h"

#include <vector>

#include "agent/core/tab_separated_line.h"
#include "agent/core/state_file.h"

namespace orla {

namespace {

using Line = TabSeparatedLine;

// A generous bound: one line per acknowledged alarm.
constexpr size_t kMaxFileBytes = 16 * 1024 * 1024;

}  // namespace

std::string AlarmFile::Format(const Acknowledgements& acknowledgements) {
  std::string text = std::string(kHeader) + "\n";
  for (const auto& [id, taken] : acknowledgements) {
    text += Line::Escaped(id) + "\t" + std::to_string(taken.severity) + "\t" + Line::Escaped(taken.user) + "\t" +
            std::to_string(taken.atMs) + "\t" + std::to_string(taken.expiresMs) + "\t" + Line::Escaped(taken.note) +
            "\n";
  }
  return text;
}

bool AlarmFile::Parse(const std::string& text, Acknowledgements* out, std::string* error) {
  Acknowledgements read;
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
      if (line != kHeader) {
        *error = "line 1 is not \"" + std::string(kHeader) + "\"";
        return false;
      }
      continue;
    }
    const std::vector<std::string> fields = Line::Fields(line);
    std::string id;
    Alarm::Acknowledgement taken;
    int64_t severity = 0;
    if (fields.size() != 6 || !Line::Unescaped(fields[0], &id) || id.empty() || !Line::Number(fields[1], &severity) ||
        severity > 2 || !Line::Unescaped(fields[2], &taken.user) || !Line::Number(fields[3], &taken.atMs) ||
        !Line::Number(fields[4], &taken.expiresMs) || !Line::Unescaped(fields[5], &taken.note) || read.count(id) != 0) {
      *error = "line " + std::to_string(number) + " is not an acknowledgement";
      return false;
    }
    taken.severity = static_cast<int>(severity);
    read.emplace(std::move(id), std::move(taken));
  }
  if (number == 0) {
    *error = "the file is empty";
    return false;
  }
  *out = std::move(read);
  return true;
}

int AlarmFile::Read(const std::string& path, Acknowledgements* out, std::string* error) {
  out->clear();
  return StateFile::Read(path, kMaxFileBytes, [out](const std::string& text, std::string* why) {
    return Parse(text, out, why);
  }, error);
}

int AlarmFile::Write(const std::string& path, const Acknowledgements& acknowledgements) {
  return StateFile::Write(path, Format(acknowledgements));
}

}  // namespace orla
