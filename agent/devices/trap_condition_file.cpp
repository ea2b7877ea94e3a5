#include "trap_condition_file.h"

#include <algorithm>

#include "agent/core/tab_separated_line.h"

namespace orla {

namespace {

using Line = TabSeparatedLine;

// A generous bound: at most 32 lines per element.
constexpr size_t kMaxFileBytes = 16 * 1024 * 1024;

}  // namespace

std::string TrapConditionFile::Format(const Conditions& conditions) {
  std::string text = std::string(kHeader) + "\n";
  for (const auto& [key, standing] : conditions) {
    for (const TrapCondition& c : standing) {
      text += Line::Escaped(key.first) + "\t" + Line::Escaped(key.second) + "\t" + Line::Escaped(c.part) + "\t" +
              std::to_string(c.severity) + "\t" + std::to_string(c.sinceMs) + "\t" + std::to_string(c.untilMs) +
              "\t" + Line::Escaped(c.reason) + "\n";
    }
  }
  return text;
}

bool TrapConditionFile::Parse(const std::string& text, Conditions* out, std::string* error) {
  Conditions read;
  const auto record = [&read](const std::vector<std::string>& fields) {
    Key key;
    TrapCondition c;
    int64_t severity = 0;
    if (fields.size() != 7 || !Line::Unescaped(fields[0], &key.first) || key.first.empty() ||
        !Line::Unescaped(fields[1], &key.second) || key.second.empty() || !Line::Unescaped(fields[2], &c.part) ||
        c.part.empty() || !Line::Number(fields[3], &severity) || severity < 1 || severity > 2 ||
        !Line::Number(fields[4], &c.sinceMs) || !Line::Number(fields[5], &c.untilMs) || c.untilMs <= c.sinceMs ||
        !Line::Unescaped(fields[6], &c.reason)) {
      return false;
    }
    c.severity = static_cast<int>(severity);
    std::vector<TrapCondition>& standing = read[key];
    if (standing.size() >= ElementStatusCell::kTrapConditionLimit ||
        std::any_of(standing.begin(), standing.end(), [&c](const TrapCondition& s) { return s.part == c.part; })) {
      return false;
    }
    standing.push_back(std::move(c));
    return true;
  };
  if (!StateFile::ParseRecords(text, kHeader, "a trap condition", record, error)) return false;
  *out = std::move(read);
  return true;
}

int TrapConditionFile::Read(const std::string& path, Conditions* out, std::string* error) {
  out->clear();
  return StateFile::Read(path, kMaxFileBytes, [out](const std::string& text, std::string* why) {
    return Parse(text, out, why);
  }, error);
}

int TrapConditionFile::Write(const std::string& path, const Conditions& conditions) {
  return StateFile::Write(path, Format(conditions));
}

}  // namespace orla
