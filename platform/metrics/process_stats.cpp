#include "platform/metrics/process_stats.h"

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sstream>
#include <string>

#include "platform/sysinfo/open_file_limit.h"

namespace orla {

namespace {

// The value of "Name:" in /proc/self/status (kB for the memory lines).
int64_t StatusValue(const std::string& name) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, name.size(), name) == 0 && line.size() > name.size() && line[name.size()] == ':') {
      return std::stoll(line.substr(name.size() + 1));
    }
  }
  return -1;
}

int64_t OpenFiles() {
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  int64_t count = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  ::closedir(dir);
  return count - 1;  // the descriptor opendir itself holds
}

// The boot time from /proc/stat ("btime"), seconds since the epoch.
int64_t BootTime() {
  std::ifstream in("/proc/stat");
  std::string key;
  int64_t value = 0;
  while (in >> key) {
    if (key == "btime" && in >> value) return value;
    in.ignore(1 << 20, '\n');
  }
  return -1;
}

}  // namespace

ProcessStats::Figures ProcessStats::Read() {
  Figures figures;
  try {
    const int64_t rssKb = StatusValue("VmRSS");
    if (rssKb >= 0) figures.residentBytes = rssKb * 1024;
    figures.threads = StatusValue("Threads");
  } catch (const std::exception&) {
    // A line that is not a number: left unknown.
  }
  figures.openFiles = OpenFiles();
  const uint64_t maxFiles = OpenFileLimit::Current();
  if (maxFiles != 0 && maxFiles != UINT64_MAX) figures.maxFiles = static_cast<int64_t>(maxFiles);

  // /proc/self/stat: the command name (field 2) is in parentheses and may
  // hold blanks; fields 14 and 15 (CPU time) and 22 (start time) are in
  // clock ticks, the start time since boot.
  std::ifstream in("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  const long ticks = ::sysconf(_SC_CLK_TCK);
  if (close != std::string::npos && close + 2 < text.size() && ticks > 0) try {
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    // Field 3 is the first after the parenthesis.
    double utime = -1, stime = -1, start = -1;
    for (int number = 3; fields >> field && number <= 22; ++number) {
      if (number == 14) utime = std::stod(field);
      if (number == 15) stime = std::stod(field);
      if (number == 22) start = std::stod(field);
    }
    if (utime >= 0 && stime >= 0) figures.cpuSeconds = (utime + stime) / static_cast<double>(ticks);
    const int64_t boot = BootTime();
    if (start >= 0 && boot >= 0) figures.startTimeSeconds = static_cast<double>(boot) + start / static_cast<double>(ticks);
  } catch (const std::exception&) {
    // A field that is not a number: left unknown.
  }
  return figures;
}

}  // namespace orla
