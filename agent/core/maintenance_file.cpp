#include "agent/core/maintenance_file.h"

#include <vector>

#include "agent/core/tab_separated_line.h"
#include "agent/core/state_file.h"

namespace orla {

namespace {

using Line = TabSeparatedLine;

// A generous bound: one line per element in maintenance.
constexpr size_t kMaxFileBytes = 16 * 1024 * 1024;

}  // namespace

std::string MaintenanceFile::Format(const Windows& windows) {
  std::string text = std::string(kHeader) + "\n";
  for (const auto& [name, w] : windows) {
    text += Line::Escaped(name) + "\t" + std::to_string(w.startMs) + "\t" + std::to_string(w.endMs) + "\t" +
            Line::Escaped(w.by) + "\t" + Line::Escaped(w.reason) + "\n";
  }
  return text;
}

bool MaintenanceFile::Parse(const std::string& text, Windows* out, std::string* error) {
  Windows read;
  const auto record = [&read](const std::vector<std::string>& fields) {
    MaintenanceWindow w;
    if (fields.size() != 5 || !Line::Unescaped(fields[0], &w.element) || w.element.empty() ||
        !Line::Number(fields[1], &w.startMs) || !Line::Number(fields[2], &w.endMs) || w.endMs <= w.startMs ||
        !Line::Unescaped(fields[3], &w.by) || !Line::Unescaped(fields[4], &w.reason) || read.count(w.element) != 0) {
      return false;
    }
    std::string name = w.element;
    read.emplace(std::move(name), std::move(w));
    return true;
  };
  if (!StateFile::ParseRecords(text, kHeader, "a maintenance window", record, error)) return false;
  *out = std::move(read);
  return true;
}

int MaintenanceFile::Read(const std::string& path, Windows* out, std::string* error) {
  out->clear();
  return StateFile::Read(path, kMaxFileBytes, [out](const std::string& text, std::string* why) {
    return Parse(text, out, why);
  }, error);
}

int MaintenanceFile::Write(const std::string& path, const Windows& windows) {
  return StateFile::Write(path, Format(windows));
}

}  // namespace orla
