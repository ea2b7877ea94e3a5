#include "platform/sysinfo/system_info.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <vector>

namespace orla {

std::string SystemInfo::ComputerName() {
  long max = sysconf(_SC_HOST_NAME_MAX);
  if (max <= 0) max = HOST_NAME_MAX;
  std::vector<char> name(static_cast<size_t>(max) + 1, '\0');
  if (gethostname(name.data(), name.size() - 1) != 0) return std::string();
  return std::string(name.data());
}

int SystemInfo::ProcessorTypeOf(const std::string& machine) {
  if (machine == "x86_64" || machine == "amd64") return 8664;
  if (machine == "i386") return 386;
  if (machine == "i486") return 486;
  if (machine == "i586" || machine == "i686") return 586;
  if (machine == "ia64") return 2200;
  return 0;
}

int SystemInfo::ProcessorType() {
  struct utsname u;
  if (uname(&u) != 0) return 0;
  return ProcessorTypeOf(u.machine);
}

std::string SystemInfo::OsName() {
  struct utsname u;
  if (uname(&u) != 0) return "Linux";
  return u.sysname;
}

void SystemInfo::ParseRelease(const std::string& release, int* major, int* minor, int* patch) {
  int ignored = 0;
  int* targets[] = {major, minor, patch != nullptr ? patch : &ignored};
  for (int* target : targets) *target = 0;
  size_t pos = 0;
  for (int* target : targets) {
    if (pos >= release.size() || !std::isdigit(static_cast<unsigned char>(release[pos]))) return;
    long value = 0;
    while (pos < release.size() && std::isdigit(static_cast<unsigned char>(release[pos]))) {
      if (value < INT_MAX / 10) value = value * 10 + (release[pos] - '0');
      ++pos;
    }
    *target = static_cast<int>(value);
    if (pos >= release.size() || release[pos] != '.') return;
    ++pos;
  }
}

void SystemInfo::OsVersion(int* major, int* minor) {
  struct utsname u;
  if (uname(&u) != 0) {
    *major = 0;
    *minor = 0;
    return;
  }
  ParseRelease(u.release, major, minor);
}

bool SystemInfo::OsRelease(std::string* release, std::string* build) {
  struct utsname u;
  if (uname(&u) != 0) return false;
  *release = u.release;
  *build = u.version;
  return true;
}

}  // namespace orla
