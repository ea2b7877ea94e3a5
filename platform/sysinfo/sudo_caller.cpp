#include "platform/sysinfo/sudo_caller.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace orla {

namespace {

// How far up the process tree a sudo is looked for.
constexpr int kMaxAncestors = 32;

// The parent and real user id of process `pid` from /proc; false when it
// is gone.
bool ParentAndUser(pid_t pid, pid_t* parent, uid_t* uid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  if (!status) return false;
  bool haveParent = false, haveUid = false;
  std::string line;
  while (std::getline(status, line) && !(haveParent && haveUid)) {
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    if (key == "PPid:") haveParent = static_cast<bool>(fields >> *parent);
    if (key == "Uid:") haveUid = static_cast<bool>(fields >> *uid);
  }
  return haveParent && haveUid;
}

bool RunsSudo(pid_t pid) {
  char target[4096];
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
  if (n <= 0) return false;
  const std::string path(target, static_cast<size_t>(n));
  return path.substr(path.rfind('/') + 1) == "sudo";
}

}  // namespace

SudoCaller::Facts SudoCaller::OfThisProcess(const std::string& sudoUid) {
  Facts facts;
  facts.uid = ::getuid();
  facts.euid = ::geteuid();
  facts.sudoUid = sudoUid;
  // Only a root process started with SUDO_UID set has any use for its
  // ancestors.
  if (facts.euid != 0 || sudoUid.empty()) return facts;
  pid_t pid = ::getppid();
  bool sudoBelow = false;  // the process before this one up the tree runs sudo
  for (int depth = 0; depth < kMaxAncestors && pid > 0; ++depth) {
    pid_t parent = 0;
    uid_t uid = 0;
    if (!ParentAndUser(pid, &parent, &uid)) break;
    if (sudoBelow) facts.sudoCallers.push_back(uid);
    sudoBelow = RunsSudo(pid);
    pid = parent;
  }
  return facts;
}

uid_t SudoCaller::User(const Facts& facts) {
  if (facts.euid != 0 || facts.sudoUid.empty()) return facts.uid;
  errno = 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(facts.sudoUid.c_str(), &end, 10);
  if (errno != 0 || end == facts.sudoUid.c_str() || *end != '\0' || facts.sudoUid[0] == '-' ||
      value > static_cast<unsigned long>(static_cast<uid_t>(-1) - 1)) {
    return facts.uid;
  }
  const uid_t caller = static_cast<uid_t>(value);
  const auto& callers = facts.sudoCallers;
  return std::find(callers.begin(), callers.end(), caller) != callers.end() ? caller : facts.uid;
}

std::string SudoCaller::Name(uid_t uid) {
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) return found->pw_name;
  return "uid " + std::to_string(uid);
}

}  // namespace orla
