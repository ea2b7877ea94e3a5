#pragma once
// The local service manager, for installing and removing the agent's unit:
// systemd, driven with systemctl.
//
// A test double may stand in for systemd, chosen by the environment:
//   KORAGENT_SYSTEMCTL         the program run in place of "systemctl"; when
//                              set, it decides whether a service manager is
//                              present (it must be executable)
//   KORAGENT_SYSTEMD_UNIT_DIR  the folder the unit file is written to
//                              (default /etc/systemd/system)
// Without KORAGENT_SYSTEMCTL, systemd is present when /run/systemd/system
// exists (the host was booted with systemd).
//
// The unit confines the service to what the agent needs: one capability
// (binding the trap port 162), a read-only view of the system except for the
// folders it writes and /var/log/koragent, no devices, no home folders (read
// only when the program lives there), no new privileges, only the system
// calls of an ordinary service. It runs as the unprivileged user
// named in its Confinement, or as root when none is named.
//
// Every operation returns 0 on success, otherwise an errno value.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orla {

class ServiceControlManager {
 public:
  // Who the service runs as and what it may write.
  struct Confinement {
    std::string user;                        // empty: root
    std::vector<std::string> writablePaths;  // ReadWritePaths=, absolute
  };

  // Opens the service manager; null with *error set when there is none.
  // `systemctl` is the program that stands in for systemctl (empty: the
  // real one, which needs a running systemd); `unitDir` the folder of unit
  // files (empty: /etc/systemd/system).
  static std::unique_ptr<ServiceControlManager> Open(const std::string& systemctl, const std::string& unitDir,
                                                     int* error);

  // The absolute path of the running program.
  static int ModuleFileName(std::string* path);

  // 0 when the system knows a user `name` (for User= of the unit); ENOENT
  // when it does not, another errno when the user database cannot be read.
  static int FindUser(const std::string& name);

  // Writes and enables the unit `name`.service: its description is
  // `displayName`, Type=notify, ExecStart= `programPath`, started at boot,
  // confined as `confinement` says. EEXIST when the unit file is already there.
  int CreateService(const std::string& name, const std::string& displayName, const std::string& programPath,
                    const Confinement& confinement);

  // 0 when the unit file of `name` exists.
  int OpenService(const std::string& name);

  // Asks a running service to stop and returns at once. ESRCH when the
  // service is not running.
  int ControlServiceStop(const std::string& name);

  // The service's current state, as one of the kService... numbers of
  // service_status.h.
  int QueryServiceStatus(const std::string& name, uint32_t* state);

  // Disables the unit and deletes its file.
  int DeleteService(const std::string& name);

  // The unit file text.
  static std::string UnitText(const std::string& displayName, const std::string& programPath,
                              const Confinement& confinement);
  // A program path written for ExecStart=: quoted when needed, with "%" and
  // "$" doubled so systemd takes it literally.
  static std::string ExecPath(const std::string& programPath);
  // A path written for ReadWritePaths=: quoted when needed, "%" doubled, and
  // prefixed with "-" so that a folder that does not exist yet does not keep
  // the service from starting (the agent then reports what it cannot write).
  static std::string WritablePath(const std::string& path);

 private:
  ServiceControlManager(std::string systemctl, std::string unitDir);

  std::string UnitPath(const std::string& name) const;
  // Runs systemctl with `args`; its standard output goes to *out when given.
  // Returns its exit status, or -errno when it could not be run.
  int Systemctl(const std::vector<std::string>& args, std::string* out);

  std::string systemctl_;
  std::string unitDir_;
};

}  // namespace orla
