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
// Every operation returns 0 on success, otherwise an errno value.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orla {

class ServiceControlManager {
 public:
  // Opens the service manager; null with *error set when there is none.
  // `systemctl` is the program that stands in for systemctl (empty: the
  // real one, which needs a running systemd); `unitDir` the folder of unit
  // files (empty: /etc/systemd/system).
  static std::unique_ptr<ServiceControlManager> Open(const std::string& systemctl, const std::string& unitDir,
                                                     int* error);

  // The absolute path of the running program.
  static int ModuleFileName(std::string* path);

  // Writes and enables the unit `name`.service: its description is
  // `displayName`, Type=notify, ExecStart= `programPath`, started at boot.
  // EEXIST when the unit file is already there.
  int CreateService(const std::string& name, const std::string& displayName, const std::string& programPath);

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
  static std::string UnitText(const std::string& displayName, const std::string& programPath);
  // A program path written for ExecStart=: quoted when needed, with "%" and
  // "$" doubled so systemd takes it literally.
  static std::string ExecPath(const std::string& programPath);


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
