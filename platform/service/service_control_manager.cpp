#include "platform/service/service_control_manager.h"

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/service/service_status.h"
#include "platform/text/atomic_file.h"

extern char** environ;

namespace orla {

namespace {

const char kDefaultUnitDir[] = "/etc/systemd/system";
const char kSystemdRuntimeDir[] = "/run/systemd/system";

std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::strchr(" \t\r\n", text[begin]) != nullptr) ++begin;
  while (end > begin && std::strchr(" \t\r\n", text[end - 1]) != nullptr) --end;
  return text.substr(begin, end - begin);
}

// A word of a unit file line taken literally by systemd: quoted when it holds
// blanks, quotes, backslashes or ";", "%" always doubled (specifiers), "$"
// doubled where systemd substitutes variables (command lines).
std::string UnitWord(const std::string& text, bool doubleDollar) {
  bool quote = false;
  std::string out;
  for (char c : text) {
    switch (c) {
      case '%': out += "%%"; break;
      case '$': out += doubleDollar ? "$$" : "$"; break;
      case '\\': out += "\\\\"; quote = true; break;
      case '"': out += "\\\""; quote = true; break;
      case ' ': case '\t': case '\'': case ';':
        out.push_back(c);
        quote = true;
        break;
      default: out.push_back(c);
    }
  }
  return quote ? "\"" + out + "\"" : out;
}

// True for a path in the folders ProtectHome= hides.
bool IsBelowHome(const std::string& path) {
  for (const char* home : {"/home/", "/root/", "/run/user/"}) {
    if (path.compare(0, std::strlen(home), home) == 0) return true;
  }
  return false;
}

// What confines the service, whoever it runs as: the one capability it needs
// (binding the trap port below 1024), a read-only system, private /tmp and
// /dev, the kernel and the other namespaces out of reach, and the system
// calls of an ordinary service only. UnitText adds the user, the home
// folders' protection and the folders the service may write.
const char kConfinement[] =
    "AmbientCapabilities=CAP_NET_BIND_SERVICE\n"
    "CapabilityBoundingSet=CAP_NET_BIND_SERVICE\n"
    "NoNewPrivileges=yes\n"
    "ProtectSystem=strict\n"
    "PrivateTmp=yes\n"
    "PrivateDevices=yes\n"
    "PrivateMounts=yes\n"
    "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6\n"
    "ProtectKernelTunables=yes\n"
    "ProtectKernelModules=yes\n"
    "ProtectKernelLogs=yes\n"
    "ProtectControlGroups=yes\n"
    "ProtectClock=yes\n"
    "ProtectHostname=yes\n"
    "ProtectProc=invisible\n"
    "RestrictNamespaces=yes\n"
    "RestrictRealtime=yes\n"
    "RestrictSUIDSGID=yes\n"
    "LockPersonality=yes\n"
    "MemoryDenyWriteExecute=yes\n"
    "SystemCallArchitectures=native\n"
    "SystemCallFilter=@system-service\n"
    "SystemCallFilter=~@privileged @resources\n"
    "SystemCallErrorNumber=EPERM\n"
    "UMask=0027\n"
    // /var/log/koragent, the service's own: the place for an event-log file.
    "LogsDirectory=koragent\n";

}  // namespace

ServiceControlManager::ServiceControlManager(std::string systemctl, std::string unitDir)
    : systemctl_(std::move(systemctl)), unitDir_(std::move(unitDir)) {}

std::unique_ptr<ServiceControlManager> ServiceControlManager::Open(const std::string& systemctlProgram,
                                                                   const std::string& unitDirectory, int* error) {
  std::string systemctl = systemctlProgram;
  if (!systemctl.empty()) {
    if (::access(systemctl.c_str(), X_OK) != 0) {
      *error = errno;
      return nullptr;
    }
  } else {
    if (::access(kSystemdRuntimeDir, F_OK) != 0) {
      *error = errno;
      return nullptr;
    }
    systemctl = "systemctl";
  }
  std::string unitDir = unitDirectory;
  if (unitDir.empty()) unitDir = kDefaultUnitDir;
  *error = 0;
  return std::unique_ptr<ServiceControlManager>(new ServiceControlManager(systemctl, unitDir));
}

int ServiceControlManager::ModuleFileName(std::string* path) {
  std::vector<char> buffer(512);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return errno;
    if (static_cast<size_t>(n) < buffer.size()) {
      path->assign(buffer.data(), static_cast<size_t>(n));
      return 0;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string ServiceControlManager::ExecPath(const std::string& programPath) {
  return UnitWord(programPath, true);
}

std::string ServiceControlManager::WritablePath(const std::string& path) {
  return UnitWord("-" + path, false);
}

int ServiceControlManager::FindUser(const std::string& name) {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 4096);
  for (;;) {
    struct passwd entry;
    struct passwd* found = nullptr;
    const int rc = ::getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found);
    if (rc == ERANGE) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc != 0) return rc;
    return found != nullptr ? 0 : ENOENT;
  }
}

