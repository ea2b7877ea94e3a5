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
  const auto record = [&read](const std::vector<std::string>& fields) {
    std::string id;
    Alarm::Acknowledgement taken;
    int64_t severity = 0;
    if (fields.size() != 6 || !Line::Unescaped(fields[0], &id) || id.empty() || !Line::Number(fields[1], &severity) ||
        severity > 2 || !Line::Unescaped(fields[2], &taken.user) || !Line::Number(fields[3], &taken.atMs) ||
        !Line::Number(fields[4], &taken.expiresMs) || !Line::Unescaped(fields[5], &taken.note) || read.count(id) != 0) {
      return false;
    }
    taken.severity = static_cast<int>(severity);
    read.emplace(std::move(id), std::move(taken));
    return true;
  };
  if (!StateFile::ParseRecords(text, kHeader, "an acknowledgement", record, error)) return false;
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