std::string ServiceControlManager::UnitText(const std::string& displayName, const std::string& programPath,
                                            const Confinement& confinement) {
  std::string text = "[Unit]\n"
                     "Description=" + displayName + "\n"
                     "Wants=network-online.target\n"
                     "After=network-online.target\n"
                     "\n"
                     "[Service]\n"
                     "Type=notify\n"
                     "ExecStart=" + ExecPath(programPath) + "\n"
                     // Thousands of elements: the default soft limit of
                     // 1024 open files is far too low.
                     "LimitNOFILE=65536\n";
  if (!confinement.user.empty()) {
    // RemoveIPC= clears the user's IPC objects when the service stops, which
    // systemd allows only for a user other than root.
    text += "User=" + UnitWord(confinement.user, false) + "\n";
    text += "RemoveIPC=yes\n";
  }
  text += kConfinement;
  // Home folders are out of reach, unless the program or its data live there
  // (a program directory installed by hand): then they are read-only.
  bool inHome = IsBelowHome(programPath);
  for (const std::string& path : confinement.writablePaths) inHome = inHome || IsBelowHome(path);
  text += inHome ? "ProtectHome=read-only\n" : "ProtectHome=yes\n";
  if (!confinement.writablePaths.empty()) {
    text += "ReadWritePaths=";
    for (size_t i = 0; i < confinement.writablePaths.size(); ++i) {
      if (i > 0) text += " ";
      text += WritablePath(confinement.writablePaths[i]);
    }
    text += "\n";
  }
  text += "\n"
          "[Install]\n"
          "WantedBy=multi-user.target\n";
  return text;
}

std::string ServiceControlManager::UnitPath(const std::string& name) const {
  return unitDir_ + "/" + name + ".service";
}

int ServiceControlManager::Systemctl(const std::vector<std::string>& args, std::string* out) {
  std::vector<std::string> words;
  words.push_back(systemctl_);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  int pipeFds[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (out != nullptr) {
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
      const int err = errno;
      posix_spawn_file_actions_destroy(&actions);
      return -err;
    }
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  }
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, systemctl_.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (out != nullptr) ::close(pipeFds[1]);
  if (rc != 0) {
    if (out != nullptr) ::close(pipeFds[0]);
    return -rc;
  }
  if (out != nullptr) {
    out->clear();
    char chunk[512];
    for (;;) {
      const ssize_t n = ::read(pipeFds[0], chunk, sizeof chunk);
      if (n > 0) {
        out->append(chunk, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        break;
      }
    }
    ::close(pipeFds[0]);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -errno;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

int ServiceControlManager::CreateService(const std::string& name, const std::string& displayName,
                                         const std::string& programPath, const Confinement& confinement) {
  const std::string path = UnitPath(name);
  if (::access(path.c_str(), F_OK) == 0) return EEXIST;
  if (const int err = AtomicFile::Write(path, UnitText(displayName, programPath, confinement)); err != 0) {
    return err;
  }
  int rc = Systemctl({"daemon-reload"}, nullptr);
  if (rc == 0) rc = Systemctl({"enable", name + ".service"}, nullptr);
  if (rc != 0) {
    // A unit that cannot be enabled is not left behind half installed.
    ::unlink(path.c_str());
    Systemctl({"daemon-reload"}, nullptr);
    return rc < 0 ? -rc : EIO;
  }
  return 0;
}

int ServiceControlManager::OpenService(const std::string& name) {
  return ::access(UnitPath(name).c_str(), F_OK) == 0 ? 0 : errno;
}

int ServiceControlManager::ControlServiceStop(const std::string& name) {
  int rc = Systemctl({"is-active", "--quiet", name + ".service"}, nullptr);
  if (rc < 0) return -rc;
  if (rc != 0) return ESRCH;
  rc = Systemctl({"stop", "--no-block", name + ".service"}, nullptr);
  if (rc < 0) return -rc;
  return rc == 0 ? 0 : EIO;
}

int ServiceControlManager::QueryServiceStatus(const std::string& name, uint32_t* state) {
  std::string out;
  const int rc = Systemctl({"show", "--property=ActiveState", "--value", name + ".service"}, &out);
  if (rc < 0) return -rc;
  if (rc != 0) return EIO;
  const std::string active = Trim(out);
  if (active == "active") {
    *state = kServiceRunning;
  } else if (active == "deactivating") {
    *state = kServiceStopPending;
  } else if (active == "activating" || active == "reloading") {
    *state = kServiceStartPending;
  } else {
    *state = kServiceStopped;  // inactive, failed, or unknown to systemd
  }
  return 0;
}

int ServiceControlManager::DeleteService(const std::string& name) {
  int rc = Systemctl({"disable", name + ".service"}, nullptr);
  if (rc < 0) return -rc;
  if (rc != 0) return EIO;
  if (::unlink(UnitPath(name).c_str()) != 0) return errno;
  rc = Systemctl({"daemon-reload"}, nullptr);
  if (rc < 0) return -rc;
  return rc == 0 ? 0 : EIO;
}

}  // namespace orla
